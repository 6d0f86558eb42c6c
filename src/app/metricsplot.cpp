#include "metricsplot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

MetricsPlot::MetricsPlot(QWidget *pParent) : QWidget(pParent)
{
    setMinimumHeight(100);
    setToolTip(QStringLiteral("PSNR (dB) per frame: blue main-ref1, orange main-ref2; click a "
                              "frame to show it"));
}

void MetricsPlot::setValues(int reference, const QVector<double> &psnr)
{
    if (reference < 1 || reference > 2)
        return;
    m_psnr[reference - 1] = psnr;
    update();
}

void MetricsPlot::setValue(int reference, int frame, double psnr)
{
    if (reference < 1 || reference > 2 || frame < 0)
        return;
    QVector<double> &values = m_psnr[reference - 1];
    if (values.size() <= frame)
        values.resize(frame + 1, std::nan(""));
    values[frame] = psnr;
    update();
}

void MetricsPlot::setCurrentFrame(int frame)
{
    m_currentFrame = frame;
    update();
}

void MetricsPlot::clear()
{
    m_psnr[0].clear();
    m_psnr[1].clear();
    update();
}

int MetricsPlot::getFrameCount() const { return int(std::max(m_psnr[0].size(), m_psnr[1].size())); }

QRect MetricsPlot::plotArea() const { return rect().adjusted(36, 8, -8, -18); }

int MetricsPlot::frameAt(int x) const
{
    const int frames = getFrameCount();
    if (frames == 0)
        return -1;
    const QRect area = plotArea();
    if (frames == 1 || area.width() <= 1)
        return 0;
    const double position = double(x - area.left()) / (area.width() - 1) * (frames - 1);
    return std::clamp(int(std::lround(position)), 0, frames - 1);
}

void MetricsPlot::mousePressEvent(QMouseEvent *pEvent)
{
    const int frame = frameAt(int(pEvent->position().x()));
    if (frame >= 0)
        emit frameClicked(frame);
}

void MetricsPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = plotArea();
    const int frames = getFrameCount();
    // The vertical scale covers the finite values; equal frames (inf) sit on the top line.
    double low = INFINITY, high = -INFINITY;
    for (const QVector<double> &values : m_psnr) {
        for (double value : values) {
            if (std::isfinite(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 100;
    }
    if (high - low < 1) {
        low -= 0.5;
        high += 0.5;
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.drawText(QRect(0, area.top() - 6, area.left() - 4, 14), Qt::AlignRight,
                     QString::number(high, 'f', 1));
    painter.drawText(QRect(0, area.bottom() - 8, area.left() - 4, 14), Qt::AlignRight,
                     QString::number(low, 'f', 1));
    painter.drawText(QRect(area.left(), area.bottom() + 2, area.width(), 14), Qt::AlignCenter,
                     // Counted from 1, as the window counts frames.
                     frames > 0 ? QStringLiteral("frame 1 .. %1").arg(frames)
                                : QStringLiteral("no frames compared"));
    if (frames == 0)
        return;
    auto xOf = [&](int frame) {
        return frames == 1 ? area.center().x()
                           : area.left() + double(frame) / (frames - 1) * (area.width() - 1);
    };
    auto yOf = [&](double value) {
        const double v = std::isinf(value) ? high : value;
        return area.bottom() - (v - low) / (high - low) * (area.height() - 1);
    };
    if (m_currentFrame >= 0 && m_currentFrame < frames) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        painter.drawLine(QPointF(xOf(m_currentFrame), area.top()),
                         QPointF(xOf(m_currentFrame), area.bottom()));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colours[2] = {QColor(31, 119, 180), QColor(255, 127, 14)};
    for (int r = 0; r < 2; ++r) {
        QPainterPath path;
        bool drawing = false;
        for (int f = 0; f < m_psnr[r].size(); ++f) {
            const double value = m_psnr[r][f];
            if (std::isnan(value)) {
                drawing = false;
                continue;
            }
            const QPointF point(xOf(f), yOf(value));
            if (drawing)
                path.lineTo(point);
            else
                path.moveTo(point);
            drawing = true;
            if (m_psnr[r].size() <= 64) {
                path.addEllipse(point, 1.5, 1.5);
                path.moveTo(point);
            }
        }
        painter.setPen(QPen(colours[r], 1.5));
        painter.drawPath(path);
    }
}
