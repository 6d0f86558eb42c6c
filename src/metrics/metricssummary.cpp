#include "metricssummary.h"

#include <algorithm>

void MetricsSummary::add(const FrameMetrics &metrics)
{
    if (metrics.reference < 1 || metrics.reference > 2)
        return;
    for (int plane = 0; plane < std::min(metrics.planeCount, 3); ++plane) {
        const PlaneMetrics &values = metrics.planes[size_t(plane)];
        Entry &e = m_entries[size_t(metrics.reference - 1)][size_t(plane)];
        ++e.frames;
        e.psnrSum += values.psnr;
        e.mseSum += values.mse;
        e.ssimSum += values.ssim;
        if (e.worstFrame < 0 || values.psnr < e.worstPsnr) {
            e.worstFrame = metrics.frame;
            e.worstPsnr = values.psnr;
        }
    }
}

double MetricsSummary::getMeanPsnr(int reference, int plane) const
{
    const Entry &e = entry(reference, plane);
    return e.frames > 0 ? e.psnrSum / e.frames : 0.0;
}

double MetricsSummary::getPsnrOfMeanMse(int reference, int plane) const
{
    return PlaneMetrics::psnrFromMse(getMeanMse(reference, plane), m_depth);
}

double MetricsSummary::getMeanMse(int reference, int plane) const
{
    const Entry &e = entry(reference, plane);
    return e.frames > 0 ? e.mseSum / e.frames : 0.0;
}

double MetricsSummary::getMeanSsim(int reference, int plane) const
{
    const Entry &e = entry(reference, plane);
    return e.frames > 0 ? e.ssimSum / e.frames : 0.0;
}

const MetricsSummary::Entry &MetricsSummary::entry(int reference, int plane) const
{
    static const Entry none;
    if (reference < 1 || reference > 2 || plane < 0 || plane > 2)
        return none;
    return m_entries[size_t(reference - 1)][size_t(plane)];
}
