// SliceWidget: rendered slices pixel by pixel in all five views, the redraw's
// signals and their order, stepping, view switching, the slider layout, the cache and its
// memory bound.
#include <QtTest>

#include <QBoxLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <map>
#include <random>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

#include "graymapping.h"
#include "image3d.h"
#include "imagenode.h"
#include "imagenodetestaccess.h"
#include "sliceview.h"
#include "slicewidget.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

using SampleFunction = std::function<float(int x, int y, int frame)>;

std::unique_ptr<Image3D> makeVolume(int width, int height, int frames, const SampleFunction &f)
{
    auto pVolume = std::make_unique<Image3D>(width, height, frames);
    float *pData = pVolume->getData();
    for (int frame = 0; frame < frames; ++frame)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pData[x + qint64(width) * (y + qint64(height) * frame)] = f(x, y, frame);
    return pVolume;
}

// The small main movie and reference of different sizes: main 5 x 4 x 3 (wider), reference 1
// 3 x 6 x 5 (taller, longer); one NaN sample in each. Whole values, so that under a range of
// span 255 the gray is the value minus the minimum, clamped.
const int MainWidth = 5, MainHeight = 4, MainFrames = 3;
const int RefWidth = 3, RefHeight = 6, RefFrames = 5;

float mainSample(int x, int y, int frame)
{
    if (x == 1 && y == 1 && frame == 0)
        return NaN;
    return float(x + 10 * y + 50 * frame);
}

float refSample(int x, int y, int frame)
{
    if (x == 2 && y == 0 && frame == 1)
        return NaN;
    return float(200 - (x + 10 * y + 20 * frame));
}

bool insideMain(int x, int y, int frame)
{
    return x < MainWidth && y < MainHeight && frame < MainFrames;
}

bool insideRef(int x, int y, int frame)
{
    return x < RefWidth && y < RefHeight && frame < RefFrames;
}

// Ranges of span 255 for the rendering test: gray = value - minimum, clamped to 0..255.
const float Diff1Min = -100.0f;
const float Diff2Min = -50.0f;

int clampedGray(float value, float minValue)
{
    if (std::isnan(value))
        return 0;
    return std::clamp(int(value - minValue), 0, 255);
}

int expectedGray(int view, int x, int y, int frame)
{
    const float main = insideMain(x, y, frame) ? mainSample(x, y, frame) : 0.0f;
    const float ref = insideRef(x, y, frame) ? refSample(x, y, frame) : 0.0f;
    switch (view) {
    case ViewType::Main:
        return insideMain(x, y, frame) ? clampedGray(main, 0.0f) : 0;
    case ViewType::Ref1:
        return insideRef(x, y, frame) ? clampedGray(ref, 0.0f) : 0;
    case ViewType::Ref2:
        return 0; // no reference 2: black
    case ViewType::Diff1:
        return clampedGray(main - ref, Diff1Min);
    case ViewType::Diff2:
        return clampedGray(main, Diff2Min); // reference 2 missing counts as 0
    }
    return -1;
}

int pixelGray(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    if (qAlpha(pixel) != 255 || qRed(pixel) != qGreen(pixel) || qRed(pixel) != qBlue(pixel))
        return -1;
    return qRed(pixel);
}

const QPixmap *shownPixmap(const SliceWidget &widget)
{
    return ImageNodeTestAccess::shownPixmap(widget);
}

// The note over the picture; empty when none shows.
QString noteShown(const SliceWidget &widget)
{
    const QLabel *pNote = widget.findChild<QLabel *>(QStringLiteral("missingNote"));
    return pNote->isHidden() ? QString() : pNote->text();
}

QImage shownImage(const SliceWidget &widget)
{
    return shownPixmap(widget) ? shownPixmap(widget)->toImage() : QImage();
}

// Every pixmap has a key of its own: a slice shown again with a new key was rendered again,
// one shown with the key it had before came from the cache.
qint64 shownKey(const SliceWidget &widget)
{
    return shownPixmap(widget) ? shownPixmap(widget)->cacheKey() : 0;
}

// Shows slice `slice` of view `view` the way a user would: view switch, then the slider.
void show(SliceWidget &widget, int view, int slice)
{
    widget.setViewType(view);
    widget.getSlider()->setValue(slice);
}

// Every signal of the widget, as text, in the order the log hears them. The widget's own redraw
// hears redrawNeeded first, so "redrawNeeded" comes after what that redraw emitted.
class SignalLog
{
public:
    explicit SignalLog(SliceWidget &widget)
    {
        QObject::connect(&widget, &SliceWidget::redrawNeeded, &widget,
                         [this] { entries << QStringLiteral("redrawNeeded"); });
        QObject::connect(&widget, &SliceWidget::fixedCoordinateChanged, &widget, [this](int c) {
            entries << QStringLiteral("fixedCoordinateChanged(%1)").arg(c);
        });
        QObject::connect(&widget, &SliceWidget::slicePosition, &widget, [this](int pos, int n) {
            entries << QStringLiteral("slicePosition(%1, %2)").arg(pos).arg(n);
        });
    }
    QStringList entries;
};

qint64 sliceBytes(int width, int height) { return qint64(width) * height * 4; }

// Resident and mapped memory of this process, from /proc/self/statm.
qint64 statmBytes(int field)
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.value(field).toLongLong() * sysconf(_SC_PAGESIZE);
}
qint64 residentBytes() { return statmBytes(1); }
qint64 mappedBytes() { return statmBytes(0); }

// Every slice of every view, cached or rendered anew, shows what the per-pixel rule gives.
bool slicesMatchPerPixelRule(SliceWidget &widget, int slices)
{
    bool ok = true;
    for (int v = ViewType::Main; v <= ViewType::Diff2 && ok; ++v) {
        widget.setViewType(v);
        for (int slice = 0; slice < slices && ok; ++slice) {
            widget.getSlider()->setValue(slice);
            const QImage image = shownImage(widget);
            ok = !image.isNull();
            for (int y = 0; y < image.height() && ok; ++y)
                for (int x = 0; x < image.width() && ok; ++x)
                    ok = pixelGray(image, x, y) == widget.grayAt(x, y, slice);
        }
    }
    return ok;
}

} // namespace

