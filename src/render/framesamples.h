#pragma once

#include "framecache.h"

class Image3D;

// One frame of a volume as the views read it. Its samples are null where the volume or the
// frame is missing, and where the frame can't be read (a file that shrank): such a frame shows
// as absent, never as garbage. Row 0 is the bottom row of the picture.
class FrameSamples
{
public:
    FrameSamples(const Image3D *pVolume, int frame);

    // The sample at (x, y), or nullptr outside the frame.
    const float *at(int x, int y) const;
    // Row y clipped to `width` columns; *pCount gets the number of samples of the row that the
    // image shows (0 with nullptr when the row lies outside the frame).
    const float *row(int y, int width, int *pCount) const;

private:
    FrameCache::Frame m_samples;
    int m_width = 0;
    int m_height = 0;
};
