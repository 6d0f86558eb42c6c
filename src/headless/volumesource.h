#pragma once

#include "framesource.h"

class Image3D;

// A movie held in memory (one plane, as the window holds it) as a FrameSource. Borrows the
// volume, which must outlive every read.
class VolumeSource : public FrameSource
{
public:
    explicit VolumeSource(const Image3D *pVolume) : m_pVolume(pVolume) { }

    int getNumFrames() const override;
    int getDepth() const override;
    int getPlaneCount() const override { return 1; }
    int getPlaneWidth(int plane) const override;
    int getPlaneHeight(int plane) const override;
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override;

private:
    const Image3D *m_pVolume;
};