class TestSliceWidget : public QObject
{
    Q_OBJECT
private slots:
    void construction();
    void noVolume();
    void renderedSlices_data();
    void renderedSlices();
    void cifMainAgainstQcifReference();
    void fastPathMatchesGrayAt_data();
    void fastPathMatchesGrayAt();
    void upright();
    void sliderMovesSlice();
    void sliceCountDropWhileSlice15Shown();
    void steppingStopsAtBothEnds_data();
    void steppingStopsAtBothEnds();
    void steppingInTheMiddle();
    void setViewTypeClamps_data();
    void setViewTypeClamps();
    void rangeChangeEmptiesEveryView_data();
    void rangeChangeEmptiesEveryView();
    void setMoviesEmptiesCacheAndKeepsSlice();
    void revisitedSliceIsNotRenderedAgain();
    void sliderLayout_data();
    void sliderLayout();
    void linePositionsForwardToScene();
    void cacheBudgetKeepsSlicesRight();
    void evictedSliceReturnsIdentical();
    void evictionIsLeastRecentlyUsed();
    void shownSliceIsNeverEvicted();
    void loweringBudgetTrims();
    void clearingGivesMemoryBack();
    void farOffsetCostsNoMemory();
    void failedRenderIsToldOnceAndNotCached();
    void missingNote_data();
    void missingNote();
    void canvasAroundThePictureIsDarkGray();
    void valueText_data();
    void valueText();
    void valuesWrittenIntoVisiblePixels_data();
    void valuesWrittenIntoVisiblePixels();
    void valuesAreAnOverlay();
};

void TestSliceWidget::construction()
{
    SliceWidget widget;
    QCOMPARE(widget.size(), QSize(800, 800));
    QCOMPARE(widget.getViewType(), int(ViewType::Main));
    QCOMPARE(widget.getFixedCoordinate(), 0);
    QCOMPARE(shownPixmap(widget), nullptr);
    QCOMPARE(widget.getSlider()->orientation(), Qt::Horizontal);
    QCOMPARE(widget.getSlider()->minimum(), 0);
    QCOMPARE(widget.getSlider()->maximum(), 1);
    QCOMPARE(widget.getSlider()->value(), 0);
    QVERIFY(ImageNodeTestAccess::node(*widget.getView()->scene()));
    auto *pLayout = qobject_cast<QVBoxLayout *>(widget.layout());
    QVERIFY(pLayout);
    QCOMPARE(pLayout->itemAt(0)->widget(), widget.getView());
    QCOMPARE(pLayout->itemAt(1)->widget(), widget.getSlider());
}

void TestSliceWidget::noVolume()
{
    SliceWidget widget;
    const QRectF sceneRect = widget.getView()->scene()->sceneRect();
    SignalLog log(widget);
    QSignalSpy positions(&widget, &SliceWidget::slicePosition);

    widget.setMovies(nullptr, nullptr, nullptr);
    QCOMPARE(log.entries,
             (QStringList {"fixedCoordinateChanged(0)", "slicePosition(0, 0)", "redrawNeeded"}));
    QCOMPARE(positions.count(), 1);
    QCOMPARE(positions.at(0), (QList<QVariant> {0, 0}));
    QCOMPARE(widget.getSlider()->minimum(), 0);
    QCOMPARE(widget.getSlider()->maximum(), 0);
    QCOMPARE(shownPixmap(widget), nullptr);
    QCOMPARE(widget.getView()->scene()->sceneRect(), sceneRect);

    // With 0 slices every redraw announces slice 0 again.
    log.entries.clear();
    widget.setViewType(ViewType::Diff1);
    QCOMPARE(log.entries,
             (QStringList {"fixedCoordinateChanged(0)", "slicePosition(0, 0)", "redrawNeeded"}));
}

void TestSliceWidget::renderedSlices_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("slice");

    const char *names[] = {"Main", "Ref1", "Ref2", "Diff1", "Diff2"};
    const char *what[] = {"both movies, NaN in main", "both movies, NaN in reference",
                          "main's last frame", "reference only", "reference's last frame"};
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        for (int slice = 0; slice < RefFrames; ++slice)
            QTest::addRow("%s slice %d: %s", names[view], slice, what[slice]) << view << slice;
}

void TestSliceWidget::renderedSlices()
{
    QFETCH(int, view);
    QFETCH(int, slice);

    const auto pMain = makeVolume(MainWidth, MainHeight, MainFrames, mainSample);
    const auto pRef = makeVolume(RefWidth, RefHeight, RefFrames, refSample);
    SliceWidget widget;
    widget.setDiff1Range(Diff1Min, Diff1Min + 255.0f);
    widget.setDiff2Range(Diff2Min, Diff2Min + 255.0f);
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    QSignalSpy positions(&widget, &SliceWidget::slicePosition);
    show(widget, view, slice);

    QCOMPARE(widget.getViewType(), view);
    QCOMPARE(widget.getFixedCoordinate(), slice);
    QCOMPARE(positions.last(), (QList<QVariant> {slice, RefFrames}));
    // Every view covers the largest extent of the movies: 5 x 6, 5 slices.
    QCOMPARE(widget.getSlider()->maximum(), RefFrames - 1);
    const QImage image = shownImage(widget);
    QCOMPARE(image.size(), QSize(MainWidth, RefHeight));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int expected = expectedGray(view, x, y, slice);
            if (pixelGray(image, x, y) != expected || widget.grayAt(x, y, slice) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): shown %3, grayAt %4, expected %5")
                                         .arg(x)
                                         .arg(y)
                                         .arg(pixelGray(image, x, y))
                                         .arg(widget.grayAt(x, y, slice))
                                         .arg(expected)));
        }
    }
}

