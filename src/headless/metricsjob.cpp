#include "metricsjob.h"

#include "framesource.h"
#include "sequencecomparison.h"

#include <QMetaObject>

#include <algorithm>

MetricsJob::MetricsJob(QObject *pParent) : QObject(pParent)
{
    qRegisterMetaType<FrameMetrics>("FrameMetrics");
}

MetricsJob::~MetricsJob() { stop(); }

void MetricsJob::stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    // Reports already queued carry an older generation and are dropped.
    ++m_generation;
    m_finished = true;
    for (auto &pSource : m_pSources)
        pSource.reset();
}

void MetricsJob::start(std::unique_ptr<FrameSource> pMain, std::unique_ptr<FrameSource> pReference1,
                       std::unique_ptr<FrameSource> pReference2)
{
    stop();
    m_pSources[0] = std::move(pMain);
    m_pSources[1] = std::move(pReference1);
    m_pSources[2] = std::move(pReference2);
    m_cancel = false;
    m_finished = false;
    m_depth = m_pSources[0] ? m_pSources[0]->getDepth() : 8;
    const int generation = m_generation;
    m_thread = std::thread([this, generation]() {
        SequenceComparison comparison(m_pSources[0].get(), m_pSources[1].get(),
                                      m_pSources[2].get());
        const int frames = std::max(comparison.getComparedFrameCount(1),
                                    comparison.getComparedFrameCount(2));
        const bool ok = comparison.run([&](const FrameMetrics &metrics) {
            if (m_cancel)
                return false;
            QMetaObject::invokeMethod(
                    this,
                    [this, generation, metrics, frames]() {
                        if (generation != m_generation)
                            return;
                        emit frameCompared(metrics);
                        emit progress(metrics.frame + 1, frames);
                    },
                    Qt::QueuedConnection);
            return true;
        });
        const QString error = QString::fromStdString(comparison.getErrorString());
        QMetaObject::invokeMethod(
                this,
                [this, generation, ok, error]() {
                    if (generation != m_generation)
                        return;
                    m_finished = true;
                    emit finished(ok, error);
                },
                Qt::QueuedConnection);
    });
}
