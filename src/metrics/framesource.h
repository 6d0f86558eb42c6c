#pragma once

#include <algorithm>
#include <string>
#include <vector>

// A movie that hands out single planes of its frames on request. readPlane may be called from
// several threads at once.
class FrameSource
{
public:
    virtual ~FrameSource() = default;

    virtual int getNumFrames() const = 0;
    // Bits per sample: samples are integers 0 .. 2^depth - 1.
    virtual int getDepth() const = 0;
    // 1 (gray, or only the luma of a YUV movie) or 3 (Y, U, V).
    virtual int getPlaneCount() const = 0;
    // How the chroma planes are sampled: 420, 422 or 444; 0 with one plane.
    virtual int getChroma() const { return 0; }
    virtual int getPlaneWidth(int plane) const = 0;
    virtual int getPlaneHeight(int plane) const = 0;
    // Plane `plane` (0 = Y) of frame `frame` into pSamples, which holds planeWidth *
    // planeHeight floats; row 0 is the bottom row of the picture. False with a one-line reason.
    virtual bool readPlane(int frame, int plane, float *pSamples, std::string &error) const = 0;
    // Rows top .. top + rows - 1 of that plane (row 0 the picture's top row), top row first:
    // pSamples holds planeWidth * rows floats. This reads the whole plane; a source that can
    // read rows alone does so.
    virtual bool readRows(int frame, int plane, int top, int rows, float *pSamples,
                          std::string &error) const
    {
        const int width = getPlaneWidth(plane);
        const int height = getPlaneHeight(plane);
        if (top < 0 || rows < 0 || top + rows > height) {
            error = "rows outside the plane";
            return false;
        }
        std::vector<float> whole(size_t(width) * size_t(height));
        if (!readPlane(frame, plane, whole.data(), error))
            return false;
        for (int r = 0; r < rows; ++r)
            std::copy_n(whole.data() + size_t(height - 1 - top - r) * size_t(width), width,
                        pSamples + size_t(r) * size_t(width));
        return true;
    }
};
