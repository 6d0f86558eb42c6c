#include "metricsjob.h"

#include <system_error>

#include <QMetaObject>

#include "framecache.h"
#include "framesource.h"
#include "sequencecomparison.h"

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
                       std::unique_ptr<FrameSource> pReference2, int reference1Offset,
                       int reference2Offset)
{
    stop();
    m_pSources[0] = std::move(pMain);
    m_pSources[1] = std::move(pReference1);
    m_pSources[2] = std::move(pReference2);
    m_cancel = false;
    m_finished = false;
    const int generation = m_generation;
    const qint64 budget = m_memoryBudget >= 0 ? m_memoryBudget : FrameCache::defaultBudget();
    auto compare
            = [this, generation, reference1Offset, reference2Offset, budget, region = m_region]() {
                  SequenceComparison comparison(m_pSources[0].get(), m_pSources[1].get(),
                                                m_pSources[2].get());
                  comparison.setMemoryBudget(budget);
                  comparison.setRegion(region);
                  comparison.setReferenceOffset(1, reference1Offset);
                  comparison.setReferenceOffset(2, reference2Offset);
                  const int first = comparison.getFirstFrame();
                  const int frames = comparison.getEndFrame() - first;
                  const bool ok = comparison.run([&](const FrameMetrics &metrics) {
                      if (m_cancel)
                          return false;
                      QMetaObject::invokeMethod(
                              this,
                              [this, generation, metrics, first, frames]() {
                                  if (generation != m_generation)
                                      return;
                                  emit frameCompared(metrics);
                                  emit progress(metrics.frame - first + 1, frames);
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
              };
    try {
        m_thread = std::thread(compare);
    } catch (const std::system_error &) {
        // Said as a run that ended at once, so that every start ends with finished().
        QMetaObject::invokeMethod(
                this,
                [this, generation]() {
                    if (generation != m_generation)
                        return;
                    m_finished = true;
                    emit finished(false,
                                  QStringLiteral("Not enough memory to start the comparison"));
                },
                Qt::QueuedConnection);
    }
}
