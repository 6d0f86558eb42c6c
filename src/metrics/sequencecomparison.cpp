#include "sequencecomparison.h"

#include "blockerrors.h"
#include "framesource.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <QThread>

namespace {

// What a worker made of one frame: the rows for its references, or the reason it failed.
template<typename Row>
struct FrameOutcome
{
    std::vector<Row> rows;
    bool ok = true;
    std::string error;
};

// A frame's blocks against one reference and the text they were turned into.
struct BlockRow : FrameBlockErrors
{
    QByteArray text;
};

// Room for a plane of samples that grows but never shrinks nor clears, so that nothing is
// allocated or zeroed per frame (a vector's resize would clear the luma after the chroma).
class SampleBuffer
{
public:
    float *reserve(qint64 count)
    {
        if (count > m_capacity) {
            m_pSamples.reset(new float[size_t(count)]);
            m_capacity = count;
        }
        return m_pSamples.get();
    }

private:
    std::unique_ptr<float[]> m_pSamples;
    qint64 m_capacity = 0;
};

// A worker's planes, kept between frames.
struct PlaneBuffers
{
    SampleBuffer main;
    SampleBuffer reference;
};

// Plane `plane` of a source's frame into buffer, as `part`: the whole plane, or with a region
// of the main movie's picture the samples that cover it (read alone). False with the error on
// failure.
bool readPart(const FrameSource &source, const FrameSource &main, int frame, int plane,
              const QRect &region, SampleBuffer &buffer, PlaneRef &part, std::string &error)
{
    const int width = source.getPlaneWidth(plane);
    const int height = source.getPlaneHeight(plane);
    if (region.isEmpty()) {
        float *pSamples = buffer.reserve(qint64(width) * height);
        part = PlaneRef::bottomUp(pSamples, width, height);
        return source.readPlane(frame, plane, pSamples, error);
    }
    // The rows of the region alone, top row first; a reference smaller than the main movie
    // keeps the part of the region its frame holds. (Reading whole planes, a quarter of a
    // 1080p picture took 0.50x the whole frame's time; reading its rows alone, 0.28x.)
    const QRect rect = PlaneRef::planeRegion(region, main.getPlaneWidth(0), main.getPlaneHeight(0),
                                             main.getPlaneWidth(plane), main.getPlaneHeight(plane))
            & QRect(0, 0, width, height);
    if (rect.isEmpty()) {
        part = PlaneRef();
        return true;
    }
    float *pSamples = buffer.reserve(qint64(width) * rect.height());
    part = PlaneRef {pSamples + rect.x(), qint64(width), rect.width(), rect.height()};
    return source.readRows(frame, plane, rect.y(), rect.height(), pSamples, error);
}

} // namespace

SequenceComparison::SequenceComparison(const FrameSource *pMain, const FrameSource *pReference1,
                                       const FrameSource *pReference2)
    : m_pMain(pMain), m_references {pReference1, pReference2}
{ }

void SequenceComparison::setReferenceOffset(int reference, int offset)
{
    if (reference == 1 || reference == 2)
        m_offsets[reference - 1] = offset;
}

int SequenceComparison::getReferenceOffset(int reference) const
{
    return reference == 1 || reference == 2 ? m_offsets[reference - 1] : 0;
}

int SequenceComparison::getFirstComparedFrame(int reference) const
{
    if (!m_pMain || reference < 1 || reference > 2 || !m_references[size_t(reference - 1)])
        return 0;
    // Main frame f meets reference frame f - offset; 64-bit, so that no offset wraps.
    const qint64 first = std::max<qint64>(0, m_offsets[reference - 1]);
    return int(std::min<qint64>(first, getEndComparedFrame(reference)));
}

int SequenceComparison::getEndComparedFrame(int reference) const
{
    if (!m_pMain || reference < 1 || reference > 2 || !m_references[size_t(reference - 1)])
        return 0;
    const qint64 end = std::min<qint64>(m_pMain->getNumFrames(),
                                        qint64(m_references[size_t(reference - 1)]->getNumFrames())
                                                + m_offsets[reference - 1]);
    return int(std::max<qint64>(end, 0));
}

int SequenceComparison::getComparedFrameCount(int reference) const
{
    return getEndComparedFrame(reference) - getFirstComparedFrame(reference);
}

