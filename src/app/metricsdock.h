#pragma once

#include "framemetrics.h"
#include "metricssummary.h"
#include "movieset.h"

#include <QDockWidget>

#include <vector>

class FrameSource;
class Image3D;
class MetricsJob;
class MetricsPlot;
class QLabel;
class QComboBox;
class QProgressBar;
class QTableWidget;
class QTimer;

// The "Metrics" dock: per-frame PSNR, MSE and SSIM of the main movie against each reference
// (reference frame f - offset against main frame f), as a plot of the plane the views show and
// a sortable table of a chosen plane, with the worst frame and a summary. Movies read from raw or
// y4m YUV files are compared on Y, U and V, read through the file the movie reads; others on the
// plane the window holds. Computed on a worker thread while the dock is shown; clicking a frame
// asks for it.
class MetricsDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit MetricsDock(QWidget *pParent = nullptr);
    ~MetricsDock() override;

    // Borrows the movies until the next setMovies or stopComputing; recomputes when shown.
    void setMovies(const MovieSet &movies);
    void setMovies(const Image3D *pMain, const Image3D *pReference1, const Image3D *pReference2);
    // Stops reading the movies (before they are replaced or deleted).
    void stopComputing();
    // After stopComputing when the movies stayed as they were: finishes what was stopped.
    void resumeComputing();
    void setCurrentFrame(int frame);

    bool isComputing() const;
    QTableWidget *getTable() const { return m_pTable; }
    // The plane the table and the summary show: entries "Y", "U", "V" when three planes are
    // compared, hidden with one.
    QComboBox *getPlaneBox() const { return m_pPlaneBox; }
    // The plane the plot shows: the one the views show (0 = Y, 1 = U, 2 = V).
    int getPlotPlane() const { return m_plotPlane; }
    MetricsPlot *getPlot() const { return m_pPlot; }
    QString getSummaryText() const;

signals:
    void frameChosen(int frame);

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    void restart();
    // The sources the job reads, indexed main, reference 1, reference 2 (null where absent).
    void makeSources(std::unique_ptr<FrameSource> (&sources)[3]);
    // The table's rows from m_results, for the plane chosen.
    void fillTable();
    void addTableRow(const FrameMetrics &metrics);
    void onFrameCompared(const FrameMetrics &metrics);
    // Puts the results not shown yet into the plot and the table.
    void showPending();
    void onFinished(bool ok, const QString &error);
    void onProgress(int done, int frames);
    void showSummary();

    MetricsJob *m_pJob = nullptr;
    MetricsPlot *m_pPlot = nullptr;
    QTableWidget *m_pTable = nullptr;
    QLabel *m_pSummary = nullptr;
    QProgressBar *m_pProgress = nullptr;
    QComboBox *m_pPlaneBox = nullptr;
    MovieSet m_movies;
    int m_plotPlane = 0;
    int m_tablePlane = 0;
    std::vector<FrameMetrics> m_results; // in the order they came
    std::size_t m_shownResults = 0; // the first results, in the plot and the table
    QTimer *m_pShowTimer = nullptr;
    bool m_stale = true; // the numbers shown are not those of the movies
    MetricsSummary m_summary;
};
