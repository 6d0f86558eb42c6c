#pragma once

#include <QString>
#include <QtGlobal>

class PixelFormat;

// Frame size (pixels) and pixel format read from a raw movie's file name:
// "BasketballDrive_1920x1080_50.yuv", "foo_3840x2160_10bit.yuv", "clip_cif.nv12", "a_1080p.y8".
class FileNameGuess
{
public:
    // Looks at the name without its folder. With fileSize >= 0, of several sizes named the
    // first that divides the file into whole frames is taken.
    static FileNameGuess fromName(const QString &fileName, qint64 fileSize = -1);

    bool hasSize() const { return m_width > 0; }
    int getWidth() const { return m_width; } // 0 when no size was found
    int getHeight() const { return m_height; }
    const PixelFormat *getFormat() const { return m_pFormat; } // nullptr when none was found
    bool isEmpty() const { return !hasSize() && !m_pFormat; }
    // "1920x1080 yuv420p10le", "1920x1080" or "nv12"; empty when nothing was found.
    QString describe() const;
    // A size the name gives that no movie can have ("99999x99999", "0x0": a side outside
    // 1 .. MaxSide), when the name gives no usable one; empty otherwise. The refusal of such a
    // name says the size is out of range rather than that there is none.
    const QString &getSizeOutOfRange() const { return m_sizeOutOfRange; }

    // The largest width or height taken from a name.
    static constexpr int MaxSide = 65536;

private:
    int m_width = 0;
    int m_height = 0;
    const PixelFormat *m_pFormat = nullptr;
    QString m_sizeOutOfRange;
};
