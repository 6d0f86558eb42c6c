#include "metricsplot.h"

#include <QMouseEvent>
#include <QPainter>

MetricsPlot::MetricsPlot(QWidget *pParent) : QWidget(pParent)
{
    setMinimumHeight(120);
    setToolTip(QStringLiteral("PSNR (dB, solid) and SSIM (dashed) per frame: blue main-ref1, "
                              "orange main-ref2; click a frame to show it"));
}

void MetricsPlot::setValues(int reference, const QVector<double> &psnr)
{
    m_chart.setPsnr(reference, psnr);
    update();
}

void MetricsPlot::setValue(int reference, int frame, double psnr)
{
    m_chart.setPsnrValue(reference, frame, psnr);
    update();
}

void MetricsPlot::setSsimValue(int reference, int frame, double ssim)
{
    m_chart.setSsimValue(reference, frame, ssim);
    update();
}

void MetricsPlot::setCurrentFrame(int frame)
{
    m_chart.setCurrentFrame(frame);
    update();
}

void MetricsPlot::setWorstFrames(const QVector<int> &frames)
{
    m_chart.setWorstFrames(frames);
    update();
}

void MetricsPlot::clear()
{
    m_chart.clear();
    update();
}

int MetricsPlot::getFrameCount() const { return m_chart.getFrameCount(); }

int MetricsPlot::frameAt(int x) const { return m_chart.frameAt(x, QRectF(rect())); }

void MetricsPlot::mousePressEvent(QMouseEvent *pEvent)
{
    const int frame = frameAt(int(pEvent->position().x()));
    if (frame >= 0)
        emit frameClicked(frame);
}

void MetricsPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    MetricsChart::Colours colours;
    colours.background = palette().color(QPalette::Base);
    colours.text = palette().color(QPalette::Text);
    colours.grid = palette().color(QPalette::Midlight);
    colours.current = palette().color(QPalette::Mid);
    m_chart.setColours(colours);
    m_chart.paint(painter, QRectF(rect()));
}
