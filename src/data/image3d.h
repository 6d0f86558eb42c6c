#pragma once

#include "errorbase.h"
#include "samplearray.h"

#include <string>

class PixelFormat;
class RawFile;

// A movie volume of width x height x frames float samples; sample (x, y, f) at index
// x + width * (y + height * f) (64-bit), row 0 is the bottom row of the picture.
class Image3D : public ErrorBase
{
public:
    Image3D();
    // Every sample 0.0. When the samples don't fit in memory the volume stays 0 x 0 x 0 and the
    // error text says so.
    Image3D(int width, int height, int frames);
    ~Image3D() override;

    // Resizes to max(0, width * height * frames) samples, keeping the samples below the new
    // size; new samples are 0.0. When a product of the three is not positive the array is
    // empty and the values are kept. False when memory runs out: then the volume is 0 x 0 x 0
    // and the error text says so.
    bool setDimensions(int width, int height, int frames);

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getNumFrames() const { return m_frames; }
    float *getData() { return m_samples.data(); }
    const float *getData() const { return m_samples.data(); }
    qint64 getSampleCount() const { return m_samples.size(); }

    // Bits per sample of what was loaded (8 for pictures and 8-bit files): samples lie in
    // 0 .. 2^depth - 1.
    int getDepth() const { return m_depth; }
    void setDepth(int depth) { m_depth = depth; }

    // Reads a headerless raw movie of 8-bit samples (gray, or planar YUV 4:2:0 of which the
    // luma is kept); width and height must be even. True only when every byte of the file was
    // used; after false, 0 frames means nothing was loaded and 1 or more means usable data with
    // a warning.
    bool loadRaw(const std::string &fileName, int width, int height, bool isYUV);
    // The same for any pixel format and plane (0 = Y or gray, 1 = U, 2 = V; a chroma plane
    // loads at its own size). A y4m file takes size and format from its header instead.
    bool loadRaw(const std::string &fileName, const PixelFormat &format, int width, int height,
                 int plane = 0);
    // Every frame of one plane of a file already open.
    bool loadRaw(const RawFile &file, int plane);

private:
    SampleArray m_samples;
    int m_width = 0;
    int m_height = 0;
    int m_frames = 0;
    int m_depth = 8;
};
