#include "stillsource.h"

#include "image2d.h"

#include <algorithm>

StillSource::StillSource(std::unique_ptr<Image2D> pImage) : m_pImage(std::move(pImage)) { }

StillSource::~StillSource() = default;

int StillSource::getPlaneWidth(int plane) const { return plane == 0 ? m_pImage->getWidth() : 0; }

int StillSource::getPlaneHeight(int plane) const { return plane == 0 ? m_pImage->getHeight() : 0; }

bool StillSource::readPlane(int frame, int plane, float *pSamples, std::string &error) const
{
    if (frame != 0 || plane != 0) {
        error = "a still picture has one frame of one plane";
        return false;
    }
    // Both are stored bottom-up, row 0 the bottom row.
    std::copy_n(m_pImage->getData(), m_pImage->getSampleCount(), pSamples);
    return true;
}
