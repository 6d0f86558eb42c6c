#pragma once

#include "framemetrics.h"

#include <QObject>
#include <QRect>

#include <atomic>
#include <memory>
#include <thread>

class FrameSource;

// Compares a main movie with its references on a thread of its own and reports each frame,
// in order, on the thread the job lives in (through its event loop). A new start or stop
// cancels the run before; nothing of a cancelled run is reported after it. A thread or memory
// that can't be had ends the run with finished(false, "Not enough memory ...").
class MetricsJob : public QObject
{
    Q_OBJECT

public:
    explicit MetricsJob(QObject *pParent = nullptr);
    ~MetricsJob() override;

    // The sources are held until stop() returns or the job ends (finished()). Main frame f is
    // compared with frame f - offset of each reference.
    void start(std::unique_ptr<FrameSource> pMain, std::unique_ptr<FrameSource> pReference1,
               std::unique_ptr<FrameSource> pReference2, int reference1Offset = 0,
               int reference2Offset = 0);
    // Cancels a run and waits for its thread (a frame's work at most).
    void stop();
    // Bytes the comparison's frames may take together, from the next start on (see
    // SequenceComparison::setMemoryBudget); FrameCache::defaultBudget() until set.
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }
    // The part of the picture compared from the next start on (SequenceComparison::setRegion);
    // empty: the whole frame.
    void setRegion(const QRect &region) { m_region = region; }
    bool isRunning() const { return m_thread.joinable() && !m_finished; }

signals:
    void frameCompared(const FrameMetrics &metrics);
    void progress(int framesDone, int frames);
    void finished(bool ok, const QString &error);

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel {false};
    int m_generation = 0;
    bool m_finished = true;
    qint64 m_memoryBudget = -1; // < 0: FrameCache::defaultBudget()
    QRect m_region;
    std::unique_ptr<FrameSource> m_pSources[3];
};