void TestSliceWidget::cifMainAgainstQcifReference()
{
    // Main 352 x 288 x 10, reference 1 176 x 144 x 20, default ranges.
    const auto pMain = makeVolume(
            352, 288, 10, [](int x, int y, int f) { return float((x + 3 * y + 7 * f) % 256); });
    const auto pRef = makeVolume(
            176, 144, 20, [](int x, int y, int f) { return float((5 * x + y + 11 * f) % 256); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    // Gray of difference d under the default -128..128.
    const auto differenceGray = [](float d) {
        const float g = (d + 128.0f) / 256.0f * 255.0f;
        return std::clamp(int(std::floor(double(g) + 0.5)), 0, 255);
    };
    for (int view : {int(ViewType::Main), int(ViewType::Ref1), int(ViewType::Diff1)}) {
        for (int slice : {0, 9, 10, 19}) {
            show(widget, view, slice);
            QCOMPARE(widget.getSlider()->maximum(), 19);
            const QImage image = shownImage(widget);
            QCOMPARE(image.size(), QSize(352, 288));
            for (int y = 0; y < 288; ++y) {
                for (int x = 0; x < 352; ++x) {
                    const bool inMain = slice < 10;
                    const bool inRef = x < 176 && y < 144;
                    const float main = inMain ? pMain->getData()[x + 352 * (y + 288 * slice)] : 0;
                    const float ref = inRef ? pRef->getData()[x + 176 * (y + 144 * slice)] : 0;
                    int expected = 0;
                    if (view == ViewType::Main)
                        expected = inMain ? int(main) : 0; // slices 10..19 all black
                    else if (view == ViewType::Ref1)
                        expected = inRef ? int(ref) : 0; // black outside 176 x 144
                    else
                        expected = differenceGray(main - ref); // 128 outside both
                    if (pixelGray(image, x, y) != expected)
                        QFAIL(qPrintable(QStringLiteral("view %1 slice %2 pixel (%3, %4): %5, "
                                                        "expected %6")
                                                 .arg(view)
                                                 .arg(slice)
                                                 .arg(x)
                                                 .arg(y)
                                                 .arg(pixelGray(image, x, y))
                                                 .arg(expected)));
                }
            }
        }
    }
    show(widget, ViewType::Diff1, 19);
    QCOMPARE(pixelGray(shownImage(widget), 300, 200), 128);
}

void TestSliceWidget::fastPathMatchesGrayAt_data()
{
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("default-like 0..255") << 0.0f << 255.0f;
    QTest::newRow("-128..128") << -128.0f << 128.0f;
    QTest::newRow("min = max = 5") << 5.0f << 5.0f;
    QTest::newRow("min = max = 0") << 0.0f << 0.0f;
    QTest::newRow("inverted 255..0") << 255.0f << 0.0f;
    QTest::newRow("huge -3e38..3e38") << -3e38f << 3e38f;
    QTest::newRow("min = max = inf") << inf << inf;
    QTest::newRow("fractional 0.1..0.7") << 0.1f << 0.7f;
}

void TestSliceWidget::fastPathMatchesGrayAt()
{
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    // Odd sizes, all different; whole, fractional, NaN, infinite and huge samples.
    std::mt19937 random(7);
    const float specials[] = {NaN,
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              3e38f,
                              -3e38f,
                              2.5f,
                              -0.0f,
                              511.0f,
                              512.0f,
                              -513.0f};
    const auto sample = [&](int, int, int) {
        const int kind = int(random() % 8);
        if (kind < 4)
            return float(random() % 256);
        if (kind < 6)
            return float(random() % 20001) / 10.0f - 1000.0f;
        return specials[random() % std::size(specials)];
    };
    const auto pMain = makeVolume(7, 5, 2, sample);
    const auto pRef1 = makeVolume(4, 9, 3, sample);
    const auto pRef2 = makeVolume(9, 2, 1, sample);
    SliceWidget widget;
    widget.setMovies(pMain.get(), pRef1.get(), pRef2.get());
    widget.setMainRange(minValue, maxValue);
    widget.setRef1Range(minValue, maxValue);
    widget.setRef2Range(minValue, maxValue);
    widget.setDiff1Range(minValue, maxValue);
    widget.setDiff2Range(minValue, maxValue);
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        for (int slice = 0; slice < 3; ++slice) {
            show(widget, view, slice);
            const QImage image = shownImage(widget);
            QCOMPARE(image.size(), QSize(9, 9));
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 9; ++x)
                    if (pixelGray(image, x, y) != widget.grayAt(x, y, slice))
                        QFAIL(qPrintable(QStringLiteral("view %1 slice %2 pixel (%3, %4): %5, "
                                                        "grayAt %6")
                                                 .arg(view)
                                                 .arg(slice)
                                                 .arg(x)
                                                 .arg(y)
                                                 .arg(pixelGray(image, x, y))
                                                 .arg(widget.grayAt(x, y, slice))));
        }
    }
}

