#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// One raw pixel format as ffmpeg names it: gray, gray10le, gray12le, gray16le, yuv420p,
// yuv422p, yuv444p, nv12, nv21, yuv420p10le, yuv422p10le, yuv444p10le, yuv420p12le, yuv420p16le,
// yuv422p12le, yuv422p16le, yuv444p12le, yuv444p16le.
// A frame holds its planes one after the other, rows top-down, samples little-endian.
class PixelFormat
{
public:
    static const PixelFormat *byName(const QString &name); // nullptr when unknown
    static QStringList names(); // in the order above
    // The format with that chroma layout (0 = gray, 420, 422, 444) and depth; nullptr if none.
    static const PixelFormat *byLayout(int chroma, int depth);

    QString getName() const { return QString::fromLatin1(m_name); }
    int getDepth() const { return m_depth; } // 8, 10, 12 or 16: samples 0 .. 2^depth - 1
    int getBytesPerSample() const { return m_depth > 8 ? 2 : 1; } // little-endian when 2
    int getPlaneCount() const { return m_chroma == 0 ? 1 : 3; } // Y (or gray), U, V
    int getChroma() const { return m_chroma; } // 0 (gray), 420, 422 or 444
    // nv12 / nv21: U and V share one plane in the file, UVUV... (nv21: VUVU...).
    bool isSemiPlanar() const { return m_semiPlanar; }
    bool isVFirst() const { return m_vFirst; }

    // Chroma rounded up as ffmpeg does: a 5x3 yuv420p frame has 3x2 chroma planes.
    int getPlaneWidth(int plane, int width) const;
    int getPlaneHeight(int plane, int height) const;
    qint64 getPlaneBytes(int plane, int width, int height) const;
    qint64 getFrameBytes(int width, int height) const;

private:
    friend struct PixelFormatTable;
    constexpr PixelFormat(const char *name, int chroma, int depth, bool semiPlanar, bool vFirst)
        : m_name(name), m_chroma(chroma), m_depth(depth), m_semiPlanar(semiPlanar), m_vFirst(vFirst)
    { }

    const char *m_name;
    int m_chroma;
    int m_depth;
    bool m_semiPlanar;
    bool m_vFirst;
};
