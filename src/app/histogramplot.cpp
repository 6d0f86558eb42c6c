#include "histogramplot.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Pixels on either side of a marker where a press grabs it.
constexpr int GrabDistance = 6;

// A step of 1, 2 or 5 times a power of ten that puts at most `ticks` ticks over span values.
int tickStep(double span, int ticks)
{
    const double rough = span / std::max(1, ticks);
    double step = 1;
    while (step < rough) {
        for (const double factor : {2.0, 2.5, 2.0}) {
            step *= factor;
            if (step >= rough)
                break;
        }
    }
    return std::max(1, int(step));
}

} // namespace

HistogramPlot::HistogramPlot(QWidget *pParent) : QWidget(pParent)
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HistogramPlot::setHistogram(const Histogram &histogram)
{
    m_histogram = histogram;
    if (!markersShown())
        m_dragged = NoMarker;
    update();
}

void HistogramPlot::setLogarithmic(bool logarithmic)
{
    if (logarithmic == m_logarithmic)
        return;
    m_logarithmic = logarithmic;
    update();
}

void HistogramPlot::setRange(const DisplayRange &range)
{
    if (range == m_range)
        return;
    m_range = range;
    update();
}

QRect HistogramPlot::plotArea() const
{
    const int labels = fontMetrics().height() + 6;
    return rect().adjusted(8, 8, -8, -labels);
}

int HistogramPlot::positionOf(double value) const
{
    const QRect area = plotArea();
    const double values = double(m_histogram.getHighest()) - m_histogram.getLowest() + 1;
    if (m_histogram.isEmpty() || area.width() < 1)
        return area.left();
    const double x = area.left() + (value + 0.5 - m_histogram.getLowest()) / values * area.width();
    return int(std::lround(std::clamp(x, double(area.left()), double(area.right()))));
}

int HistogramPlot::valueAt(int x) const
{
    const QRect area = plotArea();
    if (m_histogram.isEmpty() || area.width() < 1)
        return 0;
    const double values = double(m_histogram.getHighest()) - m_histogram.getLowest() + 1;
    const double value
            = m_histogram.getLowest() + std::floor((x - area.left()) * values / area.width());
    return int(
            std::clamp(value, double(m_histogram.getLowest()), double(m_histogram.getHighest())));
}

HistogramPlot::Marker HistogramPlot::markerAt(int x) const
{
    if (!markersShown())
        return NoMarker;
    const int minPosition = positionOf(m_range.minValue);
    const int maxPosition = positionOf(m_range.maxValue);
    const int toMin = std::abs(x - minPosition);
    const int toMax = std::abs(x - maxPosition);
    if (std::min(toMin, toMax) > GrabDistance)
        return NoMarker;
    if (toMin != toMax)
        return toMin < toMax ? MinMarker : MaxMarker;
    // On markers that meet, the side pressed decides: left takes the lower bound.
    const bool lowerIsMin = m_range.minValue <= m_range.maxValue;
    return (x < minPosition) == lowerIsMin ? MinMarker : MaxMarker;
}

void HistogramPlot::mousePressEvent(QMouseEvent *pEvent)
{
    m_dragged = pEvent->button() == Qt::LeftButton ? markerAt(pEvent->position().toPoint().x())
                                                   : NoMarker;
    if (m_dragged == NoMarker)
        QWidget::mousePressEvent(pEvent);
}

void HistogramPlot::mouseMoveEvent(QMouseEvent *pEvent)
{
    const int x = pEvent->position().toPoint().x();
    if (m_dragged == NoMarker) {
        setCursor(markerAt(x) == NoMarker ? Qt::ArrowCursor : Qt::SizeHorCursor);
        return;
    }
    // The dragged bound stays on its side of the other one.
    const float value = float(valueAt(x));
    DisplayRange range = m_range;
    const bool ordered = m_range.minValue <= m_range.maxValue;
    if (m_dragged == MinMarker)
        range.minValue
                = ordered ? std::min(value, range.maxValue) : std::max(value, range.maxValue);
    else
        range.maxValue
                = ordered ? std::max(value, range.minValue) : std::min(value, range.minValue);
    if (range != m_range)
        emit rangeDragged(range);
}

