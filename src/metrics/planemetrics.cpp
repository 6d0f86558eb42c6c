#include "planemetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Per column, sums over a band of up to four rows: the samples of each plane, the squares of
// both, the products and the squared differences; and, when asked, the largest absolute
// difference of the column over every band so far. T is float where every sum stays a whole
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
        , largest(size_t(width))
    { }
    std::vector<T> main, reference, squares, products, differences, largest;
};

// The same sums over the 4x4 blocks of a band, one array per sum (so that the loops over them
// vectorise). Whole numbers, exact in a double, for integer samples of up to 16 bits.
struct BlockSums
{
    explicit BlockSums(int blocks)
        : main(size_t(blocks))
        , reference(size_t(blocks))
        , squares(size_t(blocks))
        , products(size_t(blocks))
    { }
    void swap(BlockSums &other)
    {
        main.swap(other.main);
        reference.swap(other.reference);
        squares.swap(other.squares);
        products.swap(other.products);
    }
    std::vector<double> main, reference, squares, products;
};

// The arrays never overlap; saying so (on parameters, where the compiler takes it at its word)
// lets the loop vectorise without run-time checks.
template<bool first, bool largest, typename T>
void addRowTo(const float *__restrict pA, const float *__restrict pB, int width,
              T *__restrict pMain, T *__restrict pReference, T *__restrict pSquares,
              T *__restrict pProducts, T *__restrict pDifferences, T *__restrict pLargest)
{
    for (int x = 0; x < width; ++x) {
        const T a = T(pA[x]);
        const T b = T(pB[x]);
        const T d = a - b;
        pMain[x] = (first ? T(0) : pMain[x]) + a;
        pReference[x] = (first ? T(0) : pReference[x]) + b;
        pSquares[x] = (first ? T(0) : pSquares[x]) + (a * a + b * b);
        pProducts[x] = (first ? T(0) : pProducts[x]) + a * b;
        pDifferences[x] = (first ? T(0) : pDifferences[x]) + d * d;
        if (largest)
            pLargest[x] = std::max(pLargest[x], std::fabs(d));
    }
}

template<bool first, bool largest, typename T>
void addRow(const float *pA, const float *pB, int width, ColumnSums<T> &sums)
{
    addRowTo<first, largest>(pA, pB, width, sums.main.data(), sums.reference.data(),
                             sums.squares.data(), sums.products.data(), sums.differences.data(),
                             sums.largest.data());
}

// Rows firstRow .. firstRow + rows - 1 (from the top) of both planes, columns 0 .. width - 1,
// summed per column into `sums` (which are overwritten).
template<bool largest, typename T>
void sumColumns(const PlaneRef &mainPlane, const PlaneRef &referencePlane, int firstRow, int rows,
                int width, ColumnSums<T> &sums)
{
    addRow<true, largest>(mainPlane.row(firstRow), referencePlane.row(firstRow), width, sums);
    for (int y = firstRow + 1; y < firstRow + rows; ++y)
        addRow<false, largest>(mainPlane.row(y), referencePlane.row(y), width, sums);
}

// Adds the band's squared differences to the running totals per column (column by column, not
// into one sum, so that the loop vectorises).
template<typename T>
void addDifferences(const ColumnSums<T> &columns, std::vector<double> &totals)
{
    const T *__restrict pDifferences = columns.differences.data();
    double *__restrict pTotals = totals.data();
    for (size_t x = 0; x < totals.size(); ++x)
        pTotals[x] += double(pDifferences[x]);
}

template<typename T>
void sumQuads(const std::vector<T> &columns, std::vector<double> &blocks)
{
    const T *__restrict pColumns = columns.data();
    double *__restrict pBlocks = blocks.data();
    for (size_t block = 0; block < blocks.size(); ++block) {
        pBlocks[block] = (double(pColumns[4 * block]) + double(pColumns[4 * block + 1]))
                + (double(pColumns[4 * block + 2]) + double(pColumns[4 * block + 3]));
    }
}

// The 4x4 block sums of a band from its column sums.
template<typename T>
void sumBlocks(const ColumnSums<T> &columns, BlockSums &blocks)
{
    sumQuads(columns.main, blocks.main);
    sumQuads(columns.reference, blocks.reference);
    sumQuads(columns.squares, blocks.squares);
    sumQuads(columns.products, blocks.products);
}

