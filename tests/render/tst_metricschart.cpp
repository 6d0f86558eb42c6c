#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>

#include "metricschart.h"

class TestMetricsChart : public QObject
{
    Q_OBJECT

private slots:
    void identicalFramesKeepTheScale_data();
    void identicalFramesKeepTheScale();
};

void TestMetricsChart::identicalFramesKeepTheScale_data()
{
    QTest::addColumn<QVector<double>>("psnr");
    QTest::addColumn<int>("identical"); // a frame drawn on the band of identical frames

    const double inf = INFINITY;
    const double nan = std::nan("");
    QTest::newRow("one identical frame among 30 to 34 dB")
            << QVector<double> {30, 31, inf, 34} << 2;
    QTest::newRow("every frame identical") << QVector<double> {inf, inf, inf} << 1;
    QTest::newRow("identical first, then a frame not compared")
            << QVector<double> {inf, nan, 40, 41.5} << 0;
}

void TestMetricsChart::identicalFramesKeepTheScale()
{
    QFETCH(QVector<double>, psnr);
    QFETCH(int, identical);

    MetricsChart chart;
    chart.setPsnr(1, psnr);
    const MetricsChart::Axis axis = chart.psnrAxis();
    QVERIFY(std::isfinite(axis.low) && std::isfinite(axis.high) && axis.low < axis.high);
    const QRectF bounds(0, 0, 400, 200);
    const QRectF area = chart.plotArea(bounds);
    // The finite values fill the scale: none squashed by the infinite one.
    double low = INFINITY, high = -INFINITY;
    for (double value : psnr) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
            QVERIFY(chart.yOfPsnr(value, bounds) >= area.top() - 0.5);
            QVERIFY(chart.yOfPsnr(value, bounds) <= area.bottom() + 0.5);
        }
    }
    if (high > low)
        QVERIFY(chart.yOfPsnr(low, bounds) - chart.yOfPsnr(high, bounds) > area.height() / 3);

    // The identical frame is painted in reference 1's colour above the scale, inside the chart.
    const double y = chart.yOfPsnr(INFINITY, bounds);
    QVERIFY(y > bounds.top() && y < area.top());
    QImage image(bounds.size().toSize(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.paint(painter, bounds);
    painter.end();
    const double x = psnr.size() > 1 ? area.left() + identical * area.width() / (psnr.size() - 1)
                                     : area.center().x();
    // Drawn where it belongs: reference 1's blue within a pixel or two of the point.
    bool found = false;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor pixel
                    = image.pixelColor(std::clamp(int(x) + dx, 0, image.width() - 1), int(y) + dy);
            found = found || (pixel.blue() > 150 && pixel.red() < 80);
        }
    }
    QVERIFY(found);
}

QTEST_MAIN(TestMetricsChart)
#include "tst_metricschart.moc"
