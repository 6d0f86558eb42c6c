#include "metricsdock.h"

#include "image3d.h"
#include "framesource.h"
#include "metricsformatter.h"
#include "metricsjob.h"
#include "metricsplot.h"
#include "moviesources.h"
#include "metricstablemodel.h"
#include "planeref.h"
#include "reportoptions.h"
#include "sequencecomparison.h"
#include "session.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const planeNames[3] = {"Y", "U", "V"};

} // namespace

MetricsDock::MetricsDock(QWidget *pParent)
    : QDockWidget(QStringLiteral("Metrics"), pParent), m_pJob(new MetricsJob(this))
{
    setObjectName(QStringLiteral("metricsDock"));
    auto *pContent = new QWidget(this);
    auto *pLayout = new QVBoxLayout(pContent);
    m_pPlot = new MetricsPlot(pContent);
    m_pProgress = new QProgressBar(pContent);
    m_pProgress->setVisible(false);
    m_pSummary = new QLabel(pContent);
    m_pSummary->setObjectName(QStringLiteral("metricsSummary"));
    m_pSummary->setWordWrap(true);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *pPlaneRow = new QWidget(pContent);
    auto *pPlaneLayout = new QHBoxLayout(pPlaneRow);
    pPlaneLayout->setContentsMargins(0, 0, 0, 0);
    auto *pPlaneLabel = new QLabel(QStringLiteral("Plane:"), pPlaneRow);
    m_pPlaneBox = new QComboBox(pPlaneRow);
    m_pPlaneBox->setObjectName(QStringLiteral("metricsPlane"));
    m_pPlaneBox->addItems({planeNames[0], planeNames[1], planeNames[2]});
    m_pPlaneBox->setToolTip(QStringLiteral("The plane the table and the summary show"));
    pPlaneLabel->setBuddy(m_pPlaneBox);
    pPlaneLayout->addWidget(pPlaneLabel);
    pPlaneLayout->addWidget(m_pPlaneBox);
    // One plane compared: nothing to choose.
    pPlaneRow->setVisible(false);
    auto *pChoiceRow = new QWidget(pContent);
    auto *pChoiceLayout = new QHBoxLayout(pChoiceRow);
    pChoiceLayout->setContentsMargins(0, 0, 0, 0);
    m_pAreaBox = new QComboBox(pChoiceRow);
    m_pAreaBox->setObjectName(QStringLiteral("metricsArea"));
    m_pAreaBox->addItems({QStringLiteral("Whole frame"), QStringLiteral("Region")});
    m_pAreaBox->setToolTip(QStringLiteral("Measure the whole frame or the region selected with "
                                          "Shift+drag"));
    pChoiceLayout->addWidget(m_pAreaBox);
    pChoiceLayout->addWidget(pPlaneRow);
    pChoiceLayout->addStretch(1);
    setRegion(QRect());
    m_pTableModel = new MetricsTableModel(this);
    m_pTable = new QTableView(pContent);
    m_pTable->setModel(m_pTableModel);
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Frames in order until the user sorts by another column.
    m_pTable->horizontalHeader()->setSortIndicator(MetricsTableModel::FrameColumn,
                                                   Qt::AscendingOrder);
    m_pTable->setSortingEnabled(true);
    // Room for the plot and a dozen rows of the table beside the views.
    pContent->setMinimumWidth(480);
    m_pTable->setMinimumHeight(240);
    pLayout->addWidget(m_pPlot, 2);
    pLayout->addWidget(m_pProgress);
    pLayout->addWidget(pChoiceRow);
    pLayout->addWidget(m_pSummary);
    pLayout->addWidget(m_pTable, 3);
    setWidget(pContent);

    connect(m_pJob, &MetricsJob::frameCompared, this, &MetricsDock::onFrameCompared);
    // Results reach the plot and the table ten times a second, not one repaint per frame: on two
    // cores the repaints took a sixth of the comparison's time (1080p x 200, Y, U and V: the
    // panel filled in 0.90-1.22 s before, 0.68-0.78 s after; --metrics takes 0.63-0.87 s).
    m_pShowTimer = new QTimer(this);
    m_pShowTimer->setSingleShot(true);
    m_pShowTimer->setInterval(100);
    connect(m_pShowTimer, &QTimer::timeout, this, &MetricsDock::showPending);
    connect(m_pJob, &MetricsJob::progress, this, &MetricsDock::onProgress);
    connect(m_pJob, &MetricsJob::finished, this, &MetricsDock::onFinished);
    connect(m_pPlot, &MetricsPlot::frameClicked, this, &MetricsDock::frameChosen);
    connect(m_pAreaBox, &QComboBox::currentIndexChanged, this, [this]() {
        m_stale = true;
        if (isVisible())
            restart();
    });
    connect(m_pPlaneBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || index == m_tablePlane)
            return;
        m_tablePlane = index;
        m_pTableModel->setPlane(index);
        if (!m_pJob->isRunning())
            showSummary();
    });
    // Selecting a row shows its frame; rows moved by sorting keep their selection silently.
    connect(m_pTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                if (selected.isEmpty())
                    return;
                const int frame = m_pTableModel->getFrame(selected.indexes().first().row());
                if (frame >= 0)
                    emit frameChosen(frame);
            });
}

