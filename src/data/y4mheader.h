#pragma once

#include <QtGlobal>

#include <string>

#include "errorbase.h"

class PixelFormat;

// The stream header of a y4m file, "YUV4MPEG2 W352 H288 F25:1 Ip A1:1 C420jpeg\n": frame size
// (pixels), pixel format and frame rate; interlacing, aspect and X comments are skipped.
class Y4mHeader : public ErrorBase
{
public:
    // The header must end within this many bytes, newline included.
    static constexpr qint64 MaxHeaderBytes = 65536;
    // The same for each frame's "FRAME[ params]\n".
    static constexpr qint64 MaxFrameHeaderBytes = 4096;

    // True when the bytes begin with the y4m magic "YUV4MPEG2 ".
    static bool hasMagic(const char *pBytes, qint64 size);
    // Parses the header at the start of the bytes; false, with the error text set, when it is
    // malformed, incomplete or names a format that can't be read.
    bool parse(const char *pBytes, qint64 size);
    // The length of the frame header at the start of the bytes ("FRAME\n" gives 6); -1 when the
    // bytes don't start with one that ends within them.
    static qint64 frameHeaderBytes(const char *pBytes, qint64 size);

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    const PixelFormat *getFormat() const { return m_pFormat; } // nullptr until parsed
    qint64 getHeaderBytes() const { return m_headerBytes; } // newline included
    // Frames per second of the F tag ("F30000:1001"); 0 when absent or not a positive ratio.
    double getFrameRate() const { return m_frameRate; }
    // What an XCOLORRANGE=FULL or =LIMITED tag says; Unknown without one.
    enum class ColourRange { Unknown, Limited, Full };
    ColourRange getColourRange() const { return m_colourRange; }

private:
    bool fail(const std::string &reason);

    int m_width = 0;
    int m_height = 0;
    const PixelFormat *m_pFormat = nullptr;
    qint64 m_headerBytes = 0;
    double m_frameRate = 0;
    ColourRange m_colourRange = ColourRange::Unknown;
};
