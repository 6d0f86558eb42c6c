#include "pixelformat.h"

#include <limits>

struct PixelFormatTable
{
    static constexpr PixelFormat formats[] = {
            {"gray", 0, 8, false, false},           {"gray10le", 0, 10, false, false},
            {"gray12le", 0, 12, false, false},      {"gray16le", 0, 16, false, false},
            {"yuv420p", 420, 8, false, false},      {"yuv422p", 422, 8, false, false},
            {"yuv444p", 444, 8, false, false},      {"nv12", 420, 8, true, false},
            {"nv21", 420, 8, true, true},           {"yuv420p10le", 420, 10, false, false},
            {"yuv422p10le", 422, 10, false, false}, {"yuv444p10le", 444, 10, false, false},
            {"yuv420p12le", 420, 12, false, false}, {"yuv420p16le", 420, 16, false, false},
            {"yuv422p12le", 422, 12, false, false}, {"yuv422p16le", 422, 16, false, false},
            {"yuv444p12le", 444, 12, false, false}, {"yuv444p16le", 444, 16, false, false},
    };
};

constexpr PixelFormat PixelFormatTable::formats[];

const PixelFormat *PixelFormat::byName(const QString &name)
{
    for (const PixelFormat &format : PixelFormatTable::formats) {
        if (name == QLatin1String(format.m_name))
            return &format;
    }
    return nullptr;
}

QStringList PixelFormat::names()
{
    QStringList result;
    for (const PixelFormat &format : PixelFormatTable::formats)
        result << QString::fromLatin1(format.m_name);
    return result;
}

const PixelFormat *PixelFormat::byLayout(int chroma, int depth)
{
    // The planar formats come before nv12 / nv21 in the table.
    for (const PixelFormat &format : PixelFormatTable::formats) {
        if (format.m_chroma == chroma && format.m_depth == depth && !format.m_semiPlanar)
            return &format;
    }
    return nullptr;
}

int PixelFormat::getPlaneWidth(int plane, int width) const
{
    if (plane == 0 || m_chroma == 444)
        return width;
    return width / 2 + width % 2;
}

int PixelFormat::getPlaneHeight(int plane, int height) const
{
    if (plane == 0 || m_chroma != 420)
        return height;
    return height / 2 + height % 2;
}

// Sizes near 2^31 on both sides go past 64 bits for the deeper formats: such products stop at
// the largest qint64, which no file reaches. Negative sizes give 0.
qint64 PixelFormat::getPlaneBytes(int plane, int width, int height) const
{
    if (width <= 0 || height <= 0)
        return 0;
    qint64 bytes = 0;
    if (__builtin_mul_overflow(qint64(getPlaneWidth(plane, width)) * getPlaneHeight(plane, height),
                               qint64(getBytesPerSample()), &bytes))
        return std::numeric_limits<qint64>::max();
    return bytes;
}

qint64 PixelFormat::getFrameBytes(int width, int height) const
{
    qint64 bytes = 0;
    for (int plane = 0; plane < getPlaneCount(); ++plane) {
        if (__builtin_add_overflow(bytes, getPlaneBytes(plane, width, height), &bytes))
            return std::numeric_limits<qint64>::max();
    }
    return bytes;
}