MetricsDock::~MetricsDock() { m_pJob->stop(); }

void MetricsDock::setMovies(const MovieSet &movies)
{
    stopComputing();
    m_movies = movies;
    m_stale = true;
    if (isVisible())
        restart();
}

void MetricsDock::stopComputing()
{
    if (m_pJob->isRunning())
        m_stale = true;
    m_pJob->stop();
    m_pProgress->setVisible(false);
}

void MetricsDock::setMemoryBudget(qint64 bytes) { m_pJob->setMemoryBudget(bytes); }

void MetricsDock::followSession(Session &session)
{
    Session *pSession = &session;
    setMemoryBudget(session.getFrameCacheBudget());
    setMovies(session.getMovieSet());
    // The worker reads the movies with their pairing: it stops before either changes.
    connect(pSession, &Session::movieAboutToChange, this, &MetricsDock::stopComputing);
    auto showMovies = [this, pSession]() { setMovies(pSession->getMovieSet()); };
    connect(pSession, &Session::movieChanged, this, showMovies);
    connect(pSession, &Session::offsetChanged, this, showMovies);
    connect(pSession, &Session::frameChanged, this, &MetricsDock::setCurrentFrame);
    connect(pSession, &Session::frameCacheBudgetChanged, this, &MetricsDock::setMemoryBudget);
    connect(pSession, &Session::regionChanged, this, &MetricsDock::setRegion);
    setRegion(session.getRegion());
    connect(this, &MetricsDock::frameChosen, pSession, &Session::setFrame);
}

void MetricsDock::setRegion(const QRect &region)
{
    const bool measured = isOfRegion();
    m_region = region;
    // Region can be chosen while there is one; it goes back to the whole frame when cleared.
    if (auto *pModel = qobject_cast<QStandardItemModel *>(m_pAreaBox->model()))
        pModel->item(1)->setEnabled(!region.isEmpty());
    if (region.isEmpty())
        m_pAreaBox->setCurrentIndex(0);
    if (measured && isOfRegion()) {
        m_stale = true;
        if (isVisible())
            restart();
    }
}

bool MetricsDock::isOfRegion() const
{
    return m_pAreaBox->currentIndex() == 1 && !m_region.isEmpty();
}

void MetricsDock::showEvent(QShowEvent *pEvent)
{
    QDockWidget::showEvent(pEvent);
    if (m_stale && !m_pJob->isRunning())
        restart();
}

void MetricsDock::restart()
{
    m_pJob->stop();
    m_stale = false;
    m_pShowTimer->stop();
    m_pending.clear();
    m_pTableModel->clear();
    m_pPlot->clear();
    m_pSummary->clear();
    m_chromaNote.clear();
    const Image3D *pMain = m_movies.getMain();
    m_summary = MetricsSummary(pMain ? pMain->getDepth() : 8);
    if (!pMain || (!m_movies.getReference(1) && !m_movies.getReference(2))) {
        m_pPlaneBox->parentWidget()->setVisible(false);
        m_pSummary->setText(QStringLiteral("Load a main movie and a reference movie to compare "
                                           "them."));
        return;
    }
    for (int r = 1; r <= 2; ++r) {
        const Image3D *pReference = m_movies.getReference(r);
        if (pReference && pReference->getDepth() != pMain->getDepth()) {
            m_pPlaneBox->parentWidget()->setVisible(false);
            m_pSummary->setText(QStringLiteral("Reference %1 has %2-bit samples, the main movie "
                                               "%3-bit: they can't be compared.")
                                        .arg(r)
                                        .arg(pReference->getDepth())
                                        .arg(pMain->getDepth()));
            return;
        }
    }
    std::unique_ptr<FrameSource> sources[3];
    MovieSources::make(m_movies, sources);
    // Three planes are compared where main and reference both read their files' Y, U and V
    // and sample their chroma alike.
    int planes = 1;
    QStringList chromaNotes;
    for (int r = 1; r <= 2; ++r) {
        if (!sources[r])
            continue;
        planes = std::max(planes, SequenceComparison::comparedPlaneCount(*sources[0], *sources[r]));
        if (SequenceComparison::chromaDiffers(*sources[0], *sources[r]))
            chromaNotes << QStringLiteral("U and V of reference %1 are not compared: its chroma "
                                          "is %2, the main movie's %3.")
                                   .arg(r)
                                   .arg(MetricsFormatter::chromaText(*sources[r]),
                                        MetricsFormatter::chromaText(*sources[0]));
    }
    m_chromaNote = chromaNotes.join(QLatin1Char('\n'));
    m_pSummary->setText(m_chromaNote);
    // The plot follows the views: the main movie's plane of its file when its planes are
    // compared, else the one plane there is.
    m_plotPlane = planes == 3 ? pMain->getFilePlane() : 0;
    {
        const QSignalBlocker blocker(m_pPlaneBox);
        m_tablePlane = m_plotPlane;
        m_pPlaneBox->setCurrentIndex(m_tablePlane);
    }
    m_pTableModel->setPlane(m_tablePlane);
    m_pPlaneBox->parentWidget()->setVisible(planes == 3);
    // The region is in the samples of the picture shown; the comparison counts in Y samples.
    m_pJob->setRegion(isOfRegion() ? PlaneRef::planeRegion(
                              m_region, pMain->getWidth(), pMain->getHeight(),
                              sources[0]->getPlaneWidth(0), sources[0]->getPlaneHeight(0))
                                   : QRect());
    m_pProgress->setValue(0);
    m_pProgress->setVisible(true);
    m_pJob->start(std::move(sources[0]), std::move(sources[1]), std::move(sources[2]),
                  m_movies.getOffset(1), m_movies.getOffset(2));
}