int SequenceComparison::getFirstFrame() const
{
    int first = getEndFrame();
    for (int r = 1; r <= 2; ++r) {
        if (getComparedFrameCount(r) > 0)
            first = std::min(first, getFirstComparedFrame(r));
    }
    return first;
}

int SequenceComparison::getEndFrame() const
{
    int end = 0;
    for (int r = 1; r <= 2; ++r) {
        if (getComparedFrameCount(r) > 0)
            end = std::max(end, getEndComparedFrame(r));
    }
    return end;
}

int SequenceComparison::getComparedPlaneCount(int reference) const
{
    if (!m_pMain || reference < 1 || reference > 2 || !m_references[size_t(reference - 1)])
        return 0;
    return comparedPlaneCount(*m_pMain, *m_references[size_t(reference - 1)]);
}

int SequenceComparison::comparedPlaneCount(const FrameSource &main, const FrameSource &reference)
{
    return main.getPlaneCount() >= 3 && reference.getPlaneCount() >= 3
                    && !chromaDiffers(main, reference)
            ? 3
            : 1;
}

bool SequenceComparison::chromaDiffers(const FrameSource &main, const FrameSource &reference)
{
    // U and V of 4:4:4 against those of 4:2:0 would pair a corner of one picture's chroma with
    // the whole of the other's. Alike, they are compared over their common area as Y is.
    return main.getPlaneCount() >= 3 && reference.getPlaneCount() >= 3
            && main.getChroma() != reference.getChroma();
}

bool SequenceComparison::run(const std::function<bool(const FrameMetrics &)> &deliver)
{
    const int depth = m_pMain ? m_pMain->getDepth() : 8;
    return runRows<FrameMetrics>(
            0, m_region,
            [depth, largest = m_measuresLargest](FrameMetrics &row, int plane, const PlaneRef &main,
                                                 const PlaneRef &reference) {
                row.planes[size_t(plane)] = PlaneMetrics::compare(main, reference, depth, largest);
            },
            {}, deliver);
}

bool SequenceComparison::runBlocks(int blockSize,
                                   const std::function<QByteArray(FrameBlockErrors &)> &format,
                                   const std::function<bool(const QByteArray &)> &deliver)
{
    if (!m_pMain)
        return true;
    // What a frame's rows take: every block measured and as text (a JSON line has about 160
    // characters), for both references.
    qint64 blocks = 0;
    for (int plane = 0; plane < m_pMain->getPlaneCount(); ++plane)
        blocks += qint64(m_pMain->getPlaneWidth(plane) / blockSize + 1)
                * (m_pMain->getPlaneHeight(plane) / blockSize + 1);
    const int depth = m_pMain->getDepth();
    return runRows<BlockRow>(
            2 * blocks * qint64(sizeof(BlockError) + 160), QRect(),
            [depth, blockSize](BlockRow &row, int plane, const PlaneRef &main,
                               const PlaneRef &reference) {
                row.planes[size_t(plane)] = BlockErrors::compute(main, reference, depth, blockSize);
            },
            [&format](BlockRow &row) {
                row.text = format(row);
                row.planes = {};
            },
            [&deliver](const BlockRow &row) { return deliver(row.text); });
}

