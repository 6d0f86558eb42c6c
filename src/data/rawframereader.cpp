#include "rawframereader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// Below this many samples a second thread is not worth starting.
constexpr qint64 ThreadedSamples = qint64(1) << 22;

// One row, bytes to floats. Written in fixed blocks with non-aliasing pointers so that the
// compiler turns it into vector code at any optimisation level that vectorises at all.
void convertRow(const unsigned char *__restrict pBytes, float *__restrict pRow, int width)
{
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        for (int k = 0; k < 16; ++k)
            pRow[x + k] = float(pBytes[x + k]);
    }
    for (; x < width; ++x)
        pRow[x] = float(pBytes[x]);
}

} // namespace

struct RawFrameReader::Worker
{
    std::unique_ptr<unsigned char[]> buffer;
    // The last frame this worker wrote into the volume; -1 before the first.
    int lastWritten = -1;
};

struct RawFrameReader::Progress
{
    // The next frame to be taken; 64-bit, so that taking past the last frame can't overflow.
    std::atomic<qint64> next {0};
    // The first frame that could not be read; INT_MAX while none failed.
    std::atomic<int> firstFailed {INT_MAX};
};

RawFrameReader::RawFrameReader(int fd, int width, int height, qint64 frameBytes)
    : m_fd(fd), m_width(width), m_height(height), m_frameBytes(frameBytes)
{ }

RawFrameReader::~RawFrameReader() = default;

int RawFrameReader::workersFor(qint64 samples)
{
    if (samples < ThreadedSamples)
        return 1;
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

void RawFrameReader::convertFrame(const unsigned char *pBytes, float *pFrame, int width, int height)
{
    // The file's first row is the top of the picture: it goes to row height - 1.
    const unsigned char *pSource = pBytes + qint64(height - 1) * width;
    for (int y = 0; y < height; ++y, pSource -= width, pFrame += width)
        convertRow(pSource, pFrame, width);
}

bool RawFrameReader::readBytes(unsigned char *pBuffer, qint64 count, qint64 offset) const
{
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = pread(m_fd, pBuffer + got, size_t(count - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

bool RawFrameReader::readFrame(unsigned char *pBuffer, int frame) const
{
    // Only the gray or luma plane is copied. The frame is complete when its last byte can be
    // read too: a file ends in one place, so nothing before that byte is missing.
    const qint64 start = qint64(frame) * m_frameBytes;
    const qint64 planeBytes = qint64(m_width) * m_height;
    if (!readBytes(pBuffer, planeBytes, start))
        return false;
    unsigned char last = 0;
    return m_frameBytes == planeBytes || readBytes(&last, 1, start + m_frameBytes - 1);
}

void RawFrameReader::runWorker(Worker &worker, float *pVolume, int frames,
                               Progress *pProgress) const
{
    // Each worker takes the next frame nobody has taken yet: together they read the file front
    // to back, and a worker that gets less of the processor simply takes fewer frames.
    static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");
    const qint64 frameSamples = qint64(m_width) * m_height;
    for (;;) {
        const qint64 next = pProgress->next.fetch_add(1);
        // Frames after one that another worker failed to read are not needed.
        if (next >= frames || next > pProgress->firstFailed.load())
            return;
        const int f = int(next);
        if (!readFrame(worker.buffer.get(), f)) {
            int seen = pProgress->firstFailed.load();
            while (f < seen && !pProgress->firstFailed.compare_exchange_weak(seen, f)) { }
            return;
        }
        convertFrame(worker.buffer.get(), pVolume + qint64(f) * frameSamples, m_width, m_height);
        worker.lastWritten = f;
    }
}

int RawFrameReader::read(float *pVolume, int frames, int workers) const
{
    workers = std::max(1, std::min(workers, frames));
    std::vector<Worker> team;
    for (int k = 0; k < workers; ++k) {
        std::unique_ptr<unsigned char[]> buffer(
                new (std::nothrow) unsigned char[size_t(qint64(m_width) * m_height)]);
        if (!buffer)
            break;
        team.push_back(Worker {std::move(buffer), -1});
    }
    if (team.empty())
        return -1;

    // Worker 0 runs on the calling thread; the frames of a thread that can't be started are
    // taken by the others.
    Progress progress;
    std::vector<std::thread> threads;
    for (size_t k = 1; k < team.size(); ++k) {
        try {
            threads.emplace_back(&RawFrameReader::runWorker, this, std::ref(team[k]), pVolume,
                                 frames, &progress);
        } catch (const std::system_error &) {
            break;
        }
    }
    runWorker(team[0], pVolume, frames, &progress);
    for (std::thread &thread : threads)
        thread.join();

    const int firstFailed = std::min(frames, progress.firstFailed.load());
    if (firstFailed < frames) {
        // Later frames that other workers read before they learnt of the failure are cleared,
        // so that the result does not depend on how the frames were shared. Frames between
        // them that nobody read are 0.0 already.
        int lastWritten = -1;
        for (const Worker &worker : team)
            lastWritten = std::max(lastWritten, worker.lastWritten);
        const qint64 frameSamples = qint64(m_width) * m_height;
        for (int f = firstFailed + 1; f <= lastWritten; ++f)
            std::memset(pVolume + qint64(f) * frameSamples, 0,
                        size_t(frameSamples) * sizeof(float));
    }
    return firstFailed;
}
