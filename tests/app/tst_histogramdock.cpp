// The histogram dock's markers: dragging one sets the session's range of the view shown.
#include <QtTest>

#include <memory>

#include "histogram.h"
#include "histogramdock.h"
#include "histogramplot.h"
#include "image3d.h"
#include "session.h"
#include "viewtype.h"

class TestHistogramDock : public QObject
{
    Q_OBJECT
private slots:
    void draggingAMarker_data();
    void draggingAMarker();
};

void TestHistogramDock::draggingAMarker_data()
{
    QTest::addColumn<int>("viewType");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");
    QTest::addColumn<bool>("dragMin");
    QTest::addColumn<int>("target");
    QTest::addColumn<float>("minAfter");
    QTest::addColumn<float>("maxAfter");
    QTest::newRow("low marker to 40") << 0 << 0.0f << 255.0f << true << 40 << 40.0f << 255.0f;
    QTest::newRow("high marker to 200") << 0 << 0.0f << 255.0f << false << 200 << 0.0f << 200.0f;
    QTest::newRow("low marker stops at the high one")
            << 0 << 0.0f << 100.0f << true << 180 << 100.0f << 100.0f;
    QTest::newRow("high marker stops at the low one")
            << 0 << 60.0f << 255.0f << false << 20 << 60.0f << 60.0f;
    QTest::newRow("difference: low marker to -30")
            << int(ViewType::Diff1) << -128.0f << 128.0f << true << -30 << -30.0f << 128.0f;
}

void TestHistogramDock::draggingAMarker()
{
    QFETCH(int, viewType);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);
    QFETCH(bool, dragMin);
    QFETCH(int, target);
    QFETCH(float, minAfter);
    QFETCH(float, maxAfter);
    Session session;
    session.setMovie(Session::Main, std::make_unique<Image3D>(16, 16, 2));
    session.setViewType(viewType);
    session.setRange(viewType, {minValue, maxValue});
    const DisplayRange otherRange = session.getRange(viewType == 0 ? ViewType::Diff1 : 0);
    HistogramDock dock(session);
    dock.resize(900, 300);
    dock.show();
    auto *pPlot = dock.findChild<HistogramPlot *>();
    QTRY_VERIFY(!pPlot->getHistogram().isEmpty());

    const int y = pPlot->height() / 2;
    QTest::mousePress(pPlot, Qt::LeftButton, {},
                      QPoint(pPlot->positionOf(dragMin ? minValue : maxValue), y));
    QTest::mouseMove(pPlot, QPoint(pPlot->positionOf(target), y));
    QTest::mouseRelease(pPlot, Qt::LeftButton, {}, QPoint(pPlot->positionOf(target), y));
    QCOMPARE(session.getRange(viewType).minValue, minAfter);
    QCOMPARE(session.getRange(viewType).maxValue, maxAfter);
    QCOMPARE(session.getRange(viewType == 0 ? ViewType::Diff1 : 0), otherRange);
}

QTEST_MAIN(TestHistogramDock)
#include "tst_histogramdock.moc"
