// Difference views in their display modes: the pixels each mode paints, checked by value.
#include <QtTest>

#include <memory>
#include <random>
#include <vector>

#include "differencerendering.h"
#include "graymapping.h"
#include "image3d.h"

namespace {

using Mode = DifferenceDisplay::Mode;

// A one-frame movie whose samples are given top row first, as the picture is seen.
std::unique_ptr<Image3D> picture(int width, int height, const std::vector<float> &topDown)
{
    auto pMovie = std::make_unique<Image3D>(width, height, 1);
    for (int i = 0; i < width * height; ++i)
        pMovie->getData()[i % width + width * (height - 1 - i / width)] = topDown[size_t(i)];
    return pMovie;
}

DifferenceDisplay display(Mode mode, float threshold = 0.0f, int blockSize = 16)
{
    DifferenceDisplay result;
    result.mode = mode;
    result.threshold = threshold;
    result.blockSize = blockSize;
    return result;
}

// The one pixel of main - reference, 1 x 1 movies, by render and by pixelAt (which must agree).
QRgb onePixel(float main, float reference, const DisplayRange &range, const DisplayRange &mainRange,
              const DifferenceDisplay &shown)
{
    const auto pMain = picture(1, 1, {main});
    const auto pReference = picture(1, 1, {reference});
    const MovieSet::ViewSources sources {pMain.get(), 0, pReference.get(), 0, true};
    const QRgb rendered
            = DifferenceRendering::render(sources, range, mainRange, shown, 10, 1, 1).pixel(0, 0);
    if (rendered != DifferenceRendering::pixelAt(sources, range, mainRange, shown, 10, 1, 1, 0, 0))
        return 0; // no mode paints a transparent pixel
    return rendered;
}

} // namespace

class TestDifferenceRendering : public QObject
{
    Q_OBJECT
private slots:
    void pixelColours_data();
    void pixelColours();
    void blocks_data();
    void blocks();
    void renderAgreesWithPixelAt_data();
    void renderAgreesWithPixelAt();
};

void TestDifferenceRendering::pixelColours_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<float>("main");
    QTest::addColumn<float>("reference");
    QTest::addColumn<float>("maximum"); // ranges -maximum..maximum and, for main, 0..maximum
    QTest::addColumn<QRgb>("expected");
    const QRgb mask = DifferenceRendering::MaskColour;
    // Mask threshold 10: the main sample's gray under the main range unless |d| > 10.
    QTest::newRow("mask: |d| = T shows main's gray")
            << Mode::Mask << 100.f << 90.f << 255.f << qRgb(100, 100, 100);
    QTest::newRow("mask: |d| > T, d < 0, highlighted")
            << Mode::Mask << 89.f << 100.f << 255.f << mask;
    QTest::newRow("mask 10-bit: |d| = T, gray of 1000")
            << Mode::Mask << 1000.f << 990.f << 1023.f << qRgb(249, 249, 249);
    QTest::newRow("absolute 10-bit: d -1000 of 1023")
            << Mode::Absolute << 0.f << 1000.f << 1023.f << qRgb(249, 249, 249);
    QTest::newRow("heat: d at min is blue")
            << Mode::Heat << 0.f << 128.f << 128.f << qRgb(0, 0, 255);
    QTest::newRow("heat 10-bit: d 1000 beyond max is red")
            << Mode::Heat << 1000.f << 0.f << 600.f << qRgb(255, 0, 0);
}

void TestDifferenceRendering::pixelColours()
{
    QFETCH(Mode, mode);
    QFETCH(float, main);
    QFETCH(float, reference);
    QFETCH(float, maximum);
    QFETCH(QRgb, expected);
    QCOMPARE(onePixel(main, reference, {-maximum, maximum}, {0.0f, maximum}, display(mode, 10.0f)),
             expected);
}

