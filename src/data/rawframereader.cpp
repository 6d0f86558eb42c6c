#include "rawframereader.h"

#include <algorithm>
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
    int index = 0;
    // The first of this worker's frames that could not be read; INT_MAX when none failed.
    int failedFrame = INT_MAX;
    // One past the last frame this worker wrote into the volume.
    int writtenEnd = 0;
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

bool RawFrameReader::readFrame(unsigned char *pBuffer, int frame) const
{
    const off_t start = off_t(frame) * off_t(m_frameBytes);
    qint64 got = 0;
    while (got < m_frameBytes) {
        const ssize_t n = pread(m_fd, pBuffer + got, size_t(m_frameBytes - got), start + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

void RawFrameReader::runWorker(Worker &worker, float *pVolume, int frames, int workers,
                               std::atomic<int> *pFirstFailed) const
{
    // Frames are dealt out in turn (worker k takes k, k + workers, ...), so that together the
    // workers read the file front to back and the kernel's read-ahead still sees one stream.
    static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");
    const qint64 frameSamples = qint64(m_width) * m_height;
    for (int f = worker.index; f < frames; f += workers) {
        // Frames after one that another worker failed to read are not needed.
        if (f > pFirstFailed->load(std::memory_order_relaxed))
            return;
        if (!readFrame(worker.buffer.get(), f)) {
            worker.failedFrame = f;
            int seen = pFirstFailed->load(std::memory_order_relaxed);
            while (f < seen && !pFirstFailed->compare_exchange_weak(seen, f)) { }
            return;
        }
        convertFrame(worker.buffer.get(), pVolume + qint64(f) * frameSamples, m_width, m_height);
        worker.writtenEnd = f + 1;
    }
}

int RawFrameReader::read(float *pVolume, int frames, int workers) const
{
    workers = std::max(1, std::min(workers, frames));
    std::vector<Worker> team;
    for (int k = 0; k < workers; ++k) {
        std::unique_ptr<unsigned char[]> buffer(
                new (std::nothrow) unsigned char[size_t(m_frameBytes)]);
        if (!buffer)
            break;
        team.push_back(Worker {std::move(buffer), k, INT_MAX, 0});
    }
    if (team.empty())
        return -1;
    workers = int(team.size());

    // Worker 0 runs on the calling thread; a thread that can't be started leaves its share to
    // be read here afterwards.
    std::atomic<int> firstFailedShared(INT_MAX);
    std::vector<std::thread> threads;
    for (int k = 1; k < workers; ++k) {
        try {
            threads.emplace_back(&RawFrameReader::runWorker, this, std::ref(team[size_t(k)]),
                                 pVolume, frames, workers, &firstFailedShared);
        } catch (const std::system_error &) {
            break;
        }
    }
    runWorker(team[0], pVolume, frames, workers, &firstFailedShared);
    for (std::thread &thread : threads)
        thread.join();
    for (size_t k = threads.size() + 1; k < team.size(); ++k)
        runWorker(team[k], pVolume, frames, workers, &firstFailedShared);

    int firstFailed = frames;
    for (const Worker &worker : team)
        firstFailed = std::min(firstFailed, worker.failedFrame);
    if (firstFailed < frames) {
        // Frames after the first unreadable one that another worker did read are cleared, so
        // that the result does not depend on how the frames were shared.
        const qint64 frameSamples = qint64(m_width) * m_height;
        for (const Worker &worker : team) {
            for (int f = worker.index; f < worker.writtenEnd; f += workers) {
                if (f > firstFailed)
                    std::memset(pVolume + qint64(f) * frameSamples, 0,
                                size_t(frameSamples) * sizeof(float));
            }
        }
    }
    return firstFailed;
}