void TestSliceWidget::upright()
{
    // Row y of the movie has gray 100 + 40 * y + x: row 0 must be at the bottom of the screen.
    const int width = 4, height = 3;
    const auto pMain = makeVolume(width, height, 1,
                                  [](int x, int y, int) { return float(100 + 40 * y + x); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    QCOMPARE(widget.getView()->scene()->sceneRect(), QRectF(0, -height, width, height));
    const ImageNode *pNode = ImageNodeTestAccess::node(*widget.getView()->scene());
    QCOMPARE(pNode->transform(), QTransform(1, 0, 0, -1, 0, 0));
    // The pixmap's row 0 is movie row 0; the node maps it to the bottom of the scene.
    const QImage pixmapImage = shownImage(widget);
    QCOMPARE(pixelGray(pixmapImage, 0, 0), 100);
    QCOMPARE(pNode->mapToScene(QPointF(0.5, 0.5)), QPointF(0.5, -0.5));

    // What the screen shows.
    const QImage screen = widget.getView()->viewport()->grab().toImage();
    const QPoint topLeft = widget.getView()->mapFromScene(QPointF(0, -height));
    for (int screenRow = 0; screenRow < height; ++screenRow) {
        const int y = height - 1 - screenRow;
        for (int x = 0; x < width; ++x)
            QCOMPARE(pixelGray(screen, topLeft.x() + x, topLeft.y() + screenRow), 100 + 40 * y + x);
    }
}

void TestSliceWidget::sliderMovesSlice()
{
    const auto pMain = makeVolume(4, 3, 6, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    SignalLog log(widget);
    widget.getSlider()->setValue(3);
    QCOMPARE(log.entries,
             (QStringList {"fixedCoordinateChanged(3)", "slicePosition(3, 6)", "redrawNeeded"}));
    QCOMPARE(widget.getFixedCoordinate(), 3);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 3);
}

void TestSliceWidget::sliceCountDropWhileSlice15Shown()
{
    const auto pLong = makeVolume(4, 3, 20, [](int, int, int f) { return float(f); });
    const auto pShort = makeVolume(4, 3, 10, [](int, int, int f) { return float(100 + f); });
    SliceWidget widget;
    widget.setMovies(pLong.get(), nullptr, nullptr);
    widget.getSlider()->setValue(15);
    QCOMPARE(widget.getFixedCoordinate(), 15);

    SignalLog log(widget);
    QSignalSpy coordinates(&widget, &SliceWidget::fixedCoordinateChanged);
    QSignalSpy positions(&widget, &SliceWidget::slicePosition);
    widget.setMovies(pShort.get(), nullptr, nullptr);

    // The new slider range pulls the slider to 9; its one nested redraw shows slice 9.
    QCOMPARE(log.entries,
             (QStringList {"fixedCoordinateChanged(9)", "slicePosition(9, 10)", "redrawNeeded",
                           "slicePosition(9, 10)", "redrawNeeded"}));
    QCOMPARE(coordinates.count(), 1);
    QCOMPARE(coordinates.at(0).at(0).toInt(), 9);
    QCOMPARE(positions.last(), (QList<QVariant> {9, 10}));
    QCOMPARE(widget.getSlider()->value(), 9);
    QCOMPARE(widget.getSlider()->maximum(), 9);
    QCOMPARE(widget.getFixedCoordinate(), 9);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 109);
}

void TestSliceWidget::steppingStopsAtBothEnds_data()
{
    QTest::addColumn<int>("startSlice");
    QTest::addColumn<bool>("useWheel");
    QTest::addColumn<int>("dir");

    QTest::newRow("Page Up at the last slice") << 4 << false << 1;
    QTest::newRow("Page Down at slice 0") << 0 << false << -1;
    QTest::newRow("wheel forward at the last slice") << 4 << true << 1;
    QTest::newRow("wheel back at slice 0") << 0 << true << -1;
}

void TestSliceWidget::steppingStopsAtBothEnds()
{
    QFETCH(int, startSlice);
    QFETCH(bool, useWheel);
    QFETCH(int, dir);

    const auto pMain = makeVolume(4, 3, 5, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    widget.getSlider()->setValue(startSlice);
    const qint64 key = shownKey(widget);
    SignalLog log(widget);
    QSignalSpy coordinates(&widget, &SliceWidget::fixedCoordinateChanged);
    QSignalSpy redraws(&widget, &SliceWidget::redrawNeeded);
    QSignalSpy positions(&widget, &SliceWidget::slicePosition);

    if (useWheel) {
        const QPoint pos(10, 10);
        QWheelEvent event(pos, widget.getView()->viewport()->mapToGlobal(pos), QPoint(),
                          QPoint(0, 120 * dir), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(widget.getView()->viewport(), &event);
    } else {
        QTest::keyClick(widget.getView(), dir > 0 ? Qt::Key_PageUp : Qt::Key_PageDown);
    }

    QCOMPARE(coordinates.count(), 0);
    QCOMPARE(redraws.count(), 0);
    QCOMPARE(positions.count(), 0);
    QCOMPARE(log.entries, QStringList());
    QCOMPARE(widget.getFixedCoordinate(), startSlice);
    QCOMPARE(shownKey(widget), key); // nothing rendered
}

void TestSliceWidget::steppingInTheMiddle()
{
    const auto pMain = makeVolume(4, 3, 5, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    widget.getSlider()->setValue(2);
    SignalLog log(widget);

    QTest::keyClick(widget.getView(), Qt::Key_PageUp);
    // The step, then the slider catching up once (its nested redraw shows the slice).
    QCOMPARE(log.entries,
             (QStringList {"fixedCoordinateChanged(3)", "fixedCoordinateChanged(3)",
                           "slicePosition(3, 5)", "redrawNeeded", "slicePosition(3, 5)",
                           "redrawNeeded"}));
    QCOMPARE(widget.getSlider()->value(), 3);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 3);

    log.entries.clear();
    QTest::keyClick(widget.getView(), Qt::Key_PageDown);
    QTest::keyClick(widget.getView(), Qt::Key_PageDown);
    QCOMPARE(widget.getFixedCoordinate(), 1);
    QCOMPARE(log.entries.mid(log.entries.size() - 2),
             (QStringList {"slicePosition(1, 5)", "redrawNeeded"}));
}

void TestSliceWidget::setViewTypeClamps_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("shown");

    QTest::newRow("7 shows Diff2") << 7 << int(ViewType::Diff2);
    QTest::newRow("5 shows Diff2") << 5 << int(ViewType::Diff2);
    QTest::newRow("INT_MAX shows Diff2") << INT_MAX << int(ViewType::Diff2);
    QTest::newRow("-1 shows Main") << -1 << int(ViewType::Main);
    QTest::newRow("INT_MIN shows Main") << INT_MIN << int(ViewType::Main);
    QTest::newRow("3 shows Diff1") << 3 << int(ViewType::Diff1);
    QTest::newRow("4 shows Diff2") << 4 << int(ViewType::Diff2);
    QTest::newRow("0 shows Main") << 0 << int(ViewType::Main);
}

void TestSliceWidget::setViewTypeClamps()
{
    QFETCH(int, requested);
    QFETCH(int, shown);

    const auto pMain = makeVolume(3, 2, 2, [](int, int, int) { return 200.0f; });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    const qint64 mainKey = shownKey(widget);
    widget.setViewType(ViewType::Ref1); // start elsewhere: every row is a change
    const qint64 ref1Key = shownKey(widget);
    SignalLog log(widget);

    widget.setViewType(requested);
    QCOMPARE(widget.getViewType(), shown);
    QCOMPARE(log.entries, (QStringList {"slicePosition(0, 2)", "redrawNeeded"}));
    const int expectedGray[] = {200, 0, 0, 255, 255}; // 200 in 0..255; 200 - 0 in -128..128
    QCOMPARE(pixelGray(shownImage(widget), 1, 1), expectedGray[shown]);
    // The cache stays: the slices seen before come back as they were rendered.
    if (shown == ViewType::Main)
        QCOMPARE(shownKey(widget), mainKey);
    widget.setViewType(ViewType::Ref1);
    QCOMPARE(shownKey(widget), ref1Key);
}

void TestSliceWidget::rangeChangeEmptiesEveryView_data()
{
    QTest::addColumn<int>("rangeView");
    QTest::addColumn<int>("shownView");

    const char *names[] = {"Main", "Ref1", "Ref2", "Diff1", "Diff2"};
    for (int rangeView = ViewType::Main; rangeView <= ViewType::Diff2; ++rangeView)
        for (int shownView : {int(ViewType::Main), int(ViewType::Diff1)})
            QTest::addRow("%s range changed while %s shown", names[rangeView], names[shownView])
                    << rangeView << shownView;
}

void TestSliceWidget::rangeChangeEmptiesEveryView()
{
    QFETCH(int, rangeView);
    QFETCH(int, shownView);

    const auto pMain = makeVolume(3, 2, 3, [](int, int, int) { return 100.0f; });
    const auto pRef = makeVolume(3, 2, 3, [](int, int, int) { return 60.0f; });
    SliceWidget widget;
    widget.setMovies(pMain.get(), pRef.get(), pRef.get());
    std::map<std::pair<int, int>, qint64> keys;
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        for (int slice = 0; slice < 2; ++slice) {
            show(widget, view, slice);
            keys[{view, slice}] = shownKey(widget);
        }
    }
    show(widget, shownView, 1);
    QCOMPARE(shownKey(widget), keys[std::make_pair(shownView, 1)]); // from the cache
    SignalLog log(widget);

    using Setter = void (SliceWidget::*)(float, float);
    const Setter setters[]
            = {&SliceWidget::setMainRange, &SliceWidget::setRef1Range, &SliceWidget::setRef2Range,
               &SliceWidget::setDiff1Range, &SliceWidget::setDiff2Range};
    (widget.*setters[rangeView])(50.0f, 150.0f);

    QCOMPARE(log.entries, (QStringList {"slicePosition(1, 3)", "redrawNeeded"}));
    // Main 100 gives 100 under 0..255 and 128 under 50..150; Diff1 40 gives 167 under
    // -128..128, and 0 under 50..150.
    const bool changedShown = rangeView == shownView;
    const int expected
            = shownView == ViewType::Main ? (changedShown ? 128 : 100) : (changedShown ? 0 : 167);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), expected);
    // Everything went: every slice seen before is rendered anew.
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        for (int slice = 0; slice < 2; ++slice) {
            show(widget, view, slice);
            QVERIFY(shownKey(widget) != keys[std::make_pair(view, slice)]);
        }
    }
}

