#pragma once

#include <QColor>
#include <QRectF>
#include <QVector>

class QPainter;

// The plot of per-frame PSNR (left axis, dB) and SSIM (right axis) of the main movie against
// reference 1 and 2, painted with a QPainter into any paint device: the metrics dock's widget
// and the report's SVG pictures are this one drawing. Values are indexed by frame from 0 and
// labelled from 1, as the window counts frames; NaN where a frame was not compared. A PSNR of
// +inf (identical frames) sits on a band above the scale, marked "inf", so it never stretches
// the scale. Also marks the frame shown and the worst frames.
class MetricsChart
{
public:
    struct Colours
    {
        QColor background = Qt::white;
        QColor text = Qt::black;
        QColor grid = QColor(224, 224, 224);
        QColor current = QColor(128, 128, 128);
    };
    // An axis's range with its ticks every `step` from the first multiple of step at or above
    // low; low < high, all finite.
    struct Axis
    {
        double low = 0.0;
        double high = 1.0;
        double step = 0.5;
    };

    // reference is 1 or 2; others are ignored.
    void setPsnr(int reference, const QVector<double> &values);
    void setPsnrValue(int reference, int frame, double value);
    void setSsim(int reference, const QVector<double> &values);
    void setSsimValue(int reference, int frame, double value);
    const QVector<double> &getPsnr(int reference) const { return m_psnr[reference == 2]; }
    const QVector<double> &getSsim(int reference) const { return m_ssim[reference == 2]; }
    void clear();
    // -1: none marked.
    void setCurrentFrame(int frame) { m_currentFrame = frame; }
    void setWorstFrames(const QVector<int> &frames) { m_worstFrames = frames; }
    const QVector<int> &getWorstFrames() const { return m_worstFrames; }
    void setColours(const Colours &colours) { m_colours = colours; }
    int getFrameCount() const;

    // The finite PSNR values' scale in dB; 0 .. 100 without any.
    Axis psnrAxis() const;
    // The SSIM values' scale, within 0 .. 1 when they are.
    Axis ssimAxis() const;
    // Where the frames run inside a chart painted into bounds: the first frame at the left edge,
    // the last at the right edge; the PSNR scale from the bottom up to top() + the band of inf.
    QRectF plotArea(const QRectF &bounds) const;
    // The frame nearest to x in a chart painted into bounds, clamped; -1 without frames.
    int frameAt(double x, const QRectF &bounds) const;
    // The y of a PSNR value in a chart painted into bounds (+inf: the band above the scale).
    double yOfPsnr(double value, const QRectF &bounds) const;

    // The indices of the `count` lowest values (NaN left out), lowest first, the earlier of
    // equal values first.
    static QVector<int> lowest(const QVector<double> &values, int count);

    void paint(QPainter &painter, const QRectF &bounds) const;

private:
    double xOfFrame(int frame, const QRectF &area) const;
    void paintAxes(QPainter &painter, const QRectF &area, const Axis &psnr, const Axis &ssim) const;
    void paintLegend(QPainter &painter, const QRectF &bounds) const;

    QVector<double> m_psnr[2];
    QVector<double> m_ssim[2];
    int m_currentFrame = -1;
    QVector<int> m_worstFrames;
    Colours m_colours;
};
