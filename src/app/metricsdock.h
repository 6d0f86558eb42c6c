#pragma once

#include "framemetrics.h"
#include "metricssummary.h"
#include "movieset.h"

#include <QDockWidget>
#include <QRect>

#include <vector>

class FrameSource;
class Image3D;
class MetricsJob;
class MetricsPlot;
class MetricsTableModel;
class QLabel;
class QComboBox;
class QProgressBar;
class QTableView;
class QTimer;
class Session;

// The "Metrics" dock: per-frame PSNR, MSE and SSIM of the main movie against each reference
// (reference frame f - offset against main frame f), as a plot of the plane the views show and
// a sortable table of a chosen plane, with the worst frame and a summary, of the whole frame or
// of the session's region. Movies read from raw or
// y4m YUV files are compared on Y, U and V, read through the file the movie reads; others on the
// plane the window holds; U and V only where main and reference sample their chroma alike.
// Computed on a worker thread while the dock is shown; clicking a frame asks for it (frame
// indices from 0 in the interface, shown counted from 1).
class MetricsDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit MetricsDock(QWidget *pParent = nullptr);
    ~MetricsDock() override;

    // Borrows the movies until the next setMovies or stopComputing; recomputes when shown.
    void setMovies(const MovieSet &movies);
    // From now on shows the session's movies and frame, and asks it for the frame chosen; the
    // session must outlive the dock's connection to it.
    void followSession(Session &session);
    // Stops reading the movies (before they are replaced or deleted).
    void stopComputing();
    void setCurrentFrame(int frame);
    // The session's region (empty: none): with "Region" chosen the numbers are of it alone.
    void setRegion(const QRect &region);
    // Bytes the comparison's frames may take together, from the next run on;
    // FrameCache::defaultBudget() until set.
    void setMemoryBudget(qint64 bytes);

signals:
    void frameChosen(int frame);

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    void restart();
    bool isOfRegion() const;
    void onFrameCompared(const FrameMetrics &metrics);
    // Puts the results not shown yet into the plot and the table.
    void showPending();
    void onFinished(bool ok, const QString &error);
    void onProgress(int done, int frames);
    void showSummary();

    MetricsJob *m_pJob = nullptr;
    MetricsPlot *m_pPlot = nullptr;
    MetricsTableModel *m_pTableModel = nullptr;
    QTableView *m_pTable = nullptr;
    QLabel *m_pSummary = nullptr;
    QProgressBar *m_pProgress = nullptr;
    QComboBox *m_pPlaneBox = nullptr;
    QComboBox *m_pAreaBox = nullptr; // Whole frame or Region
    QRect m_region;
    MovieSet m_movies;
    int m_plotPlane = 0;
    int m_tablePlane = 0;
    std::vector<FrameMetrics> m_pending; // results not yet in the plot and the table
    QString m_chromaNote; // why U and V of a reference are not compared; empty when they are
    QTimer *m_pShowTimer = nullptr;
    bool m_stale = true; // the numbers shown are not those of the movies
    MetricsSummary m_summary;
};