void TestSliceWidget::setMoviesEmptiesCacheAndKeepsSlice()
{
    const auto pFirst = makeVolume(3, 2, 5, [](int, int, int f) { return float(f); });
    const auto pSecond = makeVolume(3, 2, 5, [](int, int, int f) { return float(10 + f); });
    SliceWidget widget;
    widget.setMovies(pFirst.get(), nullptr, nullptr);
    show(widget, ViewType::Main, 2);
    show(widget, ViewType::Diff1, 2);
    const qint64 diffKey = shownKey(widget);
    show(widget, ViewType::Main, 3);

    widget.setMovies(pSecond.get(), nullptr, nullptr);
    QCOMPARE(widget.getFixedCoordinate(), 3);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 13);
    show(widget, ViewType::Diff1, 2);
    QVERIFY(shownKey(widget) != diffKey);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), grayLevel(grayOfValue(12.0f, -128.0f, 128.0f)));
}

void TestSliceWidget::revisitedSliceIsNotRenderedAgain()
{
    const auto pMain = makeVolume(3, 2, 5, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    const qint64 first = shownKey(widget);
    show(widget, ViewType::Main, 1);
    const qint64 second = shownKey(widget);
    show(widget, ViewType::Diff2, 1);
    const qint64 difference = shownKey(widget);
    QVERIFY(first != second && second != difference);
    for (int round = 0; round < 2; ++round) {
        show(widget, ViewType::Main, 0);
        QCOMPARE(shownKey(widget), first);
        show(widget, ViewType::Main, 1);
        QCOMPARE(shownKey(widget), second);
        show(widget, ViewType::Diff2, 1);
        QCOMPARE(shownKey(widget), difference);
    }
}

void TestSliceWidget::sliderLayout_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("vertical");

    QTest::newRow("99 x 125: vertical slider on the right") << 99 << 125 << true;
    QTest::newRow("100 x 125: horizontal slider below") << 100 << 125 << false;
    QTest::newRow("79 x 100: vertical") << 79 << 100 << true;
    QTest::newRow("80 x 100: horizontal") << 80 << 100 << false;
    QTest::newRow("99 x 124: 4 * 124 / 5 truncates to 99, horizontal") << 99 << 124 << false;
    QTest::newRow("1 x 2: 8 / 5 truncates to 1, horizontal") << 1 << 2 << false;
    QTest::newRow("1 x 3: vertical") << 1 << 3 << true;
    QTest::newRow("square 64 x 64: horizontal") << 64 << 64 << false;
    QTest::newRow("wide 352 x 288: horizontal") << 352 << 288 << false;
}

void TestSliceWidget::sliderLayout()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, vertical);

    const auto pMain = std::make_unique<Image3D>(width, height, 2);
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    QVERIFY(shownPixmap(widget));
    QCOMPARE(shownPixmap(widget)->size(), QSize(width, height));
    QCOMPARE(widget.getSlider()->orientation(), vertical ? Qt::Vertical : Qt::Horizontal);
    QBoxLayout *pLayout = qobject_cast<QBoxLayout *>(widget.layout());
    QVERIFY(pLayout);
    QCOMPARE(qobject_cast<QHBoxLayout *>(pLayout) != nullptr, vertical);
    QCOMPARE(pLayout->count(), 2);
    QCOMPARE(pLayout->itemAt(0)->widget(), widget.getView());
    QCOMPARE(pLayout->itemAt(1)->widget(), widget.getSlider());
    QCOMPARE(widget.getView()->parentWidget(), &widget);
    QCOMPARE(widget.getSlider()->parentWidget(), &widget);
}

