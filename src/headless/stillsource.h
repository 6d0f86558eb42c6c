#pragma once

#include "framesource.h"

#include <memory>

class Image2D;

// A still picture as a one-frame, gray, 8-bit FrameSource.
class StillSource : public FrameSource
{
public:
    explicit StillSource(std::unique_ptr<Image2D> pImage);
    ~StillSource() override;

    int getNumFrames() const override { return 1; }
    int getDepth() const override { return 8; }
    int getPlaneCount() const override { return 1; }
    int getPlaneWidth(int plane) const override;
    int getPlaneHeight(int plane) const override;
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override;

private:
    std::unique_ptr<Image2D> m_pImage;
};
