#include "framesamples.h"

#include <algorithm>

#include "image3d.h"

FrameSamples::FrameSamples(const Image3D *pVolume, int frame)
{
    if (!pVolume || frame < 0 || frame >= pVolume->getNumFrames())
        return;
    m_samples = pVolume->getFrame(frame);
    if (m_samples) {
        m_width = pVolume->getWidth();
        m_height = pVolume->getHeight();
    }
}

const float *FrameSamples::at(int x, int y) const
{
    if (!m_samples || x < 0 || x >= m_width || y < 0 || y >= m_height)
        return nullptr;
    return m_samples.get() + x + qint64(m_width) * y;
}

const float *FrameSamples::row(int y, int width, int *pCount) const
{
    const float *pRow = at(0, y);
    *pCount = pRow ? std::min(m_width, width) : 0;
    return pRow;
}
