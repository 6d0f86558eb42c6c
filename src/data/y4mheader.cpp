#include "y4mheader.h"

#include <cstring>

#include "pixelformat.h"

namespace {

constexpr char Magic[] = "YUV4MPEG2 ";
constexpr qint64 MagicBytes = sizeof Magic - 1;
// Larger frames than this are refused as a malformed size: far beyond any video, and it keeps
// every product of width and height well inside 64 bits.
constexpr int MaxSide = 65536;

// The y4m colour space tags ffmpeg writes and reads, and the formats they stand for.
struct ColourSpace
{
    const char *tag;
    const char *format;
};
constexpr ColourSpace ColourSpaces[] = {
        {"420jpeg", "yuv420p"},    {"420mpeg2", "yuv420p"},   {"420paldv", "yuv420p"},
        {"420", "yuv420p"},        {"422", "yuv422p"},        {"444", "yuv444p"},
        {"mono", "gray"},          {"mono10", "gray10le"},    {"mono12", "gray12le"},
        {"mono16", "gray16le"},    {"420p10", "yuv420p10le"}, {"422p10", "yuv422p10le"},
        {"444p10", "yuv444p10le"}, {"420p12", "yuv420p12le"}, {"422p12", "yuv422p12le"},
        {"444p12", "yuv444p12le"}, {"420p16", "yuv420p16le"}, {"422p16", "yuv422p16le"},
        {"444p16", "yuv444p16le"},
};

// A tag as a message quotes it: bytes that would not show (a carriage return of a CR LF
// header, a NUL that would end the text) are written as escapes, "\r", "\0", "\x7f".
std::string printable(const std::string &tag)
{
    std::string text;
    for (const char c : tag) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            text += c;
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\t') {
            text += "\\t";
        } else if (c == '\0') {
            text += "\\0";
        } else {
            static const char Hex[] = "0123456789abcdef";
            text += "\\x";
            text += Hex[byte >> 4];
            text += Hex[byte & 15];
        }
    }
    return text;
}

// A decimal number 1 .. MaxSide, nothing else; 0 otherwise.
int parseSide(const std::string &text)
{
    if (text.empty() || text.size() > 6)
        return 0;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= MaxSide ? value : 0;
}

// "N:D" with N and D positive decimal numbers: N / D; 0 for anything else.
double parseRate(const std::string &text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() || text.size() > 24)
        return 0;
    double parts[2] = {0, 0};
    const std::string texts[2] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int i = 0; i < 2; ++i) {
        for (const char c : texts[i]) {
            if (c < '0' || c > '9')
                return 0;
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    return parts[0] > 0 && parts[1] > 0 ? parts[0] / parts[1] : 0;
}

} // namespace

bool Y4mHeader::hasMagic(const char *pBytes, qint64 size)
{
    return size >= MagicBytes && std::memcmp(pBytes, Magic, size_t(MagicBytes)) == 0;
}

bool Y4mHeader::fail(const std::string &reason)
{
    m_width = m_height = 0;
    m_pFormat = nullptr;
    m_headerBytes = 0;
    m_frameRate = 0;
    m_colourRange = ColourRange::Unknown;
    setErrorString("Malformed y4m header: " + reason);
    return false;
}

bool Y4mHeader::parse(const char *pBytes, qint64 size)
{
    if (!hasMagic(pBytes, size))
        return fail("the file does not start with YUV4MPEG2");
    const qint64 limit = qMin(size, MaxHeaderBytes);
    const auto *pEnd = static_cast<const char *>(std::memchr(pBytes, '\n', size_t(limit)));
    if (!pEnd) {
        return fail(size < MaxHeaderBytes ? "the file ends inside the header"
                                          : "no end of line in the first 65536 bytes");
    }

    // A tag that runs into the carriage return of a CR LF line is refused for that, not for
    // itself.
    auto badTag = [this](const std::string &tag, const std::string &what) {
        if (!tag.empty() && tag.back() == '\r')
            return fail("the header line ends in CR LF; y4m lines end in a line feed alone");
        return fail(what + " \"" + printable(tag) + "\"");
    };
    int width = 0, height = 0;
    double frameRate = 0;
    ColourRange colourRange = ColourRange::Unknown;
    std::string colourSpace = "420jpeg"; // what a header without C means
    const char *p = pBytes + MagicBytes;
    while (p < pEnd) {
        const char *pTokenEnd = p;
        while (pTokenEnd < pEnd && *pTokenEnd != ' ')
            ++pTokenEnd;
        const std::string token(p, size_t(pTokenEnd - p));
        p = pTokenEnd + 1;
        if (token.empty())
            continue;
        const std::string value = token.substr(1);
        switch (token[0]) {
        case 'W':
            if (!(width = parseSide(value)))
                return badTag(token, "bad width");
            break;
        case 'H':
            if (!(height = parseSide(value)))
                return badTag(token, "bad height");
            break;
        case 'C':
            colourSpace = value;
            break;
        case 'F':
            // A rate that can't be read only leaves the rate unknown.
            frameRate = parseRate(value);
            break;
        case 'X':
            // ffmpeg writes the range as a comment; other comments say nothing of the samples.
            if (value == "COLORRANGE=FULL")
                colourRange = ColourRange::Full;
            else if (value == "COLORRANGE=LIMITED")
                colourRange = ColourRange::Limited;
            break;
        default:
            // I (interlacing), A (aspect) and tags of later versions
            // say nothing about the samples.
            break;
        }
    }
    if (!width)
        return fail("no width (W)");
    if (!height)
        return fail("no height (H)");
    const PixelFormat *pFormat = nullptr;
    for (const ColourSpace &known : ColourSpaces) {
        if (colourSpace == known.tag)
            pFormat = PixelFormat::byName(QLatin1String(known.format));
    }
    if (!pFormat && !colourSpace.empty() && colourSpace.back() == '\r')
        return badTag("C" + colourSpace, "colour space");
    if (!pFormat) {
        // A well-formed header of a kind this reader doesn't take (C411, C444alpha, C420p14).
        fail(std::string());
        setErrorString("The y4m colour space C" + printable(colourSpace) + " is not supported");
        return false;
    }

    m_width = width;
    m_height = height;
    m_pFormat = pFormat;
    m_headerBytes = pEnd - pBytes + 1;
    m_frameRate = frameRate;
    m_colourRange = colourRange;
    return true;
}

qint64 Y4mHeader::frameHeaderBytes(const char *pBytes, qint64 size)
{
    if (size < 6 || std::memcmp(pBytes, "FRAME", 5) != 0 || (pBytes[5] != '\n' && pBytes[5] != ' '))
        return -1;
    const qint64 limit = qMin(size, MaxFrameHeaderBytes);
    const auto *pEnd = static_cast<const char *>(std::memchr(pBytes, '\n', size_t(limit)));
    return pEnd ? pEnd - pBytes + 1 : -1;
}
