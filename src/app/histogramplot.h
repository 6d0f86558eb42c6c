#pragma once

#include <QWidget>

#include "displayrange.h"
#include "histogram.h"

// The bars of a histogram of sample values (R, G and B curves for a picture in colour), its
// x axis in sample values with ticks, and the display range of the view as two vertical
// markers that the mouse drags. Counts on a linear or logarithmic scale.
class HistogramPlot : public QWidget
{
    Q_OBJECT
public:
    explicit HistogramPlot(QWidget *pParent = nullptr);

    const Histogram &getHistogram() const { return m_histogram; }
    void setHistogram(const Histogram &histogram);
    void setLogarithmic(bool logarithmic);
    // The markers stand at range's bounds; they are shown only over sample values, not in
    // colour.
    void setRange(const DisplayRange &range);

    // The x (widget pixels) of the middle of a value's place on the axis, at the plot's edge
    // for a value beyond it.
    int positionOf(double value) const;
    // The whole value whose place on the axis holds x.
    int valueAt(int x) const;

    QSize sizeHint() const override { return {360, 200}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

signals:
    // The user dragged a marker: the range with that bound at the value under the pointer,
    // never past the other bound.
    void rangeDragged(const DisplayRange &range);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;

private:
    enum Marker { NoMarker = -1, MinMarker = 0, MaxMarker = 1 };

    bool markersShown() const { return m_histogram.getChannelCount() == 1; }
    // Where bars are drawn, inside the room for the axis labels.
    QRect plotArea() const;
    // The marker within grabbing distance of x, the nearer one when both are.
    Marker markerAt(int x) const;
    // Height 0..1 of a count on the current scale.
    double heightOf(qint64 count) const;
    void paintCounts(QPainter &painter, const QRect &area) const;
    void paintAxis(QPainter &painter, const QRect &area) const;
    void paintMarkers(QPainter &painter, const QRect &area) const;

    Histogram m_histogram;
    bool m_logarithmic = false;
    DisplayRange m_range;
    Marker m_dragged = NoMarker;
};
