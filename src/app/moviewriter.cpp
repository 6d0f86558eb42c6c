#include "moviewriter.h"

#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QFileDevice>
#include <QString>

#include "image3d.h"
#include "savefile.h"

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

// One row of samples to luma bytes, as toByte does it, sixteen at a time where SSE2 is there:
// max(v, 0) gives its second operand, 0, for NaN; min(.., 255) clamps; the conversion
// truncates toward zero like the cast. Every input gives the same byte both ways.
void convertRow(const float *pRow, unsigned char *pTarget, int width)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128 zero = _mm_setzero_ps();
    const __m128 top = _mm_set1_ps(255.0f);
    for (; x + 16 <= width; x += 16) {
        __m128i whole[4];
        for (int k = 0; k < 4; ++k) {
            const __m128 clamped
                    = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(pRow + x + 4 * k), zero), top);
            whole[k] = _mm_cvttps_epi32(clamped);
        }
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole[0], whole[1]),
                                               _mm_packs_epi32(whole[2], whole[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pTarget + x), bytes);
    }
#endif
    for (; x < width; ++x)
        pTarget[x] = toByte(pRow[x]);
}

// Converts a frame of the movie into the luma part of a frame buffer, top row first.
void convertFrame(const float *pSamples, int width, int height, unsigned char *pBuffer)
{
    for (int y = 0; y < height; ++y) {
        // Movie row 0 is the bottom of the picture; the file starts with the top row.
        const float *pRow = pSamples + qint64(y) * width;
        convertRow(pRow, pBuffer + qint64(height - 1 - y) * width, width);
    }
}

// A frame buffer with its chroma part set to 128 once.
std::unique_ptr<unsigned char[]> frameBuffer(qint64 lumaBytes, qint64 bufferBytes)
{
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(bufferBytes)]);
    if (buffer)
        std::memset(buffer.get() + lumaBytes, 128, size_t(bufferBytes - lumaBytes));
    return buffer;
}

bool writeAll(QIODevice *pFile, const unsigned char *pBuffer, qint64 bytes)
{
    return pFile->write(reinterpret_cast<const char *>(pBuffer), bytes) == bytes;
}

} // namespace

qint64 MovieWriter::frameBytes(int width, int height) { return qint64(width) * height * 3 / 2; }

MovieWriter::Result
MovieWriter::writeFrames(const Image3D &movie, const std::string &fileName,
                         const std::function<bool(const float *, int, QIODevice *)> &writeFrame,
                         const ProgressCallback &progress)
{
    SaveFile file(QString::fromStdString(fileName));
    if (!file.open())
        return Result::OpenFailed;
    const int frames = movie.getNumFrames();
    for (int f = 0; f < frames; ++f) {
        const FrameCache::Frame samples = movie.getFrame(f);
        if (!samples)
            return Result::ReadFailed;
        movie.readAhead(f, 1);
        if (!writeFrame(samples.get(), f, file.device()))
            return Result::WriteFailed;
        if (progress && !progress(f + 1, frames))
            return Result::Cancelled;
    }
    // A full disk often shows only when the buffered rest is flushed.
    return file.commit() ? Result::Written : Result::WriteFailed;
}

MovieWriter::Result MovieWriter::writeYUV(const Image3D &movie, const std::string &fileName,
                                          const ProgressCallback &progress)
{
    const int width = movie.getWidth();
    const int height = movie.getHeight();
    const qint64 lumaBytes = qint64(width) * height;
    const qint64 bufferBytes = frameBytes(width, height);
    const std::unique_ptr<unsigned char[]> buffer = frameBuffer(lumaBytes, bufferBytes);
    if (!buffer)
        return Result::OutOfMemory;
    return writeFrames(
            movie, fileName,
            [&](const float *pSamples, int, QIODevice *pFile) {
                convertFrame(pSamples, width, height, buffer.get());
                return writeAll(pFile, buffer.get(), bufferBytes);
            },
            progress);
}