// SSIM of the windows whose top blocks are `upper` and bottom blocks `lower`, into ssim[x] for
// the window starting at block x, from its sums over 64 samples. The constants are those of
// the usual K1 = 0.01, K2 = 0.03 scaled by the window's 64 (and 63 for the unbiased variance),
// rounded to whole numbers; the four factors are rounded to float before the division, as
// ffmpeg's filter does, so that its numbers come out.
void windowRowSsim(const BlockSums &upper, const BlockSums &lower, double c1, double c2,
                   std::vector<float> &ssim)
{
    const double *__restrict pUpperMain = upper.main.data();
    const double *__restrict pUpperReference = upper.reference.data();
    const double *__restrict pUpperSquares = upper.squares.data();
    const double *__restrict pUpperProducts = upper.products.data();
    const double *__restrict pLowerMain = lower.main.data();
    const double *__restrict pLowerReference = lower.reference.data();
    const double *__restrict pLowerSquares = lower.squares.data();
    const double *__restrict pLowerProducts = lower.products.data();
    float *__restrict pSsim = ssim.data();
    for (size_t x = 0; x < ssim.size(); ++x) {
        const double s1 = pUpperMain[x] + pUpperMain[x + 1] + pLowerMain[x] + pLowerMain[x + 1];
        const double s2 = pUpperReference[x] + pUpperReference[x + 1] + pLowerReference[x]
                + pLowerReference[x + 1];
        const double ss
                = pUpperSquares[x] + pUpperSquares[x + 1] + pLowerSquares[x] + pLowerSquares[x + 1];
        const double s12 = pUpperProducts[x] + pUpperProducts[x + 1] + pLowerProducts[x]
                + pLowerProducts[x + 1];
        const double variances = ss * 64 - s1 * s1 - s2 * s2;
        const double covariance = s12 * 64 - s1 * s2;
        pSsim[x] = float(2 * s1 * s2 + c1) * float(2 * covariance + c2)
                / (float(s1 * s1 + s2 * s2 + c1) * float(variances + c2));
    }
}

// Sum of the values in four running sums, which lets the loop vectorise.
double sumOf(const std::vector<float> &values)
{
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    const size_t whole = values.size() / 4 * 4;
    for (size_t x = 0; x < whole; x += 4) {
        for (size_t lane = 0; lane < 4; ++lane)
            sums[lane] += double(values[x + lane]);
    }
    for (size_t x = whole; x < values.size(); ++x)
        sums[0] += double(values[x]);
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// One pass over both planes for the squared error and the SSIM windows: the plane is walked in
// bands of four rows (the SSIM block rows, starting at the top), the rows below the last whole
// band only add to the squared error.
template<typename T, bool largest>
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
    std::vector<double> differences(size_t(width), 0.0);
    BlockSums upper(blocksAcross);
    BlockSums lower(blocksAcross);
    std::vector<float> windows(size_t(std::max(0, blocksAcross - 1)));
    double ssimTotal = 0.0;
    for (int band = 0; band < bands; ++band) {
        sumColumns<largest>(main, reference, 4 * band, 4, width, columns);
        addDifferences(columns, differences);
        sumBlocks(columns, band == 0 ? upper : lower);
        if (band > 0) {
            windowRowSsim(upper, lower, c1, c2, windows);
            ssimTotal += sumOf(windows);
            upper.swap(lower);
        }
    }
    if (4 * bands < height) {
        sumColumns<largest>(main, reference, 4 * bands, height - 4 * bands, width, columns);
        addDifferences(columns, differences);
    }
    double squaredError = 0.0;
    for (double total : differences)
        squaredError += total;
    result.maxAbsDiff = double(*std::max_element(columns.largest.begin(), columns.largest.end()));
    result.mse = squaredError / (double(width) * double(height));
    result.psnr = PlaneMetrics::psnrFromMse(result.mse, depth);
    result.ssim = blocksAcross >= 2 && bands >= 2
            ? ssimTotal / (double(blocksAcross - 1) * double(bands - 1))
            : std::numeric_limits<double>::quiet_NaN();
    return result;
}

} // namespace

PlaneMetrics PlaneMetrics::compare(const PlaneRef &main, const PlaneRef &reference, int depth,
                                   bool largest)
{
    if (largest)
        return depth <= 10 ? comparePlanes<float, true>(main, reference, depth)
                           : comparePlanes<double, true>(main, reference, depth);
    return depth <= 10 ? comparePlanes<float, false>(main, reference, depth)
                       : comparePlanes<double, false>(main, reference, depth);
}

double PlaneMetrics::psnrFromMse(double mse, int depth)
{
    if (mse <= 0.0)
        return std::numeric_limits<double>::infinity();
    const double peak = peakValue(depth);
    return 10.0 * std::log10(peak * peak / mse);
}
