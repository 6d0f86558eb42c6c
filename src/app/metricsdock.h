#pragma once

#include "metricssummary.h"

#include <QDockWidget>

class Image3D;
class MetricsJob;
class MetricsPlot;
class QLabel;
class QProgressBar;
class QTableWidget;
struct FrameMetrics;

// The "Metrics" dock: per-frame PSNR, MSE and SSIM of the main movie against each reference,
// for the plane the window holds, as a plot and a sortable table, with the worst frame and a
// summary. Computed on a worker thread while the dock is shown; clicking a frame asks for it.
class MetricsDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit MetricsDock(QWidget *pParent = nullptr);
    ~MetricsDock() override;

    // Borrows the movies until the next setMovies or stopComputing; recomputes when shown.
    void setMovies(const Image3D *pMain, const Image3D *pReference1, const Image3D *pReference2);
    // Stops reading the movies (before they are replaced or deleted).
    void stopComputing();
    // After stopComputing when the movies stayed as they were: finishes what was stopped.
    void resumeComputing();
    void setCurrentFrame(int frame);

    bool isComputing() const;
    QTableWidget *getTable() const { return m_pTable; }
    MetricsPlot *getPlot() const { return m_pPlot; }
    QString getSummaryText() const;

signals:
    void frameChosen(int frame);

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    void restart();
    void onFrameCompared(const FrameMetrics &metrics);
    void onFinished(bool ok, const QString &error);
    void onProgress(int done, int frames);
    void showSummary();

    MetricsJob *m_pJob = nullptr;
    MetricsPlot *m_pPlot = nullptr;
    QTableWidget *m_pTable = nullptr;
    QLabel *m_pSummary = nullptr;
    QProgressBar *m_pProgress = nullptr;
    const Image3D *m_pMovies[3] = {};
    bool m_stale = true; // the numbers shown are not those of the movies
    MetricsSummary m_summary;
};
