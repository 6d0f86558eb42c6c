#include "planestatistics.h"

#include <algorithm>
#include <cmath>

PlaneStatistics PlaneStatistics::of(const PlaneRef &plane)
{
    PlaneStatistics result;
    if (plane.width <= 0 || plane.height <= 0)
        return result;
    float minimum = *plane.row(0);
    float maximum = minimum;
    // Sums about the first sample keep the variance exact for large flat areas of deep samples.
    const double shift = double(minimum);
    double sum = 0.0;
    double squares = 0.0;
    for (int y = 0; y < plane.height; ++y) {
        const float *pRow = plane.row(y);
        double rowSum = 0.0;
        double rowSquares = 0.0;
        for (int x = 0; x < plane.width; ++x) {
            const float value = pRow[x];
            minimum = std::min(minimum, value);
            maximum = std::max(maximum, value);
            const double centred = double(value) - shift;
            rowSum += centred;
            rowSquares += centred * centred;
        }
        sum += rowSum;
        squares += rowSquares;
    }
    result.count = qint64(plane.width) * plane.height;
    const double count = double(result.count);
    result.minimum = minimum;
    result.maximum = maximum;
    result.mean = shift + sum / count;
    result.standardDeviation
            = std::sqrt(std::max(0.0, squares / count - (sum / count) * (sum / count)));
    return result;
}