void TestDifferenceRendering::blocks_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y"); // from the top row
    QTest::addColumn<QRect>("block");
    QTest::addColumn<double>("mse");
    // 5 x 3 in 2 x 2 blocks: the right column and the bottom row of blocks are cut short.
    QTest::newRow("top-left, full") << 1 << 1 << QRect(0, 0, 2, 2) << 16.0;
    QTest::newRow("top, MSE 400 above 16^2") << 3 << 0 << QRect(2, 0, 2, 2) << 400.0;
    QTest::newRow("right edge, 1 wide") << 4 << 1 << QRect(4, 0, 1, 2) << 64.0;
    QTest::newRow("bottom edge, 1 high") << 0 << 2 << QRect(0, 2, 2, 1) << 128.0;
    QTest::newRow("bottom-right corner, 1 x 1") << 4 << 2 << QRect(4, 2, 1, 1) << 144.0;
}

void TestDifferenceRendering::blocks()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QRect, block);
    QFETCH(double, mse);
    const auto pMain = picture(5, 3, std::vector<float>(15, 100.0f));
    const auto pReference = picture(5, 3,
                                    {96, 96, 120, 120, 108, //
                                     96, 96, 120, 120, 108, //
                                     84, 100, 100, 100, 88});
    const MovieSet::ViewSources sources {pMain.get(), 0, pReference.get(), 0, true};
    const DisplayRange range {-16.0f, 16.0f};
    const QImage image
            = DifferenceRendering::render(sources, range, {}, display(Mode::Blocks, 0, 2), 8, 5, 3);
    BlockError found;
    QVERIFY(DifferenceRendering::blockAt(sources, 8, 2, x, 2 - y, found));
    QCOMPARE(QRect(found.x, found.y, found.width, found.height), block);
    QCOMPARE(found.mse, mse);
    // The colour follows the MSE on 0 .. 16^2, brighter for a larger one; the whole block has it.
    const QRgb colour = DifferenceRendering::blockColour(mse / 256.0);
    QVERIFY(qGray(colour) > qGray(DifferenceRendering::blockColour(mse / 512.0)));
    for (int bx = block.left(); bx <= block.right(); ++bx) {
        for (int by = block.top(); by <= block.bottom(); ++by)
            QCOMPARE(image.pixel(bx, 2 - by), colour);
    }
}

void TestDifferenceRendering::renderAgreesWithPixelAt_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::newRow("signed") << Mode::Signed;
    QTest::newRow("absolute") << Mode::Absolute;
    QTest::newRow("heat") << Mode::Heat;
    QTest::newRow("mask") << Mode::Mask;
    QTest::newRow("blocks") << Mode::Blocks;
}

void TestDifferenceRendering::renderAgreesWithPixelAt()
{
    QFETCH(Mode, mode);
    // 10-bit movies of different sizes on a larger canvas, rows longer than a vector's width;
    // some samples are not whole numbers.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(0, 1023);
    std::vector<float> mainSamples(19 * 5), referenceSamples(13 * 6);
    for (float &value : mainSamples)
        value = float(sample(random)) + (sample(random) % 7 == 0 ? 0.25f : 0.0f);
    for (float &value : referenceSamples)
        value = float(sample(random));
    const auto pMain = picture(19, 5, mainSamples);
    const auto pReference = picture(13, 6, referenceSamples);
    const MovieSet::ViewSources sources {pMain.get(), 0, pReference.get(), 0, true};
    const DisplayRange range {-700.0f, 900.0f};
    const DisplayRange mainRange {10.0f, 1000.0f};
    const DifferenceDisplay shown = display(mode, 300.0f, 4);
    const QImage image = DifferenceRendering::render(sources, range, mainRange, shown, 10, 21, 7);
    if (mode == Mode::Signed)
        QCOMPARE(image, renderView(sources, range.minValue, range.maxValue, 21, 7));
    for (int row = 0; row < 7; ++row) {
        for (int x = 0; x < 21; ++x) {
            const QRgb pixel = image.pixel(x, row);
            QCOMPARE(pixel,
                     DifferenceRendering::pixelAt(sources, range, mainRange, shown, 10, 21, 7, x,
                                                  row));
            const bool inMain = x < 19 && row < 5;
            const bool inBoth = inMain && x < 13;
            if (!inBoth && mode != Mode::Signed && !(mode == Mode::Mask && inMain))
                QCOMPARE(pixel, qRgb(0, 0, 0));
        }
    }
}

QTEST_GUILESS_MAIN(TestDifferenceRendering)
#include "tst_differencerendering.moc"
