#pragma once

#include "frameblockerrors.h"
#include "framemetrics.h"

#include <functional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QRect>

class FrameSource;

// Compares a main movie with one or two references frame by frame, several frames at once on
// worker threads, and hands the results over in frame order. Planes both movies have are
// compared: Y, U and V when both have three with chroma sampled alike, else Y. Main frame f is
// compared with frame f - offset of a reference (offset 0: frame for frame); main frames without
// a partner are not compared with that reference. Only a few frames are in flight, so memory
// stays flat however long the movies, and no more workers run than the memory budget holds.
class SequenceComparison
{
public:
    // The sources are borrowed for the life of the object; a null reference is left out.
    SequenceComparison(const FrameSource *pMain, const FrameSource *pReference1,
                       const FrameSource *pReference2);

    void setThreadCount(int threads) { m_threadCount = threads; } // default: the machine's cores
    // Bytes the workers' planes may take together (< 0: no bound). Each worker holds a plane of
    // the main movie and one of a reference; one worker runs whatever the budget.
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }
    // run() fills PlaneMetrics::maxAbsDiff too (default: no, it stays 0).
    void setMeasuresLargestDifference(bool on) { m_measuresLargest = on; }
    // run() compares only the samples of `region` of the picture (x right, y down from the top
    // row; chroma: the samples that cover it), and each SSIM window lies wholly inside it.
    // Empty (the default): the whole frame.
    void setRegion(const QRect &region) { m_region = region; }
    // Where reference 1 or 2 starts on the main movie's frames (default 0).
    void setReferenceOffset(int reference, int offset);
    int getReferenceOffset(int reference) const;
    // Reference 1 or 2 as given (null when absent).
    const FrameSource *getReference(int reference) const
    {
        return reference == 1 || reference == 2 ? m_references[size_t(reference - 1)] : nullptr;
    }

    // Frames compared with reference 1 or 2 (0 when that reference is absent).
    int getComparedFrameCount(int reference) const;
    // The main frames compared with reference 1 or 2: first .. end - 1 (first == end when none).
    int getFirstComparedFrame(int reference) const;
    int getEndComparedFrame(int reference) const;
    // The main frames compared with any reference: first .. end - 1.
    int getFirstFrame() const;
    int getEndFrame() const;
    // Planes compared with reference 1 or 2: 1 or 3 (0 when absent).
    int getComparedPlaneCount(int reference) const;
    // Planes compared between these two movies: 3 when both have Y, U and V and their chroma is
    // sampled alike (4:2:0, 4:2:2 or 4:4:4), else 1.
    static int comparedPlaneCount(const FrameSource &main, const FrameSource &reference);
    // Both have U and V, but sampled differently: only Y is compared.
    static bool chromaDiffers(const FrameSource &main, const FrameSource &reference);

    // Calls `deliver` on the calling thread for every frame in order (reference 1 before 2 for
    // the same frame). False when a plane could not be read (getErrorString says which) or
    // when `deliver` returned false to stop; the frames before were delivered.
    // Memory for the planes or the workers that runs out ends the run the same way, with
    // "Not enough memory ..." as the error.
    bool run(const std::function<bool(const FrameMetrics &)> &deliver);
    // As run(), with the errors of the blockSize x blockSize blocks of every plane compared
    // (BlockErrors) in place of the frame's measures. `format` turns the blocks of a frame and
    // reference into text on the worker that measured them (a frame has thousands of blocks:
    // writing them out is work to share); `deliver` gets the texts in frame order on the
    // calling thread. The rows of the frames in flight count against the memory budget.
    bool runBlocks(int blockSize, const std::function<QByteArray(FrameBlockErrors &)> &format,
                   const std::function<bool(const QByteArray &)> &deliver);

    std::string getErrorString() const { return m_errorString; }

private:
    // The frame loop of run() and runBlocks(): `measure` fills a row's plane from a plane of the
    // main movie and the same plane of the row's reference, then `finish` (when given) the row,
    // on a worker thread. A frame's rows take rowBytes besides the planes.
    template<typename Row>
    bool runRows(qint64 rowBytes, const QRect &region,
                 const std::function<void(Row &, int, const PlaneRef &, const PlaneRef &)> &measure,
                 const std::function<void(Row &)> &finish,
                 const std::function<bool(const Row &)> &deliver);

    const FrameSource *m_pMain = nullptr;
    std::vector<const FrameSource *> m_references; // index 0: reference 1
    int m_offsets[2] = {0, 0};
    int m_threadCount = 0;
    qint64 m_memoryBudget = -1;
    bool m_measuresLargest = false;
    QRect m_region;
    std::string m_errorString;
};
