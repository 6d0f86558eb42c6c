#include "blockerrors.h"

#include <algorithm>
#include <cmath>

#include "planemetrics.h"

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
    std::vector<double> sums(static_cast<size_t>(across));
    std::vector<double> largest(static_cast<size_t>(across));
    for (int top = 0; top < height; top += blockSize) {
        const int rows = std::min(blockSize, height - top);
        std::fill(sums.begin(), sums.end(), 0.0);
        std::fill(largest.begin(), largest.end(), 0.0);
        for (int y = top; y < top + rows; ++y) {
            const float *pMain = main.row(y);
            const float *pReference = reference.row(y);
            for (int b = 0; b < across; ++b) {
                double sum = 0.0;
                double most = largest[size_t(b)];
                const int end = std::min(width, (b + 1) * blockSize);
                for (int x = b * blockSize; x < end; ++x) {
                    const double d = double(pMain[x]) - double(pReference[x]);
                    sum += d * d;
                    most = std::max(most, std::fabs(d));
                }
                sums[size_t(b)] += sum;
                largest[size_t(b)] = most;
            }
        }
        for (int b = 0; b < across; ++b) {
            BlockError block;
            block.x = b * blockSize;
            block.y = top;
            block.width = std::min(blockSize, width - block.x);
            block.height = rows;
            block.mse = sums[size_t(b)] / (double(block.width) * block.height);
            block.psnr = PlaneMetrics::psnrFromMse(block.mse, depth);
            block.maxAbsDiff = largest[size_t(b)];
            blocks.push_back(block);
        }
    }
    return blocks;
}