void TestSliceWidget::linePositionsForwardToScene()
{
    SliceWidget widget;
    QVERIFY(QMetaObject::invokeMethod(&widget, "setHorizontalPosition", Q_ARG(int, 2)));
    QVERIFY(QMetaObject::invokeMethod(&widget, "setVerticalPosition", Q_ARG(int, 0)));
    const ImageNode *pNode = ImageNodeTestAccess::node(*widget.getView()->scene());
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(*pNode), 2.0f);
    QCOMPARE(ImageNodeTestAccess::verticalPosition(*pNode), 0.0f);
}

void TestSliceWidget::cacheBudgetKeepsSlicesRight()
{
    // 64 x 32 slices of 8 KiB, a budget of three, browsed through all five views.
    const auto pMain = makeVolume(
            64, 32, 12, [](int x, int y, int f) { return float((x + y + 13 * f) % 256); });
    const auto pRef = makeVolume(64, 32, 12, [](int x, int, int f) { return float(x * f % 256); });
    SliceWidget widget;
    widget.setCacheBudget(3 * sliceBytes(64, 32));
    widget.setMovies(pMain.get(), pRef.get(), pRef.get());
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        widget.setViewType(view);
        for (int step = 0; step < 12; ++step) {
            QTest::keyClick(widget.getView(), step % 2 ? Qt::Key_PageDown : Qt::Key_PageUp);
            QTest::keyClick(widget.getView(), Qt::Key_PageUp);
            QVERIFY(shownPixmap(widget) != nullptr);
        }
    }
    // Whatever was kept or rendered again shows the current movies under the current ranges.
    QVERIFY(slicesMatchPerPixelRule(widget, 12));
}

void TestSliceWidget::evictedSliceReturnsIdentical()
{
    const auto pMain = makeVolume(33, 17, 8, [](int x, int y, int f) {
        return (x + y + f) % 5 == 0 ? NaN : float(x * 7 + y * 3 + f * 11) / 2.0f;
    });
    SliceWidget widget;
    widget.setCacheBudget(2 * sliceBytes(33, 17));
    widget.setMovies(pMain.get(), pMain.get(), nullptr);
    widget.setViewType(ViewType::Diff1);
    widget.setDiff1Range(-3.0f, 40.0f);
    widget.setViewType(ViewType::Main);
    widget.setMainRange(10.0f, 10.0f);
    const QImage first = shownImage(widget);
    const qint64 firstKey = shownKey(widget);
    for (int slice = 1; slice < 8; ++slice)
        widget.getSlider()->setValue(slice);

    widget.getSlider()->setValue(0);
    QVERIFY(shownKey(widget) != firstKey); // evicted and rendered again
    QCOMPARE(shownImage(widget), first);
    QVERIFY(slicesMatchPerPixelRule(widget, 8));
}

void TestSliceWidget::evictionIsLeastRecentlyUsed()
{
    const auto pMain = makeVolume(16, 16, 6, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setCacheBudget(3 * sliceBytes(16, 16));
    widget.setMovies(pMain.get(), nullptr, nullptr); // slice 0
    qint64 keys[6] = {shownKey(widget)};
    for (int slice : {1, 2}) {
        show(widget, ViewType::Main, slice);
        keys[slice] = shownKey(widget);
    }
    show(widget, ViewType::Main, 0); // 0 used again: 1 is now the oldest
    QCOMPARE(shownKey(widget), keys[0]);
    show(widget, ViewType::Main, 3); // 1 goes
    keys[3] = shownKey(widget);
    for (int slice : {0, 2, 3}) {
        show(widget, ViewType::Main, slice);
        QCOMPARE(shownKey(widget), keys[slice]);
    }
    show(widget, ViewType::Main, 1); // rendered again; 0, now the oldest, goes
    QVERIFY(shownKey(widget) != keys[1]);
    QCOMPARE(pixelGray(shownImage(widget), 5, 5), 1);
    show(widget, ViewType::Main, 2);
    QCOMPARE(shownKey(widget), keys[2]);
    show(widget, ViewType::Main, 0);
    QVERIFY(shownKey(widget) != keys[0]);
}

void TestSliceWidget::shownSliceIsNeverEvicted()
{
    const auto pMain = makeVolume(16, 16, 4, [](int, int, int f) { return float(40 * f); });
    SliceWidget widget;
    widget.setCacheBudget(100); // smaller than one slice
    widget.setMovies(pMain.get(), nullptr, nullptr);
    for (int view : {int(ViewType::Main), int(ViewType::Diff1), int(ViewType::Main)}) {
        for (int slice : {0, 1, 3, 2}) {
            show(widget, view, slice);
            const qint64 key = shownKey(widget);
            QVERIFY(key != 0);
            widget.setViewType(view); // a redraw of the same slice keeps it
            QCOMPARE(shownKey(widget), key);
            const int expected = view == ViewType::Main
                    ? 40 * slice
                    : grayLevel(grayOfValue(float(40 * slice), -128.0f, 128.0f));
            QCOMPARE(pixelGray(shownImage(widget), 3, 3), expected);
        }
    }
    // Nothing but the slice on screen is kept.
    const qint64 key = shownKey(widget);
    show(widget, ViewType::Main, 1);
    show(widget, ViewType::Main, 2);
    QVERIFY(shownKey(widget) != key);
}

void TestSliceWidget::loweringBudgetTrims()
{
    const auto pMain = makeVolume(16, 16, 6, [](int, int, int f) { return float(f); });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    qint64 keys[6] = {shownKey(widget)};
    for (int slice = 1; slice < 6; ++slice) {
        show(widget, ViewType::Main, slice);
        keys[slice] = shownKey(widget);
    }

    // The slice on screen and the one seen before it stay.
    widget.setCacheBudget(2 * sliceBytes(16, 16));
    QCOMPARE(shownKey(widget), keys[5]);
    show(widget, ViewType::Main, 4);
    QCOMPARE(shownKey(widget), keys[4]);
    show(widget, ViewType::Main, 3);
    QVERIFY(shownKey(widget) != keys[3]);
    keys[3] = shownKey(widget);
    // Only the slice on screen stays, still shown.
    widget.setCacheBudget(0);
    QCOMPARE(shownKey(widget), keys[3]);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 3);
    show(widget, ViewType::Main, 4);
    QVERIFY(shownKey(widget) != keys[4]);
}

