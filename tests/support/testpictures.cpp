#include "testpictures.h"

#include <array>

#include <QtEndian>

namespace {

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + typed + bigEndian(crc32(typed));
}

// Writes bits least significant first, as deflate packs them.
class BitWriter
{
public:
    // A Huffman code goes most significant bit first.
    void code(quint32 bits, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit((bits >> i) & 1);
    }
    void bit(quint32 value)
    {
        m_current |= quint8(value << m_used);
        if (++m_used == 8) {
            m_bytes.append(char(m_current));
            m_current = 0;
            m_used = 0;
        }
    }
    QByteArray finish()
    {
        if (m_used > 0)
            m_bytes.append(char(m_current));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint8 m_current = 0;
    int m_used = 0;
};

// A zlib stream of count zero bytes: one block with the fixed codes, a literal 0 followed by
// copies of 258 bytes at distance 1, the rest as literals.
QByteArray zlibZeros(qint64 count)
{
    BitWriter writer;
    writer.bit(1); // last block
    writer.bit(1); // fixed Huffman codes (type 01, low bit first)
    writer.bit(0);
    qint64 left = count;
    auto literalZero = [&] {
        writer.code(0x30, 8);
        --left;
    };
    if (left > 0)
        literalZero();
    while (left >= 258) {
        writer.code(0xc5, 8); // length symbol 285: 258 bytes
        writer.code(0, 5); // distance code 0: distance 1
        left -= 258;
    }
    while (left > 0)
        literalZero();
    writer.code(0, 7); // end of block
    const quint32 adler = (quint32(count % 65521) << 16) | 1u;
    return QByteArray("\x78\x01", 2) + writer.finish() + bigEndian(adler);
}

} // namespace

QByteArray blackPng(quint32 width, quint32 height, bool rgb, bool headerOnly)
{
    QByteArray header = bigEndian(width) + bigEndian(height);
    header.append(char(8)); // bits per channel
    header.append(char(rgb ? 2 : 0));
    header.append(3, '\0'); // compression, filter, no interlace
    // Every row is a filter byte 0 and black samples.
    const qint64 rowBytes = 1 + qint64(width) * (rgb ? 3 : 1);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
            + chunk("IDAT", zlibZeros(headerOnly ? 0 : rowBytes * height))
            + chunk("IEND", QByteArray());
}
