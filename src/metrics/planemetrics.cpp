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

// Per column, sums over a band of up to four rows: the samples of each plane, the squares of
// both, the products and the squared differences. T is float where every sum stays a whole
// number below 2^24 (samples of up to 10 bits: 4 * 2 * 1023^2 < 2^24), else double.
template<typename T>
struct ColumnSums
{
    explicit ColumnSums(int width)
        : main(size_t(width))
        , reference(size_t(width))
        , squares(size_t(width))
        , products(size_t(width))
        , differences(size_t(width))
    { }
    std::vector<T> main, reference, squares, products, differences;
};

// Rows firstRow .. firstRow + rows - 1 (from the top) of both planes, columns 0 .. width - 1,
// summed per column into `sums` (which are overwritten).
template<bool first, typename T>
void addRow(const float *__restrict pA, const float *__restrict pB, int width, ColumnSums<T> &sums)
{
    // The arrays never overlap; saying so lets the compiler vectorise the loop, which it will
    // not do behind run-time checks for seven pointers.
    T *__restrict pMain = sums.main.data();
    T *__restrict pReference = sums.reference.data();
    T *__restrict pSquares = sums.squares.data();
    T *__restrict pProducts = sums.products.data();
    T *__restrict pDifferences = sums.differences.data();
    for (int x = 0; x < width; ++x) {
        const T a = T(pA[x]);
        const T b = T(pB[x]);
        const T d = a - b;
        pMain[x] = (first ? T(0) : pMain[x]) + a;
        pReference[x] = (first ? T(0) : pReference[x]) + b;
        pSquares[x] = (first ? T(0) : pSquares[x]) + (a * a + b * b);
        pProducts[x] = (first ? T(0) : pProducts[x]) + a * b;
        pDifferences[x] = (first ? T(0) : pDifferences[x]) + d * d;
    }
}

template<typename T>
void sumColumns(const PlaneRef &mainPlane, const PlaneRef &referencePlane, int firstRow, int rows,
                int width, ColumnSums<T> &sums)
{
    addRow<true>(mainPlane.row(firstRow), referencePlane.row(firstRow), width, sums);
    for (int y = firstRow + 1; y < firstRow + rows; ++y)
        addRow<false>(mainPlane.row(y), referencePlane.row(y), width, sums);
}

template<typename T>
double sumOf(const std::vector<T> &values, int count)
{
    double sum = 0.0;
    for (int x = 0; x < count; ++x)
        sum += double(values[size_t(x)]);
    return sum;
}

// The 4x4 block sums of a band from its column sums.
template<typename T>
void sumBlocks(const ColumnSums<T> &columns, std::vector<BlockSums> &blocks)
{
    for (size_t block = 0; block < blocks.size(); ++block) {
        BlockSums &s = blocks[block];
        s = BlockSums();
        for (size_t x = 4 * block; x < 4 * block + 4; ++x) {
            s.main += double(columns.main[x]);
            s.reference += double(columns.reference[x]);
            s.squares += double(columns.squares[x]);
            s.products += double(columns.products[x]);
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

// Sum of the SSIM of the windows whose top blocks are `upper` and bottom blocks `lower`.
double windowRowSsim(const std::vector<BlockSums> &upper, const std::vector<BlockSums> &lower,
                     double c1, double c2)
{
    double row = 0.0;
    for (size_t x = 0; x + 1 < upper.size(); ++x) {
        const BlockSums &a = upper[x];
        const BlockSums &b = upper[x + 1];
        const BlockSums &c = lower[x];
        const BlockSums &d = lower[x + 1];
        row += windowSsim(a.main + b.main + c.main + d.main,
                          a.reference + b.reference + c.reference + d.reference,
                          a.squares + b.squares + c.squares + d.squares,
                          a.products + b.products + c.products + d.products, c1, c2);
    }
    return row;
}

// One pass over both planes for the squared error and the SSIM windows: the plane is walked in
// bands of four rows (the SSIM block rows, starting at the top), the rows below the last whole
// band only add to the squared error.
template<typename T>
PlaneMetrics comparePlanes(const PlaneRef &main, const PlaneRef &reference, int depth)
{
    PlaneMetrics result;
    const int width = std::max(0, std::min(main.width, reference.width));
    const int height = std::max(0, std::min(main.height, reference.height));
    result.width = width;
    result.height = height;
    if (width == 0 || height == 0) {
        result.psnr = PlaneMetrics::psnrFromMse(0.0, depth);
        result.ssim = std::numeric_limits<double>::quiet_NaN();
        return result;
    }
    const int blocksAcross = width / 4;
    const int bands = height / 4;
    const double peak = PlaneMetrics::peakValue(depth);
    const double c1 = std::floor(.01 * .01 * peak * peak * 64 + .5);
    const double c2 = std::floor(.03 * .03 * peak * peak * 64 * 63 + .5);

    ColumnSums<T> columns(width);
    std::vector<BlockSums> upper(static_cast<size_t>(blocksAcross));
    std::vector<BlockSums> lower(static_cast<size_t>(blocksAcross));
    double squaredError = 0.0;
    double ssimTotal = 0.0;
    for (int band = 0; band < bands; ++band) {
        sumColumns(main, reference, 4 * band, 4, width, columns);
        squaredError += sumOf(columns.differences, width);
        sumBlocks(columns, band == 0 ? upper : lower);
        if (band > 0) {
            ssimTotal += windowRowSsim(upper, lower, c1, c2);
            upper.swap(lower);
        }
    }
    if (4 * bands < height) {
        sumColumns(main, reference, 4 * bands, height - 4 * bands, width, columns);
        squaredError += sumOf(columns.differences, width);
    }
    result.mse = squaredError / (double(width) * double(height));
    result.psnr = PlaneMetrics::psnrFromMse(result.mse, depth);
    result.ssim = blocksAcross >= 2 && bands >= 2
            ? ssimTotal / (double(blocksAcross - 1) * double(bands - 1))
            : std::numeric_limits<double>::quiet_NaN();
    return result;
}

} // namespace

PlaneMetrics PlaneMetrics::compare(const PlaneRef &main, const PlaneRef &reference, int depth)
{
    return depth <= 10 ? comparePlanes<float>(main, reference, depth)
                       : comparePlanes<double>(main, reference, depth);
}

double PlaneMetrics::computeMse(const PlaneRef &main, const PlaneRef &reference)
{
    // Whole numbers of any size up to 16 bits: the double sums are exact.
    return comparePlanes<double>(main, reference, 16).mse;
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
    return compare(main, reference, depth).ssim;
}
