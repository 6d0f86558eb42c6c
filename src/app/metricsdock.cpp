#include "metricsdock.h"

#include "image3d.h"
#include "metricsformatter.h"
#include "metricsjob.h"
#include "metricsplot.h"
#include "volumesource.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

enum Column { FrameColumn, Psnr1, Mse1, Ssim1, Psnr2, Mse2, Ssim2, ColumnCount };

QTableWidgetItem *numberItem(double value)
{
    auto *pItem = new QTableWidgetItem;
    // A number, so that sorting is numeric; inf sorts above every PSNR.
    pItem->setData(Qt::DisplayRole, value);
    pItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return pItem;
}

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
    m_pSummary->setWordWrap(true);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pTable = new QTableWidget(0, ColumnCount, pContent);
    m_pTable->setHorizontalHeaderLabels(
            {"Frame", "PSNR 1", "MSE 1", "SSIM 1", "PSNR 2", "MSE 2", "SSIM 2"});
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    // Frames in order until the user sorts by another column.
    m_pTable->horizontalHeader()->setSortIndicator(FrameColumn, Qt::AscendingOrder);
    m_pTable->setSortingEnabled(true);
    // Room for the plot and a dozen rows of the table beside the views.
    pContent->setMinimumWidth(480);
    m_pTable->setMinimumHeight(240);
    pLayout->addWidget(m_pPlot, 2);
    pLayout->addWidget(m_pProgress);
    pLayout->addWidget(m_pSummary);
    pLayout->addWidget(m_pTable, 3);
    setWidget(pContent);

    connect(m_pJob, &MetricsJob::frameCompared, this, &MetricsDock::onFrameCompared);
    connect(m_pJob, &MetricsJob::progress, this, &MetricsDock::onProgress);
    connect(m_pJob, &MetricsJob::finished, this, &MetricsDock::onFinished);
    connect(m_pPlot, &MetricsPlot::frameClicked, this, &MetricsDock::frameChosen);
    connect(m_pTable, &QTableWidget::itemSelectionChanged, this, [this]() {
        const QList<QTableWidgetItem *> items = m_pTable->selectedItems();
        for (QTableWidgetItem *pItem : items) {
            if (pItem->column() == FrameColumn) {
                emit frameChosen(pItem->data(Qt::DisplayRole).toInt());
                break;
            }
        }
    });
}

MetricsDock::~MetricsDock() { m_pJob->stop(); }

void MetricsDock::setMovies(const Image3D *pMain, const Image3D *pReference1,
                            const Image3D *pReference2)
{
    stopComputing();
    m_pMovies[0] = pMain;
    m_pMovies[1] = pReference1;
    m_pMovies[2] = pReference2;
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

void MetricsDock::resumeComputing()
{
    if (m_stale && isVisible())
        restart();
}

bool MetricsDock::isComputing() const { return m_pJob->isRunning(); }

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
    {
        const QSignalBlocker blocker(m_pTable);
        m_pTable->setSortingEnabled(false);
        m_pTable->setRowCount(0);
    }
    m_pPlot->clear();
    m_pSummary->clear();
    m_summary = MetricsSummary(m_pMovies[0] ? m_pMovies[0]->getDepth() : 8);
    if (!m_pMovies[0] || (!m_pMovies[1] && !m_pMovies[2])) {
        m_pSummary->setText(QStringLiteral("Load a main movie and a reference movie to compare "
                                           "them."));
        return;
    }
    for (int r = 1; r <= 2; ++r) {
        if (m_pMovies[r] && m_pMovies[r]->getDepth() != m_pMovies[0]->getDepth()) {
            m_pSummary->setText(QStringLiteral("Reference %1 has %2-bit samples, the main movie "
                                               "%3-bit: they can't be compared.")
                                        .arg(r)
                                        .arg(m_pMovies[r]->getDepth())
                                        .arg(m_pMovies[0]->getDepth()));
            return;
        }
    }
    auto source = [this](int index) -> std::unique_ptr<FrameSource> {
        return m_pMovies[index] ? std::make_unique<VolumeSource>(m_pMovies[index]) : nullptr;
    };
    m_pProgress->setValue(0);
    m_pProgress->setVisible(true);
    m_pJob->start(source(0), source(1), source(2));
}

void MetricsDock::onFrameCompared(const FrameMetrics &metrics)
{
    const PlaneMetrics &plane = metrics.planes[0];
    m_summary.add(metrics);
    m_pPlot->setValue(metrics.reference, metrics.frame, plane.psnr);
    // Rows arrive in frame order while sorting is off: row f is frame f.
    if (m_pTable->rowCount() <= metrics.frame) {
        m_pTable->setRowCount(metrics.frame + 1);
        m_pTable->setItem(metrics.frame, FrameColumn, numberItem(metrics.frame));
    }
    const int first = metrics.reference == 1 ? Psnr1 : Psnr2;
    m_pTable->setItem(metrics.frame, first, numberItem(plane.psnr));
    m_pTable->setItem(metrics.frame, first + 1, numberItem(plane.mse));
    m_pTable->setItem(metrics.frame, first + 2, numberItem(plane.ssim));
}

void MetricsDock::onProgress(int done, int frames)
{
    m_pProgress->setRange(0, frames);
    m_pProgress->setValue(done);
}

void MetricsDock::onFinished(bool ok, const QString &error)
{
    m_pProgress->setVisible(false);
    m_pTable->setSortingEnabled(true);
    showSummary();
    if (!ok && !error.isEmpty())
        m_pSummary->setText(m_pSummary->text() + QStringLiteral("\nStopped: ") + error);
}

void MetricsDock::showSummary()
{
    QStringList lines;
    for (int r = 1; r <= 2; ++r) {
        if (m_summary.getFrameCount(r, 0) == 0)
            continue;
        lines << QStringLiteral("Reference %1: worst frame %2 (PSNR %3 dB); mean PSNR %4 dB, "
                                "PSNR of mean MSE %5 dB, mean SSIM %6 over %7 frames")
                         .arg(r)
                         .arg(m_summary.getWorstFrame(r, 0))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getWorstPsnr(r, 0))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getMeanPsnr(r, 0))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getPsnrOfMeanMse(r, 0))))
                         .arg(QString::fromLatin1(
                                 MetricsFormatter::number(m_summary.getMeanSsim(r, 0))))
                         .arg(m_summary.getFrameCount(r, 0));
    }
    m_pSummary->setText(lines.join(QLatin1Char('\n')));
}

QString MetricsDock::getSummaryText() const { return m_pSummary->text(); }

void MetricsDock::setCurrentFrame(int frame) { m_pPlot->setCurrentFrame(frame); }
