#include "blockerrors.h"

#include <algorithm>
#include <cmath>

#include "planemetrics.h"

namespace {

// Adds a row's squared differences and largest differences to the running ones of its columns.
// Column by column over the whole row, not block by block, so that the loop vectorises. T is
// float where the sums stay whole numbers below 2^24, else double.
template<typename T>
void addRow(const float *__restrict pMain, const float *__restrict pReference, int width,
            T *__restrict pSquares, T *__restrict pLargest)
{
    for (int x = 0; x < width; ++x) {
        const T d = T(pMain[x]) - T(pReference[x]);
        pSquares[x] += d * d;
        pLargest[x] = std::max(pLargest[x], std::fabs(d));
    }
}

// The blocks of the common width x height area, row of blocks by row of blocks, from the sums
// of each row of blocks per column.
template<typename T>
void addBlocks(const PlaneRef &main, const PlaneRef &reference, int width, int height, int depth,
               int blockSize, std::vector<BlockError> &blocks)
{
    std::vector<T> squares(static_cast<size_t>(width));
    std::vector<T> largest(static_cast<size_t>(width));
    for (int top = 0; top < height; top += blockSize) {
        const int rows = std::min(blockSize, height - top);
        std::fill(squares.begin(), squares.end(), T(0));
        std::fill(largest.begin(), largest.end(), T(0));
        // Rows in the order they lie in memory, which the processor's prefetching follows.
        const bool upwards = main.rowStride < 0;
        for (int k = 0; k < rows; ++k) {
            const int y = upwards ? top + rows - 1 - k : top + k;
            addRow(main.row(y), reference.row(y), width, squares.data(), largest.data());
        }
        for (int left = 0; left < width; left += blockSize) {
            BlockError block;
            block.x = left;
            block.y = top;
            block.width = std::min(blockSize, width - left);
            block.height = rows;
            double sum = 0.0;
            for (int x = left; x < left + block.width; ++x) {
                sum += double(squares[size_t(x)]);
                block.maxAbsDiff = std::max(block.maxAbsDiff, double(largest[size_t(x)]));
            }
            block.mse = sum / (double(block.width) * block.height);
            block.psnr = PlaneMetrics::psnrFromMse(block.mse, depth);
            blocks.push_back(block);
        }
    }
}

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
    // Samples are whole numbers: in float, a column's sum of up to blockSize squared differences
    // is exact while it stays below 2^24 (8-bit samples in blocks of up to 64, 10-bit up to 16).
    const double peak = PlaneMetrics::peakValue(depth);
    if (double(blockSize) * peak * peak < double(1 << 24))
        addBlocks<float>(main, reference, width, height, depth, blockSize, blocks);
    else
        addBlocks<double>(main, reference, width, height, depth, blockSize, blocks);
    return blocks;
}