void TestSliceWidget::clearingGivesMemoryBack()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine");
#endif
    // 40 slices of 1920 x 1080 (8 MiB each) from a main movie without samples and a small
    // reference of 40 frames: nearly all memory here is slice images.
    const auto pMain = std::make_unique<Image3D>(1920, 1080, 0);
    const auto pRef = makeVolume(2, 2, 40, [](int, int, int f) { return float(f); });
    const qint64 slice = sliceBytes(1920, 1080);
    const qint64 budget = 6 * slice;
    // A slice being converted beside a full cache, and the memory the program holds besides.
    const qint64 slack = 2 * slice + (qint64(16) << 20);
    SliceWidget widget;
    widget.setCacheBudget(budget);
    const qint64 before = residentBytes();
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    qint64 peak = 0;
    for (int view : {int(ViewType::Main), int(ViewType::Ref1), int(ViewType::Diff1)}) {
        widget.setViewType(view);
        // A range change empties the cache; the browsing that follows fills it again.
        widget.setDiff1Range(-100.0f, float(view));
        for (int f = 0; f < 40; ++f) {
            widget.getSlider()->setValue(f);
            peak = std::max(peak, residentBytes() - before);
        }
    }
    QVERIFY2(peak <= budget + slack,
             qPrintable(QStringLiteral("%1 MiB held, budget %2 MiB")
                                .arg(peak >> 20)
                                .arg(budget >> 20)));

    widget.setMovies(nullptr, nullptr, nullptr);
    const qint64 after = residentBytes() - before;
    QVERIFY2(after <= slack - slice,
             qPrintable(QStringLiteral("%1 MiB still held after clearing").arg(after >> 20)));
}

void TestSliceWidget::farOffsetCostsNoMemory()
{
    // A 2 x 2 reference placed ten million frames along: the views step through 10,000,002
    // slices, yet only the slices shown may cost memory.
    const auto pMain = makeVolume(2, 2, 2, [](int, int, int f) { return float(f); });
    const auto pRef = makeVolume(2, 2, 3, [](int, int, int f) { return float(100 + f); });
    const int offset = 9999999;
    SliceWidget widget;
    QSignalSpy positions(&widget, &SliceWidget::slicePosition);
    const qint64 before = residentBytes();
    widget.setMovies(MovieSet(pMain.get(), pRef.get(), nullptr, offset, 0));
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        show(widget, view, offset + 2);
    const qint64 grown = residentBytes() - before;
    QVERIFY2(grown < (qint64(32) << 20),
             qPrintable(QStringLiteral("%1 MiB held for 2 x 2 slices").arg(grown >> 20)));
    QCOMPARE(positions.last().at(1).toInt(), offset + 3);
    show(widget, ViewType::Ref1, offset + 2);
    QCOMPARE(pixelGray(shownImage(widget), 0, 0), 102);
}

void TestSliceWidget::failedRenderIsToldOnceAndNotCached()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("Lowers RLIMIT_AS, which AddressSanitizer's shadow memory cannot live with");
#endif
    // Slices of 8192 x 8192 (256 MiB) from a main movie without samples and a 2 x 2 x 2
    // reference, rendered while the address space has 64 MiB to spare.
    const auto pMain = std::make_unique<Image3D>(8192, 8192, 0);
    const auto pRef = makeVolume(2, 2, 2, [](int, int, int f) { return float(100 + f); });
    SliceWidget widget;
    widget.setViewType(ViewType::Ref1);
    QSignalSpy failures(&widget, &SliceWidget::renderFailed);
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(mappedBytes() + (qint64(64) << 20));
    QCOMPARE(setrlimit(RLIMIT_AS, &lowered), 0);
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    const bool firstShown = shownPixmap(widget) != nullptr;
    widget.getSlider()->setValue(1);
    const bool secondShown = shownPixmap(widget) != nullptr;
    QCOMPARE(setrlimit(RLIMIT_AS, &saved), 0);

    QVERIFY(!firstShown);
    QVERIFY(!secondShown);
    QCOMPARE(failures.count(), 1); // told once for two failed slices
    // With memory back the slice is rendered, not taken from the cache as a blank.
    widget.getSlider()->setValue(0);
    QVERIFY(shownPixmap(widget) != nullptr);
    QCOMPARE(shownPixmap(widget)->size(), QSize(8192, 8192));
    QCOMPARE(pixelGray(shownPixmap(widget)->copy(0, 0, 1, 1).toImage(), 0, 0), 100);
    QCOMPARE(failures.count(), 1);
}

void TestSliceWidget::missingNote_data()
{
    QTest::addColumn<QString>("loaded"); // of "m12": main, reference 1, reference 2
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("note");
    QTest::addColumn<int>("gray"); // at (0, 0) of frame 0: as without the note

    // Every movie 2x2x1, all 10; default ranges.
    QTest::newRow("nothing loaded, main view")
            << "" << int(ViewType::Main) << "Main movie not loaded" << -1;
    QTest::newRow("main view, main there") << "m" << int(ViewType::Main) << "" << 10;
    QTest::newRow("reference 1 view without it")
            << "m2" << int(ViewType::Ref1) << "Reference 1 not loaded" << 0;
    QTest::newRow("reference 2 view with it") << "2" << int(ViewType::Ref2) << "" << 10;
    QTest::newRow("difference 1 without reference 1: still main - 0")
            << "m" << int(ViewType::Diff1) << "Reference 1 not loaded" << 137;
    QTest::newRow("difference 2 without main: still 0 - reference 2")
            << "2" << int(ViewType::Diff2) << "Main movie not loaded" << 118;
    QTest::newRow("difference 2 without either")
            << "1" << int(ViewType::Diff2) << "Main movie and reference 2 not loaded" << 128;
    QTest::newRow("difference 1 with both") << "m1" << int(ViewType::Diff1) << "" << 128;
}

