#include "blockerrors.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "planemetrics.h"

namespace {

// The running sums of one block, its rows added one at a time: the sum of the squared
// differences and the largest |main - reference|. Each difference is taken in float, as the
// views show it, and squared and summed in double: exact for whole samples of up to 16 bits,
// whatever the order of the additions. A NaN difference makes the sum NaN and leaves the
// largest alone.
class BlockSums
{
public:
    void addRow(const float *pMain, const float *pReference, int count)
    {
        int x = 0;
#if defined(__SSE2__)
        // Four columns at a time, kept apart in the lanes until the block is done; held in
        // registers over the row, not in the object.
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        __m128d low = m_sums[0];
        __m128d high = m_sums[1];
        __m128 most = m_most;
        for (; x + 4 <= count; x += 4) {
            const __m128 d = _mm_sub_ps(_mm_loadu_ps(pMain + x), _mm_loadu_ps(pReference + x));
            const __m128d dLow = _mm_cvtps_pd(d);
            const __m128d dHigh = _mm_cvtps_pd(_mm_movehl_ps(d, d));
            low = _mm_add_pd(low, _mm_mul_pd(dLow, dLow));
            high = _mm_add_pd(high, _mm_mul_pd(dHigh, dHigh));
            // The second operand comes back when the first is NaN.
            most = _mm_max_ps(_mm_and_ps(d, magnitude), most);
        }
        m_sums[0] = low;
        m_sums[1] = high;
        m_most = most;
#endif
        for (; x < count; ++x) {
            const float d = pMain[x] - pReference[x];
            m_tailSum += double(d) * double(d);
            m_tailMost = std::max(m_tailMost, std::fabs(d));
        }
    }

    double sum() const
    {
#if defined(__SSE2__)
        alignas(16) double lanes[4];
        _mm_store_pd(lanes, m_sums[0]);
        _mm_store_pd(lanes + 2, m_sums[1]);
        return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + m_tailSum;
#else
        return m_tailSum;
#endif
    }

    double most() const
    {
#if defined(__SSE2__)
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, m_most);
        return std::max({lanes[0], lanes[1], lanes[2], lanes[3], m_tailMost});
#else
        return m_tailMost;
#endif
    }

private:
#if defined(__SSE2__)
    __m128d m_sums[2] = {_mm_setzero_pd(), _mm_setzero_pd()};
    __m128 m_most = _mm_setzero_ps();
#endif
    double m_tailSum = 0.0;
    float m_tailMost = 0.0f;
};

} // namespace

std::vector<BlockError> BlockErrors::compute(const PlaneRef &main, const PlaneRef &reference,
                                             int depth, int blockSize)
{
    std::vector<BlockError> blocks;
    const int width = std::min(main.width, reference.width);
    const int height = std::min(main.height, reference.height);
    if (width <= 0 || height <= 0 || blockSize <= 0)
        return blocks;
    const int across = (width + blockSize - 1) / blockSize;
    blocks.reserve(size_t(across) * size_t((height + blockSize - 1) / blockSize));
    // A row of blocks is read row by row, as the samples lie in memory.
    std::vector<BlockSums> sums(static_cast<size_t>(across));
    for (int top = 0; top < height; top += blockSize) {
        const int rows = std::min(blockSize, height - top);
        std::fill(sums.begin(), sums.end(), BlockSums());
        // Rows in the order they lie in memory, which the processor's prefetching follows.
        const bool upwards = main.rowStride < 0;
        for (int k = 0; k < rows; ++k) {
            const int y = upwards ? top + rows - 1 - k : top + k;
            const float *pMain = main.row(y);
            const float *pReference = reference.row(y);
            for (int b = 0; b < across; ++b) {
                const int left = b * blockSize;
                sums[size_t(b)].addRow(pMain + left, pReference + left,
                                       std::min(blockSize, width - left));
            }
        }
        for (int b = 0; b < across; ++b) {
            BlockError block;
            block.x = b * blockSize;
            block.y = top;
            block.width = std::min(blockSize, width - block.x);
            block.height = rows;
            block.mse = sums[size_t(b)].sum() / (double(block.width) * block.height);
            block.psnr = PlaneMetrics::psnrFromMse(block.mse, depth);
            block.maxAbsDiff = sums[size_t(b)].most();
            blocks.push_back(block);
        }
    }
    return blocks;
}
