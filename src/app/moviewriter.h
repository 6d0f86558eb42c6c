#pragma once

#include <string>

#include <QtGlobal>

class Image3D;

// Writes a movie as a headerless YUV 4:2:0 file: per frame the samples as luma bytes, top row
// of the picture first (clamped to 0..255, truncated, NaN as 0), then both chroma planes at 128.
class MovieWriter
{
public:
    enum class Result {
        Written,
        OpenFailed, // nothing written
        WriteFailed, // the file may hold part of the movie
        OutOfMemory, // no frame buffer; nothing written
    };

    // The file name is UTF-8. An existing file is replaced. Large movies are written
    // overlapped (see below) when the machine has a second core.
    static Result writeYUV(const Image3D &movie, const std::string &fileName);
    // overlapped: a second thread converts the next frame while the calling thread writes one;
    // the file's bytes and the result are the same either way. The call returns when all is
    // written and closed.
    static Result writeYUV(const Image3D &movie, const std::string &fileName, bool overlapped);

    // Size in bytes of one written frame: (width * height * 3) / 2.
    static qint64 frameBytes(int width, int height);
};