template<typename Row>
bool SequenceComparison::runRows(
        qint64 rowBytes, const QRect &region,
        const std::function<void(Row &, int, const PlaneRef &, const PlaneRef &)> &measure,
        const std::function<void(Row &)> &finish, const std::function<bool(const Row &)> &deliver)
{
    m_errorString.clear();
    // Frames are counted from firstFrame: frame index i is main frame firstFrame + i.
    const int firstFrame = getFirstFrame();
    const int total = getEndFrame() - firstFrame;
    if (total <= 0)
        return true;
    int threads
            = std::clamp(m_threadCount > 0 ? m_threadCount : QThread::idealThreadCount(), 1, 64);
    // A worker holds the largest plane of the main movie and that of the largest reference:
    // more cores must not mean more memory than the budget.
    qint64 referenceSamples = 0;
    for (const FrameSource *pReference : m_references) {
        if (pReference)
            referenceSamples = std::max(referenceSamples,
                                        qint64(pReference->getPlaneWidth(0))
                                                * pReference->getPlaneHeight(0));
    }
    // It also holds the rows of up to two frames in flight.
    const qint64 workerBytes = qint64(sizeof(float))
                    * (qint64(m_pMain->getPlaneWidth(0)) * m_pMain->getPlaneHeight(0)
                       + referenceSamples)
            + 2 * rowBytes;
    if (m_memoryBudget >= 0 && workerBytes > 0)
        threads = int(std::clamp<qint64>(m_memoryBudget / workerBytes, 1, threads));
    // Frames a worker may run ahead of the one delivered: enough to keep every worker busy
    // while the caller writes, few enough that memory does not grow with the movie.
    const int inFlight = 2 * threads;

    std::mutex mutex;
    std::condition_variable changed;
    int nextFrame = 0;
    int delivered = 0;
    bool stop = false;
    std::map<int, FrameOutcome<Row>> done;

    auto compareFrame = [&](int frame, PlaneBuffers &buffers) {
        FrameOutcome<Row> outcome;
        for (int r = 1; r <= 2; ++r) {
            if (frame >= getFirstComparedFrame(r) && frame < getEndComparedFrame(r)) {
                Row row;
                row.frame = frame;
                row.reference = r;
                row.planeCount = getComparedPlaneCount(r);
                outcome.rows.push_back(row);
            }
        }
        // Between the frames of two references far apart a frame may have no partner at all.
        if (outcome.rows.empty())
            return outcome;
        const int planes = outcome.rows.size() > 1
                ? std::max(outcome.rows[0].planeCount, outcome.rows[1].planeCount)
                : outcome.rows[0].planeCount;
        for (int plane = 0; plane < planes && outcome.ok; ++plane) {
            PlaneRef mainPlane;
            if (!readPart(*m_pMain, *m_pMain, frame, plane, region, buffers.main, mainPlane,
                          outcome.error)) {
                outcome.ok = false;
                break;
            }
            for (Row &row : outcome.rows) {
                if (plane >= row.planeCount)
                    continue;
                PlaneRef referencePlane;
                if (!readPart(*m_references[size_t(row.reference - 1)], *m_pMain,
                              frame - m_offsets[row.reference - 1], plane, region,
                              buffers.reference, referencePlane, outcome.error)) {
                    outcome.ok = false;
                    break;
                }
                measure(row, plane, mainPlane, referencePlane);
            }
        }
        for (Row &row : outcome.rows) {
            if (finish && outcome.ok)
                finish(row);
        }
        return outcome;
    };

    auto work = [&]() {
        PlaneBuffers buffers;
        for (;;) {
            int frame = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] {
                    return stop || nextFrame >= total || nextFrame < delivered + inFlight;
                });
                if (stop || nextFrame >= total)
                    return;
                frame = nextFrame++;
            }
            FrameOutcome<Row> outcome;
            try {
                outcome = compareFrame(firstFrame + frame, buffers);
            } catch (const std::bad_alloc &) {
                outcome.ok = false;
                outcome.error = "Not enough memory to compare frames of "
                        + std::to_string(m_pMain->getPlaneWidth(0)) + "x"
                        + std::to_string(m_pMain->getPlaneHeight(0)) + " samples";
            }
            std::lock_guard<std::mutex> lock(mutex);
            done.emplace(frame, std::move(outcome));
            changed.notify_all();
        }
    };

    std::vector<std::thread> workers;
    try {
        workers.reserve(size_t(std::min(threads, total)));
        for (int i = 0; i < std::min(threads, total); ++i)
            workers.emplace_back(work);
    } catch (const std::system_error &) {
        // No more threads to be had: the workers that started do the work.
    } catch (const std::bad_alloc &) {
        // As above.
    }
    bool ok = !workers.empty();
    if (!ok)
        m_errorString = "Not enough memory to start a thread for the comparison";
    while (ok && delivered < total) {
        FrameOutcome<Row> outcome;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return done.count(delivered) > 0; });
            auto found = done.find(delivered);
            outcome = std::move(found->second);
            done.erase(found);
            ++delivered;
        }
        changed.notify_all();
        if (!outcome.ok) {
            m_errorString = outcome.error;
            ok = false;
            break;
        }
        bool carryOn = true;
        for (const Row &row : outcome.rows)
            carryOn = carryOn && deliver(row);
        if (!carryOn) {
            ok = false;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread &worker : workers)
        worker.join();
    return ok;
}
