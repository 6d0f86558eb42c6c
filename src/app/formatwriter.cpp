#include "formatwriter.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include <QByteArray>
#include <QIODevice>

#include "image3d.h"

namespace {

// The clamped, truncated integer of a sample; NaN fails both comparisons and gives 0.
unsigned clamped(float value, float top)
{
    if (value > top)
        return unsigned(top);
    if (value >= 0.0f)
        return unsigned(value);
    return 0;
}

// The bits a sample of a two-byte y4m takes for the movie: its own depth, 10, 12 or 16 (a depth
// between those rounds up).
int y4mDepth(const Image3D &movie)
{
    const int depth = movie.getDepth();
    return depth <= 10 ? 10 : depth <= 12 ? 12 : 16;
}

// The F tag's "N:D" for frames per second: the fraction nearest the rate by continued fractions
// (30000:1001 for NTSC's 29.97); "25:1" when the rate is unknown.
QByteArray rateTag(double rate)
{
    if (!(rate > 0) || !std::isfinite(rate) || rate > 1e6)
        return QByteArrayLiteral("25:1");
    qint64 p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double x = rate;
    for (int i = 0; i < 32; ++i) {
        const double whole = std::floor(x);
        const qint64 a = qint64(whole);
        const qint64 p2 = a * p1 + p0;
        const qint64 q2 = a * q1 + q0;
        if (q2 > 1000000)
            break;
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        if (std::abs(double(p1) / double(q1) - rate) <= rate * 1e-12 || x - whole < 1e-12)
            break;
        x = 1.0 / (x - whole);
    }
    return QByteArray::number(p1) + ':' + QByteArray::number(q1);
}

// depth 8: one byte a sample; 10, 12 or 16: two bytes little-endian, samples 0 .. 2^depth - 1.
MovieWriter::Result write(const Image3D &movie, const std::string &fileName, int depth, bool y4m,
                          const ProgressCallback &progress)
{
    const int width = movie.getWidth();
    const int height = movie.getHeight();
    const bool twoBytes = depth > 8;
    const int bytesPerSample = twoBytes ? 2 : 1;
    const float top = float((1u << depth) - 1);
    const qint64 lumaBytes = qint64(width) * height * bytesPerSample;
    const qint64 chromaBytes
            = 2 * qint64(width / 2 + width % 2) * (height / 2 + height % 2) * bytesPerSample;
    const qint64 frameBytes = lumaBytes + chromaBytes;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(frameBytes)]);
    if (!buffer)
        return MovieWriter::Result::OutOfMemory;
    // Neutral chroma: the middle of the range, 128 or 2^(depth - 1) as two bytes.
    const unsigned middle = 1u << (depth - 1);
    for (qint64 i = lumaBytes; i < frameBytes; i += bytesPerSample) {
        buffer[size_t(i)] = static_cast<unsigned char>(middle & 0xff);
        if (twoBytes)
            buffer[size_t(i + 1)] = static_cast<unsigned char>(middle >> 8);
    }
    QByteArray header;
    if (y4m) {
        const QByteArray colourSpace = depth == 8
                ? QByteArrayLiteral("C420jpeg XYSCSS=420JPEG")
                : "C420p" + QByteArray::number(depth) + " XYSCSS=420P" + QByteArray::number(depth);
        header = "YUV4MPEG2 W" + QByteArray::number(width) + " H" + QByteArray::number(height)
                + " F" + rateTag(movie.getFrameRate()) + " Ip A1:1 " + colourSpace + "\n";
    }

    return MovieWriter::writeFrames(
            movie, fileName,
            [&](const float *pSamples, int, QIODevice *pFile) {
                if (!header.isEmpty()) {
                    if (pFile->write(header) != header.size())
                        return false;
                    header.clear();
                }
                for (int y = 0; y < height; ++y) {
                    // Movie row 0 is the bottom of the picture; the file starts with the top row.
                    const float *pRow = pSamples + qint64(y) * width;
                    unsigned char *pTarget
                            = buffer.get() + qint64(height - 1 - y) * width * bytesPerSample;
                    for (int x = 0; x < width; ++x) {
                        const unsigned value = clamped(pRow[x], top);
                        if (twoBytes) {
                            pTarget[2 * x] = static_cast<unsigned char>(value & 0xff);
                            pTarget[2 * x + 1] = static_cast<unsigned char>(value >> 8);
                        } else {
                            pTarget[x] = static_cast<unsigned char>(value);
                        }
                    }
                }
                return (!y4m || pFile->write("FRAME\n", 6) == 6)
                        && pFile->write(reinterpret_cast<const char *>(buffer.get()), frameBytes)
                        == frameBytes;
            },
            progress);
}

} // namespace

namespace FormatWriter {

MovieWriter::Result writeYUV16(const Image3D &movie, const std::string &fileName,
                               const ProgressCallback &progress)
{
    return write(movie, fileName, 16, false, progress);
}

MovieWriter::Result writeY4m(const Image3D &movie, const std::string &fileName, bool sixteenBit,
                             const ProgressCallback &progress)
{
    return write(movie, fileName, sixteenBit ? y4mDepth(movie) : 8, true, progress);
}

bool hasSampleAbove(const Image3D &movie, float limit)
{
    const qint64 frameSamples = qint64(movie.getWidth()) * movie.getHeight();
    for (int f = 0; f < movie.getNumFrames() && frameSamples > 0; ++f) {
        const FrameCache::Frame samples = movie.getFrame(f);
        movie.readAhead(f, 1);
        if (samples && std::any_of(samples.get(), samples.get() + frameSamples, [limit](float v) {
                return v > limit;
            }))
            return true;
    }
    return false;
}

} // namespace FormatWriter
