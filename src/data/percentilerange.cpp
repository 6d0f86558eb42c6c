#include "percentilerange.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "image3d.h"
#include "rawfile.h"

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

// The smallest and largest value seen, NaN left out: share 0 needs no samples kept. Bounds start
// empty (low +inf, high -inf), so the strict comparisons never take a NaN.
struct Bounds
{
    float low = std::numeric_limits<float>::infinity();
    float high = -std::numeric_limits<float>::infinity();

    bool isEmpty() const { return !(low <= high); }
    void add(float lowValue, float highValue)
    {
        low = std::min(low, lowValue);
        high = std::max(high, highValue);
    }
};

// Widens the bounds by the n values at pValues. Kept out of line: inlined into the frame loop,
// whose calls the bounds outlive, GCC kept them in memory, a store and a load per sample (1080p
// x 100 in memory: 0.65-0.71 s inlined, 0.28-0.29 s out of line).
Q_NEVER_INLINE void scanValues(const float *pValues, qint64 n, Bounds &bounds)
{
    float low = bounds.low;
    float high = bounds.high;
    for (qint64 i = 0; i < n; ++i) {
        const float v = pValues[i];
        if (low > v)
            low = v;
        if (high < v)
            high = v;
    }
    bounds.low = low;
    bounds.high = high;
}

// Widens the bounds by the differences of one row of `width` samples, pRowA (widthA samples)
// minus pRowB (widthB samples), a missing sample counting as 0. Stretches in x order: both
// movies, one of them, neither; the differences are the expressions the views form. Out of line
// for the same reason as scanValues (differences 0.67-0.69 s against 0.36-0.37 s).
Q_NEVER_INLINE void scanDifferenceRow(const float *pRowA, int widthA, const float *pRowB,
                                      int widthB, int width, Bounds &bounds)
{
    float low = bounds.low;
    float high = bounds.high;
    auto visit = [&low, &high](float d) {
        if (low > d)
            low = d;
        if (high < d)
            high = d;
    };
    const int both = std::min(widthA, widthB);
    int x = 0;
    for (; x < both; ++x)
        visit(pRowA[x] - pRowB[x]);
    for (; x < widthA; ++x)
        visit(pRowA[x] - 0.0f);
    for (; x < widthB; ++x)
        visit(0.0f - pRowB[x]);
    if (x < width)
        visit(0.0f - 0.0f);
    bounds.low = low;
    bounds.high = high;
}

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

// Share 0 of one movie: plain bounds, frame by frame, no sample kept.
PercentileRange::Outcome streamValueRange(const Image3D *pMovie, int firstFrame, int frameCount,
                                          float &minValue, float &maxValue,
                                          const ProgressCallback &progress)
{
    const qint64 frameSamples = pMovie ? qint64(pMovie->getWidth()) * pMovie->getHeight() : 0;
    Bounds bounds;
    // A movie read from a raw file asks the file: its samples are the file's integers, so their
    // range is the range of the floats, found over bytes instead of floats and without filling
    // the frame cache (1080p x 200 from the page cache: 0.11-0.12 s against 2.5-2.7 s through
    // the frames).
    const RawFile *pFile = pMovie ? pMovie->getRawFile().get() : nullptr;
    if (pFile)
        pFile->adviseSequential();
    for (int i = 0; i < frameCount && frameSamples > 0; ++i) {
        const int f = firstFrame + i;
        int fileLow = 0;
        int fileHigh = 0;
        if (pFile) {
            if (pFile->sampleRange(pMovie->getFileFirstFrame() + f, pMovie->getFilePlane(), fileLow,
                                   fileHigh))
                bounds.add(float(fileLow), float(fileHigh));
        } else {
            pMovie->readAhead(f, 1);
            if (const FrameCache::Frame frame = pMovie->getFrame(f))
                scanValues(frame.get(), frameSamples, bounds);
        }
        if (!report(progress, i + 1, frameCount))
            return PercentileRange::Outcome::Cancelled;
    }
    minValue = bounds.isEmpty() ? 0 : bounds.low;
    maxValue = bounds.isEmpty() ? 255 : bounds.high;
    return PercentileRange::Outcome::Done;
}

} // namespace

namespace PercentileRange {

Outcome valueRange(const Image3D *pMovie, int firstFrame, int frameCount, double share,
                   float &minValue, float &maxValue, const ProgressCallback &progress)
{
    const int frames = pMovie ? pMovie->getNumFrames() : 0;
    const qint64 frameSamples = pMovie ? qint64(pMovie->getWidth()) * pMovie->getHeight() : 0;
    clipFrames(frames, firstFrame, frameCount);
    if (share <= 0.0)
        return streamValueRange(pMovie, firstFrame, frameCount, minValue, maxValue, progress);
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
    auto frameOf = [](const Extent &e, qint64 frame) {
        if (frame < 0 || frame >= e.frames || e.width <= 0 || e.height <= 0)
            return FrameCache::Frame();
        e.pMovie->readAhead(int(frame), 1);
        return e.pMovie->getFrame(int(frame));
    };
    // Hands every row of the frames asked for to takeRow(pRowA, widthA, pRowB, widthB), a row a
    // movie lacks as width 0; takeRow's false is memory run out.
    auto scanRows = [&](auto &&takeRow) {
        for (int i = 0; i < frameCount; ++i) {
            const int f = firstFrame + i;
            const FrameCache::Frame frameA = frameOf(a, f);
            const FrameCache::Frame frameB = frameOf(b, qint64(f) - secondOffset);
            for (int y = 0; y < height; ++y) {
                const float *pRowA
                        = frameA && y < a.height ? frameA.get() + qint64(y) * a.width : nullptr;
                const float *pRowB
                        = frameB && y < b.height ? frameB.get() + qint64(y) * b.width : nullptr;
                if (!takeRow(pRowA, pRowA ? a.width : 0, pRowB, pRowB ? b.width : 0))
                    return Outcome::OutOfMemory;
            }
            if (!report(progress, i + 1, frameCount))
                return Outcome::Cancelled;
        }
        return Outcome::Done;
    };
    if (share <= 0.0) {
        // Plain bounds, streamed row by row with nothing kept.
        Bounds bounds;
        const Outcome outcome
                = scanRows([&](const float *pRowA, int widthA, const float *pRowB, int widthB) {
                      scanDifferenceRow(pRowA, widthA, pRowB, widthB, width, bounds);
                      return true;
                  });
        if (outcome == Outcome::Done) {
            minValue = bounds.isEmpty() ? -128 : bounds.low;
            maxValue = bounds.isEmpty() ? 128 : bounds.high;
        }
        return outcome;
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
    const Outcome outcome
            = scanRows([&](const float *pRowA, int widthA, const float *pRowB, int widthB) {
                  // The expressions the views form: a missing sample is 0.
                  for (int x = 0; x < width; ++x)
                      row[size_t(x)]
                              = (x < widthA ? pRowA[x] : 0.0f) - (x < widthB ? pRowB[x] : 0.0f);
                  return collector.add(row.data(), width);
              });
    if (outcome != Outcome::Done)
        return outcome;
    if (!collector.result(share, minValue, maxValue)) {
        minValue = -128;
        maxValue = 128;
    }
    return Outcome::Done;
}

} // namespace PercentileRange
