#pragma once

#include "blockerrors.h"

#include <array>
#include <vector>

// The block errors of one frame of the main movie against the same frame of one reference.
struct FrameBlockErrors
{
    int frame = 0; // counted from 0
    int reference = 1; // 1 or 2
    int planeCount = 0; // planes compared: 1 (Y only) or 3 (Y, U, V)
    std::array<std::vector<BlockError>, 3> planes; // as BlockErrors::compute gives them
};
