#pragma once

#include <QRect>

#include "planemetrics.h"
#include "planestatistics.h"

class MovieSet;

// What the Region panel lists for one frame: the spread of each movie's samples in a region of
// the picture (x right, y down from the top row) and each reference's errors against the main
// movie there. A movie larger or smaller than the main one is measured over the part of the
// region its frame holds.
class RegionMeasures
{
public:
    static RegionMeasures compute(const MovieSet &movies, int frame, const QRect &region);

    struct Movie
    {
        bool present = false; // the movie has this frame and it could be read
        PlaneStatistics statistics;
    };
    struct Reference
    {
        bool compared = false; // main and reference both present, with samples of one depth
        PlaneMetrics metrics;
    };
    Movie movies[3]; // main, reference 1, reference 2
    Reference references[2];
};
