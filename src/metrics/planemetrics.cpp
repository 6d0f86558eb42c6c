#include "planemetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Sums over one 4x4 block of both planes: the samples of each, the squares of both, and the
// products. Whole numbers (exact in a double) for integer samples of up to 16 bits.
struct BlockSums
{
    double main = 0.0;
    double reference = 0.0;
    double squares = 0.0;
    double products = 0.0;
};

// Sums of the blocks of block row `blockRow` (rows 4 * blockRow .. + 3 from the top).
void sumBlockRow(const PlaneRef &main, const PlaneRef &reference, int blockRow,
                 std::vector<BlockSums> &sums)
{
    std::fill(sums.begin(), sums.end(), BlockSums());
    const int blocks = int(sums.size());
    for (int dy = 0; dy < 4; ++dy) {
        const float *pMain = main.row(4 * blockRow + dy);
        const float *pReference = reference.row(4 * blockRow + dy);
        for (int block = 0; block < blocks; ++block) {
            BlockSums &s = sums[size_t(block)];
            for (int dx = 0; dx < 4; ++dx) {
                const double a = pMain[4 * block + dx];
                const double b = pReference[4 * block + dx];
                s.main += a;
                s.reference += b;
                s.squares += a * a + b * b;
                s.products += a * b;
            }
        }
    }
}

// SSIM of one 8x8 window from its sums over 64 samples. The constants are those of the usual
// K1 = 0.01, K2 = 0.03 scaled by the window's 64 (and 63 for the unbiased variance), rounded
// to whole numbers; the four factors are rounded to float before the division, as ffmpeg's
// filter does, so that its numbers come out.
float windowSsim(double s1, double s2, double ss, double s12, double c1, double c2)
{
    const double variances = ss * 64 - s1 * s1 - s2 * s2;
    const double covariance = s12 * 64 - s1 * s2;
    return float(2 * s1 * s2 + c1) * float(2 * covariance + c2)
            / (float(s1 * s1 + s2 * s2 + c1) * float(variances + c2));
}

} // namespace

PlaneMetrics PlaneMetrics::compare(const PlaneRef &main, const PlaneRef &reference, int depth)
{
    PlaneMetrics result;
    result.width = std::max(0, std::min(main.width, reference.width));
    result.height = std::max(0, std::min(main.height, reference.height));
    result.mse = computeMse(main, reference);
    result.psnr = psnrFromMse(result.mse, depth);
    result.ssim = computeSsim(main, reference, depth);
    return result;
}

double PlaneMetrics::computeMse(const PlaneRef &main, const PlaneRef &reference)
{
    const int width = std::min(main.width, reference.width);
    const int height = std::min(main.height, reference.height);
    if (width <= 0 || height <= 0)
        return 0.0;
    double total = 0.0;
    for (int y = 0; y < height; ++y) {
        const float *pMain = main.row(y);
        const float *pReference = reference.row(y);
        double row = 0.0;
        for (int x = 0; x < width; ++x) {
            const double difference = double(pMain[x]) - double(pReference[x]);
            row += difference * difference;
        }
        total += row;
    }
    return total / (double(width) * double(height));
}

double PlaneMetrics::psnrFromMse(double mse, int depth)
{
    if (mse <= 0.0)
        return std::numeric_limits<double>::infinity();
    const double peak = peakValue(depth);
    return 10.0 * std::log10(peak * peak / mse);
}

double PlaneMetrics::computeSsim(const PlaneRef &main, const PlaneRef &reference, int depth)
{
    const int blocksAcross = std::min(main.width, reference.width) / 4;
    const int blocksDown = std::min(main.height, reference.height) / 4;
    if (blocksAcross < 2 || blocksDown < 2)
        return std::numeric_limits<double>::quiet_NaN();
    const double peak = peakValue(depth);
    const double c1 = std::floor(.01 * .01 * peak * peak * 64 + .5);
    const double c2 = std::floor(.03 * .03 * peak * peak * 64 * 63 + .5);

    // A window is 2x2 blocks; windows start on every block, so two block rows are kept.
    std::vector<BlockSums> upper(static_cast<size_t>(blocksAcross));
    std::vector<BlockSums> lower(static_cast<size_t>(blocksAcross));
    sumBlockRow(main, reference, 0, upper);
    double total = 0.0;
    for (int blockRow = 1; blockRow < blocksDown; ++blockRow) {
        sumBlockRow(main, reference, blockRow, lower);
        double row = 0.0;
        for (int x = 0; x + 1 < blocksAcross; ++x) {
            const BlockSums &a = upper[size_t(x)];
            const BlockSums &b = upper[size_t(x) + 1];
            const BlockSums &c = lower[size_t(x)];
            const BlockSums &d = lower[size_t(x) + 1];
            row += windowSsim(a.main + b.main + c.main + d.main,
                              a.reference + b.reference + c.reference + d.reference,
                              a.squares + b.squares + c.squares + d.squares,
                              a.products + b.products + c.products + d.products, c1, c2);
        }
        total += row;
        upper.swap(lower);
    }
    return total / (double(blocksAcross - 1) * double(blocksDown - 1));
}