void TestSliceWidget::missingNote()
{
    QFETCH(QString, loaded);
    QFETCH(int, view);
    QFETCH(QString, note);
    QFETCH(int, gray);
    const auto pMovie = makeVolume(2, 2, 1, [](int, int, int) { return 10.0f; });
    auto pick = [&](char c) { return loaded.contains(QLatin1Char(c)) ? pMovie.get() : nullptr; };
    SliceWidget widget;
    widget.setMovies(pick('m'), pick('1'), pick('2'));
    widget.setViewType(view);
    QCOMPARE(noteShown(widget), note);
    if (gray >= 0) {
        QCOMPARE(pixelGray(shownImage(widget), 0, 0), gray);
        QCOMPARE(widget.grayAt(0, 0, 0), gray);
    } else {
        QVERIFY(shownImage(widget).isNull());
    }
    // Loading what was missing takes the note away.
    widget.setMovies(pMovie.get(), pMovie.get(), pMovie.get());
    QCOMPARE(noteShown(widget), QString());
}

void TestSliceWidget::canvasAroundThePictureIsDarkGray()
{
    // A white picture on the canvas: both stay told apart.
    const auto pMain = makeVolume(2, 2, 1, [](int, int, int) { return 255.0f; });
    SliceWidget widget;
    widget.setMovies(pMain.get(), nullptr, nullptr);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QImage screen = widget.getView()->viewport()->grab().toImage();
    // The top left pixel of the picture.
    const QPoint picture = widget.getView()->mapFromScene(QPointF(0, -2));
    QCOMPARE(pixelGray(screen, picture.x(), picture.y()), 255);
    QCOMPARE(pixelGray(screen, 0, 0), 48);
    QCOMPARE(pixelGray(screen, screen.width() - 1, screen.height() - 1), 48);
}

void TestSliceWidget::valueText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole: no decimals") << 12.f << "12";
    QTest::newRow("16-bit white") << 65535.f << "65535";
    QTest::newRow("a third: 4 digits") << 1.f / 3 << "0.3333";
    QTest::newRow("large fraction") << 100000.5f << "1e+05";
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "nan";
}

void TestSliceWidget::valueText()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(SliceWidget::valueText(value), text);
}

void TestSliceWidget::valuesWrittenIntoVisiblePixels_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("written");
    QTest::newRow("main at 50x") << int(ViewType::Main) << 50.0 << true;
    QTest::newRow("main at 40x") << int(ViewType::Main) << 40.0 << true;
    QTest::newRow("main at 39x: none") << int(ViewType::Main) << 39.0 << false;
    QTest::newRow("difference 1 at 50x") << int(ViewType::Diff1) << 50.0 << true;
    QTest::newRow("reference 2 not loaded: none") << int(ViewType::Ref2) << 50.0 << false;
}

void TestSliceWidget::valuesWrittenIntoVisiblePixels()
{
    QFETCH(int, view);
    QFETCH(double, zoom);
    QFETCH(bool, written);

    // A 4K main movie of (x + 3y) % 300; reference 1 of 60x40 samples 2x: the difference
    // view has values only where both movies do.
    auto main = [](int x, int y) { return float((x + 3 * y) % 300); };
    auto ref = [](int x, int y) { return float(2 * x) + 0.25f * float(y % 2); };
    const auto pMain = makeVolume(3840, 2160, 2, [&](int x, int y, int) { return main(x, y); });
    const auto pRef = makeVolume(60, 40, 2, [&](int x, int y, int) { return ref(x, y); });
    SliceWidget widget;
    widget.resize(500, 400);
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    widget.setViewType(view);
    widget.getSlider()->setValue(1);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    SliceView *pView = widget.getView();
    pView->setZoom(zoom);
    // The viewport straddles the reference's right edge, x = 60, rows 30 ... 40 from the bottom.
    pView->centerOn(QPointF(58, -35));

    const QVector<SliceWidget::ValueLabel> labels = widget.visibleValueLabels();
    QCOMPARE(!labels.isEmpty(), written);
    if (!written)
        return;
    const QRect viewport = pView->viewport()->rect();
    // Only what can be seen: at most one more column and row than fit.
    QVERIFY(labels.size() <= (viewport.width() / zoom + 2) * (viewport.height() / zoom + 2));
    bool pastTheReference = false;
    for (const SliceWidget::ValueLabel &label : labels) {
        const QRect pixel
                = pView->mapFromScene(QRectF(label.x, -(label.row + 1), 1, 1)).boundingRect();
        QVERIFY(pixel.intersects(viewport));
        float value = main(label.x, label.row);
        if (view == ViewType::Diff1)
            value -= ref(label.x, label.row);
        QCOMPARE(label.text, SliceWidget::valueText(value));
        QCOMPARE(label.darkText, widget.grayAt(label.x, label.row, 1) >= 128);
        pastTheReference = pastTheReference || label.x >= 60 || label.row >= 40;
    }
    // The movie's own extent: the reference and the difference stop at x = 60, the main goes on.
    QCOMPARE(pastTheReference, view == ViewType::Main);
}

void TestSliceWidget::valuesAreAnOverlay()
{
    // Black (0) and white (255) pixels side by side.
    const auto pMain = makeVolume(2, 1, 1, [](int x, int, int) { return x == 0 ? 0.f : 255.f; });
    SliceWidget widget;
    widget.resize(300, 200);
    widget.setMovies(pMain.get(), nullptr, nullptr);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.getView()->setZoom(100);
    widget.getView()->centerOn(QPointF(1, -0.5));
    const QImage screen = widget.getView()->viewport()->grab().toImage();
    for (int x = 0; x < 2; ++x) {
        const int gray = x == 0 ? 0 : 255;
        const QRect pixel = widget.getView()
                                    ->mapFromScene(QRectF(x, -1, 1, 1))
                                    .boundingRect()
                                    .intersected(screen.rect());
        // Text of the other end of the grays: white on black, black on white.
        int written = 0;
        for (int y = pixel.top(); y <= pixel.bottom(); ++y) {
            for (int i = pixel.left(); i <= pixel.right(); ++i)
                written += qAbs(qGray(screen.pixel(i, y)) - gray) > 128;
        }
        QVERIFY2(written > 10, qPrintable(QString::number(written)));
    }
    // The picture itself keeps its two grays.
    const QImage picture = shownImage(widget);
    QCOMPARE(pixelGray(picture, 0, 0), 0);
    QCOMPARE(pixelGray(picture, 1, 0), 255);
}

QTEST_MAIN(TestSliceWidget)
#include "tst_slicewidget.moc"
