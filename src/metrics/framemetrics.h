#pragma once

#include "planemetrics.h"

#include <array>

// The measures of one frame of the main movie against the same frame of one reference.
struct FrameMetrics
{
    int frame = 0; // counted from 0
    int reference = 1; // 1 or 2
    int planeCount = 0; // planes compared: 1 (Y only) or 3 (Y, U, V)
    std::array<PlaneMetrics, 3> planes;
};
