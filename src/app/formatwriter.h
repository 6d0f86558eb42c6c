#pragma once

#include <string>

#include "moviewriter.h"

class Image3D;

// Writers of the main movie in the layouts beside the 8-bit YUV 4:2:0 of MovieWriter. Each
// writes 4:2:0 frames with neutral chroma, the picture's top row first; a sample is clamped to
// the layout's range and truncated, NaN as 0. Chroma planes are ceil(w / 2) x ceil(h / 2), as
// ffmpeg lays them out.
namespace FormatWriter {

// yuv420p16le: samples 0 .. 65535, two bytes little-endian; chroma 32768.
MovieWriter::Result writeYUV16(const Image3D &movie, const std::string &fileName,
                               const ProgressCallback &progress = {});
// y4m, "YUV4MPEG2 W.. H.. F25:1 Ip A1:1 C420jpeg" with 8-bit samples 0 .. 255 (chroma 128), or
// with sixteenBit two-byte samples at the movie's own depth: C420p10, C420p12 or C420p16, samples
// 0 .. 2^depth - 1 (chroma 2^(depth - 1)), so the file reads back as the same movie. The F tag
// is the movie's frame rate (Image3D::getFrameRate), 25:1 when it has none.
MovieWriter::Result writeY4m(const Image3D &movie, const std::string &fileName, bool sixteenBit,
                             const ProgressCallback &progress = {});
// True when a sample of the movie is above limit (NaN is not).
bool hasSampleAbove(const Image3D &movie, float limit);

} // namespace FormatWriter
