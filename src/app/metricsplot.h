#pragma once

#include <QVector>
#include <QWidget>

// A small painted plot of per-frame PSNR against reference 1 and reference 2 (two colours),
// with the frame on screen marked. Clicking picks the nearest frame.
class MetricsPlot : public QWidget
{
    Q_OBJECT

public:
    explicit MetricsPlot(QWidget *pParent = nullptr);

    // PSNR of frame f in dB at index f; NaN where the frame was not compared; +inf when equal.
    void setValues(int reference, const QVector<double> &psnr);
    void setValue(int reference, int frame, double psnr);
    void setCurrentFrame(int frame);
    void clear();
    int getFrameCount() const;
    QSize sizeHint() const override { return QSize(320, 160); }

    // The frame under x (widget pixels); -1 when there are no frames.
    int frameAt(int x) const;

signals:
    void frameClicked(int frame);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;

private:
    friend class MetricsPlotTestAccess; // tests read the values plotted

    QRect plotArea() const;

    QVector<double> m_psnr[2];
    int m_currentFrame = -1;
};
