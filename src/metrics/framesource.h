#pragma once

#include <string>

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
};
