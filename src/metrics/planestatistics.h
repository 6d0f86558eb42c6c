#pragma once

#include "planeref.h"

// The spread of the sample values of a plane (or of a part of one, PlaneRef::cropped): the
// smallest, the largest, the mean and the standard deviation (of the samples themselves, not an
// estimate for a larger population). All 0 for a plane without samples.
class PlaneStatistics
{
public:
    static PlaneStatistics of(const PlaneRef &plane);

    qint64 count = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double standardDeviation = 0.0;
};
