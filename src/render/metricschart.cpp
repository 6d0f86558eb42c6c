#include "metricschart.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

// Room around the plotting area: the legend and units above, tick labels beside and below.
constexpr double leftMargin = 40;
constexpr double rightMargin = 40;
constexpr double topMargin = 16;
constexpr double bottomMargin = 18;
// The band above the PSNR scale where identical frames (+inf) are drawn, at infinityY above it.
constexpr double infinityBand = 20;
constexpr double infinityY = 12;
constexpr double fontPixels = 10;

const QColor referenceColours[2] = {QColor(31, 119, 180), QColor(255, 127, 14)};
const QColor worstColour(214, 39, 40);

// A step of 1, 2 or 5 times a power of ten giving about `ticks` ticks over span.
double niceStep(double span, int ticks)
{
    const double raw = span / std::max(ticks, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    return (fraction < 1.5 ? 1 : fraction < 3 ? 2 : fraction < 7 ? 5 : 10) * magnitude;
}

// An axis over the finite values, widened to at least minSpan, rounded out to its ticks.
MetricsChart::Axis axisOf(const QVector<double> (&series)[2], double minSpan, double fallbackLow,
                          double fallbackHigh)
{
    double low = INFINITY;
    double high = -INFINITY;
    for (const QVector<double> &values : series) {
        for (double value : values) {
            if (std::isfinite(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
    }
    if (!std::isfinite(low)) {
        low = fallbackLow;
        high = fallbackHigh;
    }
    if (high - low < minSpan) {
        const double middle = (low + high) / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    MetricsChart::Axis axis;
    axis.step = niceStep(high - low, 4);
    axis.low = std::floor(low / axis.step) * axis.step;
    axis.high = std::ceil(high / axis.step) * axis.step;
    if (axis.high <= axis.low)
        axis.high = axis.low + axis.step;
    return axis;
}

void setValue(QVector<double> &values, int frame, double value)
{
    if (frame < 0)
        return;
    if (values.size() <= frame)
        values.resize(frame + 1, std::nan(""));
    values[frame] = value;
}

QString tickText(double value, double step)
{
    const int decimals = std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 4);
    return QString::number(value, 'f', decimals);
}

} // namespace

void MetricsChart::setPsnr(int reference, const QVector<double> &values)
{
    if (reference == 1 || reference == 2)
        m_psnr[reference - 1] = values;
}

void MetricsChart::setPsnrValue(int reference, int frame, double value)
{
    if (reference == 1 || reference == 2)
        setValue(m_psnr[reference - 1], frame, value);
}

void MetricsChart::setSsim(int reference, const QVector<double> &values)
{
    if (reference == 1 || reference == 2)
        m_ssim[reference - 1] = values;
}

void MetricsChart::setSsimValue(int reference, int frame, double value)
{
    if (reference == 1 || reference == 2)
        setValue(m_ssim[reference - 1], frame, value);
}

void MetricsChart::clear()
{
    for (int r = 0; r < 2; ++r) {
        m_psnr[r].clear();
        m_ssim[r].clear();
    }
    m_worstFrames.clear();
}

int MetricsChart::getFrameCount() const
{
    qsizetype frames = 0;
    for (int r = 0; r < 2; ++r)
        frames = std::max({frames, m_psnr[r].size(), m_ssim[r].size()});
    return int(frames);
}

MetricsChart::Axis MetricsChart::psnrAxis() const { return axisOf(m_psnr, 1.0, 0.0, 100.0); }

MetricsChart::Axis MetricsChart::ssimAxis() const
{
    Axis axis = axisOf(m_ssim, 0.01, 0.0, 1.0);
    // SSIM is at most 1: no tick above it.
    if (axis.high > 1.0 && axis.low < 1.0)
        axis.high = 1.0;
    return axis;
}

QRectF MetricsChart::plotArea(const QRectF &bounds) const
{
    return bounds.adjusted(leftMargin, topMargin + infinityBand, -rightMargin, -bottomMargin);
}

double MetricsChart::xOfFrame(int frame, const QRectF &area) const
{
    const int frames = getFrameCount();
    if (frames <= 1)
        return area.center().x();
    return area.left() + double(frame) / (frames - 1) * area.width();
}

int MetricsChart::frameAt(double x, const QRectF &bounds) const
{
    const int frames = getFrameCount();
    if (frames == 0)
        return -1;
    const QRectF area = plotArea(bounds);
    if (frames == 1 || area.width() <= 0)
        return 0;
    const double position = (x - area.left()) / area.width() * (frames - 1);
    return std::clamp(int(std::lround(position)), 0, frames - 1);
}

double MetricsChart::yOfPsnr(double value, const QRectF &bounds) const
{
    const QRectF area = plotArea(bounds);
    if (std::isinf(value) && value > 0)
        return area.top() - infinityY;
    const Axis axis = psnrAxis();
    return area.bottom() - (value - axis.low) / (axis.high - axis.low) * area.height();
}

QVector<int> MetricsChart::lowest(const QVector<double> &values, int count)
{
    QVector<int> frames;
    for (int f = 0; f < values.size(); ++f) {
        if (!std::isnan(values[f]))
            frames.append(f);
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [&values](int a, int b) { return values[a] < values[b]; });
    frames.resize(std::min<qsizetype>(frames.size(), std::max(count, 0)));
    return frames;
}

void MetricsChart::paintAxes(QPainter &painter, const QRectF &area, const Axis &psnr,
                             const Axis &ssim) const
{
    const QFontMetricsF metrics(painter.font());
    const double textHeight = metrics.height();
    const QPen gridPen(m_colours.grid, 1);
    const QPen textPen(m_colours.text, 1);
    auto yOf = [&area](const Axis &axis, double value) {
        return area.bottom() - (value - axis.low) / (axis.high - axis.low) * area.height();
    };
    // Left: PSNR in dB, with the grid lines; right: SSIM.
    for (double value = psnr.low; value <= psnr.high + psnr.step / 1000; value += psnr.step) {
        const double y = yOf(psnr, value);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(textPen);
        painter.drawText(QRectF(0, y - textHeight / 2, area.left() - 4, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, tickText(value, psnr.step));
    }
    for (double value = ssim.low; value <= ssim.high + ssim.step / 1000; value += ssim.step) {
        const double y = yOf(ssim, value);
        painter.drawLine(QPointF(area.right(), y), QPointF(area.right() + 3, y));
        painter.drawText(QRectF(area.right() + 5, y - textHeight / 2, rightMargin - 5, textHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, tickText(value, ssim.step));
    }
    // The band of identical frames above the scale.
    const double yInfinity = area.top() - infinityY;
    painter.setPen(QPen(m_colours.grid, 1, Qt::DotLine));
    painter.drawLine(QPointF(area.left(), yInfinity), QPointF(area.right(), yInfinity));
    painter.setPen(textPen);
    painter.drawText(QRectF(0, yInfinity - textHeight / 2, area.left() - 4, textHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("inf"));
    // Units above the side axes, in the legend's row.
    const double unitsY = area.top() - infinityBand - topMargin + 2;
    painter.drawText(QRectF(0, unitsY, area.left() - 4, textHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("dB"));
    painter.drawText(QRectF(area.right() + 5, unitsY, rightMargin - 5, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("SSIM"));
    // Bottom: frames counted from 1, as the window counts them.
    const int frames = getFrameCount();
    const double labelY = area.bottom() + 2;
    painter.drawText(QRectF(0, labelY, area.left() - 10, textHeight), Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("frame"));
    if (frames > 0) {
        const int room = std::max(1, int(area.width() / (metrics.horizontalAdvance("00000") + 8)));
        const int step = std::max(1, int(niceStep(std::max(frames - 1, 1), room)));
        QVector<int> labels {1};
        for (int label = step; label <= frames; label += step) {
            if (label - labels.last() >= std::max(step / 2, 1))
                labels.append(label);
        }
        for (int label : labels) {
            const double x = xOfFrame(label - 1, area);
            painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 3));
            painter.drawText(QRectF(x - 30, labelY + 1, 60, textHeight),
                             Qt::AlignHCenter | Qt::AlignTop, QString::number(label));
        }
    }
    painter.drawRect(area);
}

void MetricsChart::paintLegend(QPainter &painter, const QRectF &bounds) const
{
    const QFontMetricsF metrics(painter.font());
    double x = bounds.left() + leftMargin;
    const double y = bounds.top() + 2 + metrics.height() / 2;
    auto entry = [&](const QString &text, const QPen &pen, bool triangle) {
        painter.setPen(pen);
        if (triangle) {
            painter.setBrush(pen.color());
            painter.drawPolygon(QPolygonF(
                    {QPointF(x + 4, y - 4), QPointF(x + 12, y - 4), QPointF(x + 8, y + 3)}));
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.drawLine(QPointF(x, y), QPointF(x + 16, y));
        }
        painter.setPen(m_colours.text);
        painter.drawText(QPointF(x + 19, y + metrics.ascent() / 2 - 1), text);
        x += 19 + metrics.horizontalAdvance(text) + 10;
    };
    for (int r = 0; r < 2; ++r) {
        if (!m_psnr[r].isEmpty())
            entry(QStringLiteral("PSNR ref %1").arg(r + 1), QPen(referenceColours[r], 1.5), false);
        if (!m_ssim[r].isEmpty())
            entry(QStringLiteral("SSIM ref %1").arg(r + 1),
                  QPen(referenceColours[r], 1.2, Qt::DashLine), false);
    }
    if (!m_worstFrames.isEmpty())
        entry(QStringLiteral("worst"), QPen(worstColour, 1), true);
}

void MetricsChart::paint(QPainter &painter, const QRectF &bounds) const
{
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(int(fontPixels));
    painter.setFont(font);
    painter.fillRect(bounds, m_colours.background);
    const QRectF area = plotArea(bounds);
    if (area.width() <= 0 || area.height() <= 0) {
        painter.restore();
        return;
    }
    const Axis psnr = psnrAxis();
    const Axis ssim = ssimAxis();
    paintAxes(painter, area, psnr, ssim);
    const int frames = getFrameCount();
    if (frames == 0) {
        painter.setPen(m_colours.text);
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("no frames compared"));
        painter.restore();
        return;
    }
    const QRectF band(area.left(), area.top() - infinityBand, area.width(),
                      area.height() + infinityBand);
    if (m_currentFrame >= 0 && m_currentFrame < frames) {
        const double x = xOfFrame(m_currentFrame, area);
        painter.setPen(QPen(m_colours.current, 1, Qt::DashLine));
        painter.drawLine(QPointF(x, band.top()), QPointF(x, band.bottom()));
    }
    for (int frame : m_worstFrames) {
        if (frame < 0 || frame >= frames)
            continue;
        const double x = xOfFrame(frame, area);
        painter.setPen(QPen(worstColour, 1, Qt::DotLine));
        painter.drawLine(QPointF(x, band.top()), QPointF(x, band.bottom()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(worstColour);
        painter.drawPolygon(QPolygonF({QPointF(x - 4, band.top()), QPointF(x + 4, band.top()),
                                       QPointF(x, band.top() + 7)}));
        painter.setBrush(Qt::NoBrush);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(band.adjusted(-3, -3, 3, 3));
    auto yOf = [&area](const Axis &axis, double value) {
        return area.bottom() - (value - axis.low) / (axis.high - axis.low) * area.height();
    };
    for (int r = 0; r < 2; ++r) {
        for (int measure = 0; measure < 2; ++measure) {
            const QVector<double> &values = measure == 0 ? m_psnr[r] : m_ssim[r];
            QPainterPath path;
            bool drawing = false;
            for (int f = 0; f < values.size(); ++f) {
                const double value = values[f];
                if (std::isnan(value) || (measure == 1 && std::isinf(value))) {
                    drawing = false;
                    continue;
                }
                const double y = measure == 1 ? yOf(ssim, value)
                        : std::isinf(value)   ? area.top() - infinityY
                                              : yOf(psnr, value);
                const QPointF point(xOfFrame(f, area), y);
                if (drawing)
                    path.lineTo(point);
                else
                    path.moveTo(point);
                drawing = true;
                if (values.size() <= 64) {
                    path.addEllipse(point, 1.5, 1.5);
                    path.moveTo(point);
                }
            }
            painter.setPen(measure == 0 ? QPen(referenceColours[r], 1.5)
                                        : QPen(referenceColours[r], 1.2, Qt::DashLine));
            painter.drawPath(path);
        }
    }
    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintLegend(painter, bounds);
    painter.restore();
}