void HistogramPlot::mouseReleaseEvent(QMouseEvent *pEvent)
{
    if (m_dragged == NoMarker)
        QWidget::mouseReleaseEvent(pEvent);
    m_dragged = NoMarker;
}

double HistogramPlot::heightOf(qint64 count) const
{
    const qint64 largest = m_histogram.getLargestCount();
    if (largest <= 0)
        return 0;
    if (m_logarithmic)
        return std::log1p(double(count)) / std::log1p(double(largest));
    return double(count) / double(largest);
}

void HistogramPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = plotArea();
    if (m_histogram.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No movie in this view"));
        return;
    }
    paintCounts(painter, area);
    paintAxis(painter, area);
    if (markersShown())
        paintMarkers(painter, area);
}

void HistogramPlot::paintCounts(QPainter &painter, const QRect &area) const
{
    const int bins = m_histogram.getBinCount();
    const int width = m_histogram.getBinWidth();
    const double values = double(m_histogram.getHighest()) - m_histogram.getLowest() + 1;
    auto xOf = [&](double offset) { return area.left() + offset / values * area.width(); };
    if (m_histogram.getChannelCount() == 1) {
        const QColor bar = palette().color(QPalette::Text);
        for (int bin = 0; bin < bins; ++bin) {
            const qint64 count = m_histogram.getCount(0, bin);
            if (count == 0)
                continue;
            // At least one pixel wide and high, so that a lone value shows.
            const double left = xOf(double(bin) * width);
            const double right = std::max(xOf(double(bin + 1) * width), left + 1);
            const double top = std::min(area.bottom() - heightOf(count) * area.height(),
                                        area.bottom() - 1.0);
            painter.fillRect(QRectF(left, top, right - left, area.bottom() + 1 - top), bar);
        }
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colours[3] = {Qt::red, QColor(0, 170, 0), Qt::blue};
    for (int channel = 0; channel < m_histogram.getChannelCount(); ++channel) {
        QPainterPath curve;
        for (int bin = 0; bin < bins; ++bin) {
            const QPointF point(
                    xOf((bin + 0.5) * width),
                    area.bottom() - heightOf(m_histogram.getCount(channel, bin)) * area.height());
            if (bin == 0)
                curve.moveTo(point);
            else
                curve.lineTo(point);
        }
        painter.setPen(QPen(colours[channel % 3], 1.5));
        painter.drawPath(curve);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void HistogramPlot::paintAxis(QPainter &painter, const QRect &area) const
{
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    const QFontMetrics metrics = fontMetrics();
    const int lowest = m_histogram.getLowest();
    const int highest = m_histogram.getHighest();
    // Room for labels as wide as the widest value.
    const int labelWidth = std::max(metrics.horizontalAdvance(QString::number(lowest)),
                                    metrics.horizontalAdvance(QString::number(highest)));
    const int step = tickStep(double(highest) - lowest + 1, area.width() / (labelWidth + 16));
    // Ticks on multiples of the step, 0 among them.
    const int first = lowest >= 0 ? (lowest + step - 1) / step * step : -(-lowest / step * step);
    for (qint64 value = first; value <= highest; value += step) {
        const int x = positionOf(double(value));
        painter.drawLine(x, area.bottom(), x, area.bottom() + 3);
        const QString label = QString::number(value);
        const int labelLeft = std::clamp(x - metrics.horizontalAdvance(label) / 2, 0,
                                         width() - metrics.horizontalAdvance(label));
        painter.drawText(labelLeft, area.bottom() + 4 + metrics.ascent(), label);
    }
}

void HistogramPlot::paintMarkers(QPainter &painter, const QRect &area) const
{
    const QColor colour = palette().color(QPalette::Highlight);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(colour);
    for (const float bound : {m_range.minValue, m_range.maxValue}) {
        const int x = positionOf(double(bound));
        painter.drawLine(x, area.top(), x, area.bottom());
        // A handle at the top to grab.
        const QPoint handle[3] = {QPoint(x - 5, area.top() - 6), QPoint(x + 5, area.top() - 6),
                                  QPoint(x, area.top())};
        painter.drawPolygon(handle, 3);
    }
}
