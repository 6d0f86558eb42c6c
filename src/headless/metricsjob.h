#pragma once

#include "framemetrics.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>

class FrameSource;

// Compares a main movie with its references on a thread of its own and reports each frame,
// in order, on the thread the job lives in (through its event loop). A new start or stop
// cancels the run before; nothing of a cancelled run is reported after it.
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
    bool isRunning() const { return m_thread.joinable() && !m_finished; }
    int getDepth() const { return m_depth; }

signals:
    void frameCompared(const FrameMetrics &metrics);
    void progress(int framesDone, int frames);
    void finished(bool ok, const QString &error);

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel {false};
    int m_generation = 0;
    bool m_finished = true;
    int m_depth = 8;
    std::unique_ptr<FrameSource> m_pSources[3];
};