void MetricsDock::onFrameCompared(const FrameMetrics &metrics)
{
    m_pending.push_back(metrics);
    m_summary.add(metrics);
    if (!m_pShowTimer->isActive())
        m_pShowTimer->start();
}

void MetricsDock::showPending()
{
    m_pShowTimer->stop();
    // A reference compared on Y only has no line in a plot of U or V.
    for (const FrameMetrics &metrics : m_pending) {
        if (m_plotPlane < metrics.planeCount) {
            const PlaneMetrics &values = metrics.planes[size_t(m_plotPlane)];
            m_pPlot->setValue(metrics.reference, metrics.frame, values.psnr);
            m_pPlot->setSsimValue(metrics.reference, metrics.frame, values.ssim);
        }
    }
    m_pTableModel->add(m_pending);
    m_pending.clear();
}

void MetricsDock::onProgress(int done, int frames)
{
    m_pProgress->setRange(0, frames);
    m_pProgress->setValue(done);
}

void MetricsDock::onFinished(bool ok, const QString &error)
{
    showPending();
    m_pProgress->setVisible(false);
    // The worst frames as a report picks them: the lowest PSNR against reference 1 (else 2).
    const int worstReference = m_summary.getFrameCount(1, m_plotPlane) > 0 ? 1 : 2;
    m_pPlot->setWorstFrames(MetricsChart::lowest(m_pPlot->getPsnr(worstReference),
                                                 ReportOptions::defaultWorstCount));
    showSummary();
    if (!ok && !error.isEmpty())
        m_pSummary->setText(m_pSummary->text() + (m_pSummary->text().isEmpty() ? "" : "\n")
                            + QStringLiteral("Stopped: ") + error);
}

void MetricsDock::showSummary()
{
    QStringList lines;
    const int p = m_tablePlane;
    // With one plane the plane goes without saying.
    const QString plane = m_pPlaneBox->parentWidget()->isHidden()
            ? QString()
            : QStringLiteral(" (%1)").arg(QLatin1String(planeNames[p]));
    for (int r = 1; r <= 2; ++r) {
        if (m_summary.getFrameCount(r, p) == 0)
            continue;
        lines << QStringLiteral("Reference %1%2: worst frame %3 (PSNR %4 dB); mean PSNR %5 dB, "
                                "PSNR of mean MSE %6 dB, mean SSIM %7 over %8 frames")
                         .arg(r)
                         .arg(plane)
                         .arg(m_summary.getWorstFrame(r, p) + 1)
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getWorstPsnr(r, p))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getMeanPsnr(r, p))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getPsnrOfMeanMse(r, p))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getMeanSsim(r, p))))
                         .arg(m_summary.getFrameCount(r, p));
    }
    if (isOfRegion() && !lines.isEmpty())
        lines.prepend(QStringLiteral("Region %1,%2, %3×%4:")
                              .arg(m_region.x())
                              .arg(m_region.y())
                              .arg(m_region.width())
                              .arg(m_region.height()));
    if (!m_chromaNote.isEmpty())
        lines << m_chromaNote;
    m_pSummary->setText(lines.join(QLatin1Char('\n')));
}

void MetricsDock::setCurrentFrame(int frame) { m_pPlot->setCurrentFrame(frame); }
