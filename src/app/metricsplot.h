#pragma once

#include <QVector>
#include <QWidget>

#include "metricschart.h"

// The metrics dock's plot: per-frame PSNR and SSIM against reference 1 and reference 2, the
// frame on screen and the worst frames marked, painted by MetricsChart (as the report's plots
// are). Clicking picks the nearest frame.
class MetricsPlot : public QWidget
{
    Q_OBJECT

public:
    explicit MetricsPlot(QWidget *pParent = nullptr);

    // PSNR of frame f in dB at index f; NaN where the frame was not compared; +inf when equal.
    void setValues(int reference, const QVector<double> &psnr);
    void setValue(int reference, int frame, double psnr);
    // SSIM of frame f; NaN where not compared or not measured.
    void setSsimValue(int reference, int frame, double ssim);
    void setCurrentFrame(int frame);
    // Frame indices from 0.
    void setWorstFrames(const QVector<int> &frames);
    void clear();
    int getFrameCount() const;
    const QVector<double> &getPsnr(int reference) const { return m_chart.getPsnr(reference); }
    QSize sizeHint() const override { return QSize(360, 180); }

    // The frame under x (widget pixels); -1 when there are no frames.
    int frameAt(int x) const;

signals:
    void frameClicked(int frame);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;

private:
    friend class MetricsPlotTestAccess; // tests read the values plotted

    MetricsChart m_chart;
};
