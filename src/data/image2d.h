#pragma once

#include "errorbase.h"
#include "samplearray.h"

#include <string>

// One still image of width x height float samples; sample (x, y) at index x + y * width,
// row 0 is the bottom row of the picture.
class Image2D : public ErrorBase
{
public:
    Image2D();
    ~Image2D() override;

    // Qt refuses to decode a picture above its image allocation limit (128 MB by default), a
    // 48-megapixel photograph among them. Programs call this once before reading pictures: the
    // limit goes up to the machine's memory, and loadImage's own check judges what fits. A
    // limit of 0 (none) or one already higher stays.
    static void raiseImageAllocationLimit();

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    float *getData() { return m_samples.data(); }
    const float *getData() const { return m_samples.data(); }
    qint64 getSampleCount() const { return m_samples.size(); }

    // Reads a picture of any format Qt decodes (file name in UTF-8) as gray samples
    // (11 r + 16 g + 5 b) / 32. False, with the error text set and nothing changed, when the
    // file holds no picture or the picture is too large to load.
    bool loadImage(const std::string &fileName);
    // True after a loadImage that found a picture too large for Qt's image allocation limit or
    // for memory: the file is a picture, not a raw movie, and the error text says why it failed.
    bool isTooLarge() const { return m_tooLarge; }

private:
    SampleArray m_samples;
    int m_width = 0;
    int m_height = 0;
    bool m_tooLarge = false;
};
