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
    if (plane != 0 || frame < 0 || frame >= m_pVolume->getNumFrames()
        || frameSamples * (frame + 1) > m_pVolume->getSampleCount()) {
        error = "frame " + std::to_string(frame) + " is not in the movie";
        return false;
    }
    // Both bottom-up: row 0 is the bottom row.
    std::copy_n(m_pVolume->getData() + frameSamples * frame, frameSamples, pSamples);
    return true;
}
