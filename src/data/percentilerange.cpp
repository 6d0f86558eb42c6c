#include "percentilerange.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "image3d.h"

namespace {

// Integer values in -HalfBins .. HalfBins - 1 are counted in the histogram: 16-bit samples and
// their differences. No wider: the histogram is cleared for every range, and half the span
// took a 1080p frame's outlier range from 10-22 ms to 9-15 ms here (a loaded machine).
constexpr int HalfBins = 1 << 16;

// Collects samples as a histogram while every one is an integer in the histogram's span, and as
// a list of values from the first that is not. NaN samples are left out.
class SampleCollector
{
public:
    bool start()
    {
        try {
            m_histogram.assign(size_t(2 * HalfBins), 0);
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
    }

    // False when memory ran out.
    bool add(const float *pValues, qint64 n)
    {
        qint64 i = 0;
        if (m_counting) {
            qint64 *pBins = m_histogram.data() + HalfBins;
            for (; i < n; ++i) {
                const float v = pValues[i];
                if (v >= -float(HalfBins) && v < float(HalfBins)) {
                    const int bin = int(v);
                    if (float(bin) == v) {
                        ++pBins[bin];
                        continue;
                    }
                } else if (std::isnan(v)) {
                    continue;
                }
                if (!listHistogram())
                    return false;
                break;
            }
        }
        try {
            for (; i < n; ++i) {
                if (!std::isnan(pValues[i]))
                    m_values.push_back(pValues[i]);
            }
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
    }

    // False when nothing was collected.
    bool result(double share, float &low, float &high)
    {
        share = std::clamp(share, 0.0, 0.5);
        if (m_counting) {
            qint64 n = 0;
            for (const qint64 count : m_histogram)
                n += count;
            if (n == 0)
                return false;
            const qint64 k = qint64(std::floor(share * double(n - 1)));
            // The bins holding the k-th sample from the bottom and from the top.
            qint64 seen = 0;
            int bin = 0;
            for (; seen + m_histogram[size_t(bin)] <= k; ++bin)
                seen += m_histogram[size_t(bin)];
            low = float(bin - HalfBins);
            seen = 0;
            bin = 2 * HalfBins - 1;
            for (; seen + m_histogram[size_t(bin)] <= k; --bin)
                seen += m_histogram[size_t(bin)];
            high = float(bin - HalfBins);
            return true;
        }
        const qint64 n = qint64(m_values.size());
        if (n == 0)
            return false;
        const qint64 k = qint64(std::floor(share * double(n - 1)));
        std::nth_element(m_values.begin(), m_values.begin() + k, m_values.end());
        low = m_values[size_t(k)];
        std::nth_element(m_values.begin() + k, m_values.begin() + (n - 1 - k), m_values.end());
        high = m_values[size_t(n - 1 - k)];
        return true;
    }

private:
    // Leaves counting: the counted samples become values.
    bool listHistogram()
    {
        m_counting = false;
        try {
            for (int bin = 0; bin < 2 * HalfBins; ++bin)
                m_values.insert(m_values.end(), size_t(m_histogram[size_t(bin)]),
                                float(bin - HalfBins));
        } catch (const std::bad_alloc &) {
            return false;
        }
        m_histogram.clear();
        m_histogram.shrink_to_fit();
        return true;
    }

    bool m_counting = true;
    std::vector<qint64> m_histogram;
    std::vector<float> m_values;
};

// The frames first .. first + count - 1 of 0 .. frames - 1 (count < 0: to the last).
void clipFrames(int frames, int &first, int &count)
{
    first = std::max(first, 0);
    const int left = std::max(frames - first, 0);
    count = count < 0 ? left : std::min(count, left);
}

bool report(const ProgressCallback &progress, int done, int total)
{
    return !progress || progress(done, total);
}

} // namespace

namespace PercentileRange {

Outcome valueRange(const Image3D *pMovie, int firstFrame, int frameCount, double share,
                   float &minValue, float &maxValue, const ProgressCallback &progress)
{
    const int frames = pMovie ? pMovie->getNumFrames() : 0;
    const qint64 frameSamples = pMovie ? qint64(pMovie->getWidth()) * pMovie->getHeight() : 0;
    clipFrames(frames, firstFrame, frameCount);
    SampleCollector collector;
    if (!collector.start())
        return Outcome::OutOfMemory;
    for (int i = 0; i < frameCount && frameSamples > 0; ++i) {
        const int f = firstFrame + i;
        pMovie->readAhead(f, 1);
        const FrameCache::Frame frame = pMovie->getFrame(f);
        if (frame && !collector.add(frame.get(), frameSamples))
            return Outcome::OutOfMemory;
        if (!report(progress, i + 1, frameCount))
            return Outcome::Cancelled;
    }
    if (!collector.result(share, minValue, maxValue)) {
        minValue = 0;
        maxValue = 255;
    }
    return Outcome::Done;
}

Outcome differenceRange(const Image3D *pFirst, const Image3D *pSecond, int firstFrame,
                        int frameCount, double share, float &minValue, float &maxValue,
                        const ProgressCallback &progress, int secondOffset)
{
    struct Extent
    {
        const Image3D *pMovie = nullptr;
        int width = 0;
        int height = 0;
        int frames = 0;
    };
    auto extentOf = [](const Image3D *pMovie) {
        Extent extent;
        if (pMovie)
            extent = {pMovie, std::max(pMovie->getWidth(), 0), std::max(pMovie->getHeight(), 0),
                      std::max(pMovie->getNumFrames(), 0)};
        return extent;
    };
    const Extent a = extentOf(pFirst);
    const Extent b = extentOf(pSecond);
    const int width = std::max(a.width, b.width);
    const int height = std::max(a.height, b.height);
    // 64-bit, so that no offset wraps.
    clipFrames(
            int(std::clamp<qint64>(
                    std::max<qint64>(a.frames, b.frames > 0 ? qint64(b.frames) + secondOffset : 0),
                    0, qint64(1) << 30)),
            firstFrame, frameCount);
    if (width <= 0 || height <= 0 || frameCount <= 0) {
        minValue = -128;
        maxValue = 128;
        return Outcome::Done;
    }
    SampleCollector collector;
    std::vector<float> row;
    try {
        row.resize(size_t(width));
    } catch (const std::bad_alloc &) {
        return Outcome::OutOfMemory;
    }
    if (!collector.start())
        return Outcome::OutOfMemory;
    for (int i = 0; i < frameCount; ++i) {
        const int f = firstFrame + i;
        auto frameOf = [](const Extent &e, qint64 frame) {
            if (frame < 0 || frame >= e.frames || e.width <= 0 || e.height <= 0)
                return FrameCache::Frame();
            e.pMovie->readAhead(int(frame), 1);
            return e.pMovie->getFrame(int(frame));
        };
        const FrameCache::Frame frameA = frameOf(a, f);
        const FrameCache::Frame frameB = frameOf(b, qint64(f) - secondOffset);
        for (int y = 0; y < height; ++y) {
            const float *pRowA
                    = frameA && y < a.height ? frameA.get() + qint64(y) * a.width : nullptr;
            const float *pRowB
                    = frameB && y < b.height ? frameB.get() + qint64(y) * b.width : nullptr;
            const int widthA = pRowA ? a.width : 0;
            const int widthB = pRowB ? b.width : 0;
            // The expressions the views form: a missing sample is 0.
            for (int x = 0; x < width; ++x)
                row[size_t(x)] = (x < widthA ? pRowA[x] : 0.0f) - (x < widthB ? pRowB[x] : 0.0f);
            if (!collector.add(row.data(), width))
                return Outcome::OutOfMemory;
        }
        if (!report(progress, i + 1, frameCount))
            return Outcome::Cancelled;
    }
    if (!collector.result(share, minValue, maxValue)) {
        minValue = -128;
        maxValue = 128;
    }
    return Outcome::Done;
}

} // namespace PercentileRange
