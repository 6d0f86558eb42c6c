#include "moviewriter.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "image3d.h"

namespace {

unsigned char toByte(float value)
{
    // NaN fails both comparisons and ends as 0, like a negative value.
    if (value > 255.0f)
        return 255;
    if (value >= 0.0f)
        return static_cast<unsigned char>(static_cast<int>(value));
    return 0;
}

} // namespace

qint64 MovieWriter::frameBytes(int width, int height) { return qint64(width) * height * 3 / 2; }

MovieWriter::Result MovieWriter::writeYUV(const Image3D &movie, const std::string &fileName)
{
    const int width = movie.getWidth();
    const int height = movie.getHeight();
    const int frames = movie.getNumFrames();
    const qint64 lumaBytes = qint64(width) * height;
    const qint64 bufferBytes = frameBytes(width, height);

    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(bufferBytes)]);
    if (!buffer)
        return Result::OutOfMemory;
    std::memset(buffer.get() + lumaBytes, 128, size_t(bufferBytes - lumaBytes));

    FILE *pFile = std::fopen(fileName.c_str(), "wb");
    if (!pFile)
        return Result::OpenFailed;

    bool complete = true;
    const float *pSamples = movie.getData();
    for (int f = 0; f < frames && complete; ++f) {
        for (int y = 0; y < height; ++y) {
            // Movie row 0 is the bottom of the picture; the file starts with the top row.
            const float *pRow = pSamples + (qint64(f) * height + y) * width;
            unsigned char *pTarget = buffer.get() + qint64(height - 1 - y) * width;
            for (int x = 0; x < width; ++x)
                pTarget[x] = toByte(pRow[x]);
        }
        complete = std::fwrite(buffer.get(), 1, size_t(bufferBytes), pFile) == size_t(bufferBytes);
    }
    // A full disk often shows only when the buffered rest is flushed on closing.
    if (std::fclose(pFile) != 0)
        complete = false;
    return complete ? Result::Written : Result::WriteFailed;
}
