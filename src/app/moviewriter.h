#pragma once

#include <string>

#include <QtGlobal>

class Image3D;

// Writes a movie as a headerless YUV 4:2:0 file: per frame the samples as luma bytes, top row
// of the picture first (clamped to 0..255, truncated, NaN as 0), then both chroma planes at 128.
namespace MovieWriter {

enum class Result {
    Written,
    OpenFailed, // nothing written
    WriteFailed, // the file may hold part of the movie
    OutOfMemory, // no frame buffer; nothing written
};

// The file name is UTF-8. An existing file is replaced.
Result writeYUV(const Image3D &movie, const std::string &fileName);

// Size in bytes of one written frame: (width * height * 3) / 2.
qint64 frameBytes(int width, int height);

} // namespace MovieWriter
