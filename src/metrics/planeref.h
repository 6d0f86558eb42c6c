#pragma once

#include <QtGlobal>

// One plane of a picture, borrowed: pTop points at the picture's top row and rowStride is the
// distance in samples from a row to the row below it (negative for bottom-up storage, where
// row 0 is the bottom row: pTop = pSamples + (height - 1) * width, rowStride = -width).
struct PlaneRef
{
    const float *pTop = nullptr;
    qint64 rowStride = 0;
    int width = 0;
    int height = 0;

    // A plane stored bottom-up, width * height samples with row 0 the bottom row.
    static PlaneRef bottomUp(const float *pSamples, int width, int height)
    {
        return PlaneRef {pSamples + qint64(height - 1) * width, -qint64(width), width, height};
    }
    const float *row(int y) const { return pTop + y * rowStride; } // y = 0 is the top row
};
