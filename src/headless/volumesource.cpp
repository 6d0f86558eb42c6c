#include "volumesource.h"

#include "image3d.h"

#include <algorithm>

int VolumeSource::getNumFrames() const { return m_pVolume->getNumFrames(); }

int VolumeSource::getDepth() const { return m_pVolume->getDepth(); }

int VolumeSource::getPlaneWidth(int plane) const { return plane == 0 ? m_pVolume->getWidth() : 0; }

int VolumeSource::getPlaneHeight(int plane) const
{
    return plane == 0 ? m_pVolume->getHeight() : 0;
}

bool VolumeSource::readPlane(int frame, int plane, float *pSamples, std::string &error) const
{
    const qint64 frameSamples = qint64(m_pVolume->getWidth()) * m_pVolume->getHeight();
    const FrameCache::Frame samples
            = plane == 0 && frameSamples > 0 ? m_pVolume->getFrame(frame) : nullptr;
    if (!samples) {
        error = m_pVolume->getFrameError();
        if (error.empty())
            error = "frame " + std::to_string(frame) + " is not in the movie";
        return false;
    }
    // Both bottom-up: row 0 is the bottom row.
    std::copy_n(samples.get(), frameSamples, pSamples);
    return true;
}
