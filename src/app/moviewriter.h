#pragma once

#include <functional>
#include <string>

#include <QtGlobal>

#include "progresscallback.h"

class Image3D;
class QIODevice;

// Writes a movie as a headerless YUV 4:2:0 file: per frame the samples as luma bytes, top row
// of the picture first (clamped to 0..255, truncated, NaN as 0), then both chroma planes at 128.
namespace MovieWriter {

enum class Result {
    Written,
    OpenFailed, // nothing written
    WriteFailed, // the file may hold part of the movie
    OutOfMemory, // no frame buffer; nothing written
    Cancelled, // the progress callback cancelled; nothing left behind
    ReadFailed, // a frame of the movie can't be read (its file changed); nothing left behind
};

// The file name is UTF-8. The file is written through SaveFile: an existing file is replaced
// once the new one is complete and on disk; until then, and after any failure or cancel, it
// stays as it was. Frames are taken one by one from the movie, so a movie read on
// demand is never held whole; progress is told after every frame.
Result writeYUV(const Image3D &movie, const std::string &fileName,
                const ProgressCallback &progress = {});

// Writes frames 0 .. frames - 1 to the file through writeFrame(frame samples, f, file),
// telling progress after each: the frame loop every writer shares. False from writeFrame is a
// write failure.
Result writeFrames(const Image3D &movie, const std::string &fileName,
                   const std::function<bool(const float *, int, QIODevice *)> &writeFrame,
                   const ProgressCallback &progress);

// Size in bytes of one written frame: (width * height * 3) / 2.
qint64 frameBytes(int width, int height);

} // namespace MovieWriter
