#include "moviewriter.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Converts frame f of the movie into the luma part of a frame buffer, top row first.
void convertFrame(const Image3D &movie, int f, unsigned char *pBuffer)
{
    const int width = movie.getWidth();
    const int height = movie.getHeight();
    const float *pSamples = movie.getData();
    for (int y = 0; y < height; ++y) {
        // Movie row 0 is the bottom of the picture; the file starts with the top row.
        const float *pRow = pSamples + (qint64(f) * height + y) * width;
        convertRow(pRow, pBuffer + qint64(height - 1 - y) * width, width);
    }
}

// Frame buffers with their chroma part set to 128 once.
std::unique_ptr<unsigned char[]> frameBuffer(qint64 lumaBytes, qint64 bufferBytes)
{
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(bufferBytes)]);
    if (buffer)
        std::memset(buffer.get() + lumaBytes, 128, size_t(bufferBytes - lumaBytes));
    return buffer;
}

bool writeAll(FILE *pFile, const unsigned char *pBuffer, qint64 bytes)
{
    return std::fwrite(pBuffer, 1, size_t(bytes), pFile) == size_t(bytes);
}

// The frames written one after the other, each converted and then written.
bool writeFrames(const Image3D &movie, FILE *pFile, unsigned char *pBuffer, qint64 bufferBytes)
{
    for (int f = 0; f < movie.getNumFrames(); ++f) {
        convertFrame(movie, f, pBuffer);
        if (!writeAll(pFile, pBuffer, bufferBytes))
            return false;
    }
    return true;
}

// The same bytes with a second thread converting frames ahead of the writer. Frame f goes to
// buffer f % 2; whoever finds a frame not yet taken converts it: the helper, once the writer
// is done with that buffer, and the calling thread itself when the helper has not started the
// frame it is about to write. So the writer waits only for a frame the helper is converting at
// that moment, never for the helper to be scheduled at all (on a busy machine that wait would
// cost more than converting). False in *pStarted when no thread could be started (nothing was
// written then).
bool writeFramesOverlapped(const Image3D &movie, FILE *pFile, unsigned char *pBuffers[2],
                           qint64 bufferBytes, bool *pStarted)
{
    const int frames = movie.getNumFrames();
    std::mutex mutex;
    std::condition_variable changed;
    int nextFrame = 0; // the first frame nobody has taken for conversion
    int ready[2] = {-1, -1}; // the frame converted into each buffer
    int written = -1; // frames 0 .. written are in the file
    bool stop = false;

    auto help = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock,
                         [&] { return stop || nextFrame >= frames || written >= nextFrame - 2; });
            if (stop || nextFrame >= frames)
                return;
            const int f = nextFrame++;
            lock.unlock();
            convertFrame(movie, f, pBuffers[f % 2]);
            lock.lock();
            ready[f % 2] = f;
            changed.notify_all();
        }
    };
    std::thread helper;
    try {
        helper = std::thread(help);
    } catch (const std::system_error &) {
        *pStarted = false;
        return false;
    }
    *pStarted = true;

    bool complete = true;
    for (int f = 0; f < frames && complete; ++f) {
        std::unique_lock<std::mutex> lock(mutex);
        if (nextFrame == f) {
            // Buffer f % 2 last held frame f - 2, which is written.
            ++nextFrame;
            lock.unlock();
            convertFrame(movie, f, pBuffers[f % 2]);
            lock.lock();
            ready[f % 2] = f;
        } else {
            changed.wait(lock, [&] { return ready[f % 2] == f; });
        }
        lock.unlock();
        complete = writeAll(pFile, pBuffers[f % 2], bufferBytes);
        lock.lock();
        if (complete)
            written = f;
        else
            stop = true;
        changed.notify_all();
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    helper.join();
    return complete;
}

MovieWriter::Result writeFile(const Image3D &movie, const std::string &fileName, bool overlapped)
{
    using MovieWriter::Result;
    const qint64 lumaBytes = qint64(movie.getWidth()) * movie.getHeight();
    const qint64 bufferBytes = MovieWriter::frameBytes(movie.getWidth(), movie.getHeight());

    std::unique_ptr<unsigned char[]> buffers[2];
    buffers[0] = frameBuffer(lumaBytes, bufferBytes);
    if (!buffers[0])
        return Result::OutOfMemory;
    if (overlapped) {
        buffers[1] = frameBuffer(lumaBytes, bufferBytes);
        overlapped = bool(buffers[1]);
    }

    FILE *pFile = std::fopen(fileName.c_str(), "wb");
    if (!pFile)
        return Result::OpenFailed;

    bool complete = false;
    bool started = false;
    if (overlapped) {
        unsigned char *pBuffers[2] = {buffers[0].get(), buffers[1].get()};
        complete = writeFramesOverlapped(movie, pFile, pBuffers, bufferBytes, &started);
    }
    if (!started)
        complete = writeFrames(movie, pFile, buffers[0].get(), bufferBytes);
    // A full disk often shows only when the buffered rest is flushed on closing.
    if (std::fclose(pFile) != 0)
        complete = false;
    return complete ? Result::Written : Result::WriteFailed;
}

} // namespace

qint64 MovieWriter::frameBytes(int width, int height) { return qint64(width) * height * 3 / 2; }

MovieWriter::Result MovieWriter::writeYUV(const Image3D &movie, const std::string &fileName)
{
    // Below about a megabyte of luma per frame a thread costs more than it saves.
    const bool large = qint64(movie.getWidth()) * movie.getHeight() >= (qint64(1) << 20);
    return writeFile(movie, fileName,
                     large && movie.getNumFrames() >= 2
                             && std::thread::hardware_concurrency() >= 2);
}
