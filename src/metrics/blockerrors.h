#pragma once

#include <vector>

#include "planeref.h"

// The error of one block of a plane: the frame is cut in n x n blocks from its top-left corner
// (x to the right, y down from the top row, as the readout counts); blocks at the right and
// bottom edges are smaller when the size is not a multiple of n.
struct BlockError
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    double mse = 0.0;
    double psnr = 0.0; // as PlaneMetrics::psnrFromMse: +inf for mse 0
    double maxAbsDiff = 0.0; // the largest |main - reference| in the block
};

// Block errors of main against reference over their common top-left area, row of blocks by row
// of blocks, left to right. Samples are integer values 0 .. 2^depth - 1 held as floats.
class BlockErrors
{
public:
    static std::vector<BlockError> compute(const PlaneRef &main, const PlaneRef &reference,
                                           int depth, int blockSize);
};
