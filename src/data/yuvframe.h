#pragma once

#include <QtGlobal>

#include <memory>

// One frame's three planes (Y, U, V) as the file stores their samples: one byte per sample up to
// 8 bits, otherwise one native 16-bit word. Row 0 of each plane is the TOP row of the picture,
// as in the file. A null frame (no data) means the frame is absent or couldn't be read.
struct YuvFrame
{
    std::shared_ptr<const unsigned char> data; // keeps the planes alive
    const unsigned char *planes[3] = {nullptr, nullptr, nullptr};
    qint64 strides[3] = {0, 0, 0}; // bytes from one row to the next
    int width = 0; // luma samples
    int height = 0;
    int chromaWidth = 0; // samples of U and V, rounded up as ffmpeg does
    int chromaHeight = 0;
    int chroma = 420; // 420, 422 or 444
    int depth = 8; // bits: samples lie in 0 .. 2^depth - 1

    bool isNull() const { return !data; }
    int bytesPerSample() const { return depth > 8 ? 2 : 1; }
    // Horizontal and vertical subsampling as shifts: 4:2:0 is (1, 1), 4:2:2 (1, 0), 4:4:4 (0, 0).
    int chromaShiftX() const { return chroma == 444 ? 0 : 1; }
    int chromaShiftY() const { return chroma == 420 ? 1 : 0; }
    // Sample (x, y) of a plane, y counted from the top row.
    int sample(int plane, int x, int y) const
    {
        const unsigned char *pRow = planes[plane] + strides[plane] * y;
        return bytesPerSample() == 1 ? pRow[x] : reinterpret_cast<const quint16 *>(pRow)[x];
    }
    // The U or V sample that covers luma sample (x, y).
    int coveringChroma(int plane, int x, int y) const
    {
        return sample(plane, x >> chromaShiftX(), y >> chromaShiftY());
    }
};
