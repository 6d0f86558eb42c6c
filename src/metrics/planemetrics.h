#pragma once

#include "planeref.h"

// MSE, PSNR, SSIM and the largest difference of one plane of a main picture against the same plane
// of a reference, computed as ffmpeg's psnr and ssim filters do. Planes of different sizes are
// compared over their common top-left area. Samples are integer values 0 .. 2^depth - 1 held as
// floats.
class PlaneMetrics
{
public:
    // All three measures over the common area of the two planes, and maxAbsDiff when `largest`
    // (it costs a few percent more).
    static PlaneMetrics compare(const PlaneRef &main, const PlaneRef &reference, int depth,
                                bool largest = false);

    // 10 * log10(peak^2 / mse) with peak = 2^depth - 1; +inf for mse 0.
    static double psnrFromMse(double mse, int depth);
    // The largest sample value of that depth: 2^depth - 1.
    static int peakValue(int depth) { return (1 << depth) - 1; }

    double mse = 0.0;
    double psnr = 0.0;
    // Mean SSIM over the 8x8 windows that start every 4 samples from the top-left corner;
    // NaN when the common area holds no whole window (narrower or lower than 8 samples).
    double ssim = 0.0;
    double maxAbsDiff = 0.0; // the largest |main - reference| of a sample; 0 when not asked
    int width = 0; // the common area compared
    int height = 0;
};
