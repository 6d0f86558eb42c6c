// The value-to-gray mapping: the per-pixel rules, and the fast slice renderers
// checked against them pixel by pixel on awkward inputs.
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "graymapping.h"
#include "image3d.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();
const float Huge = 3.0e38f;

// A 1 x 1 x 1 volume holding one sample.
std::unique_ptr<Image3D> oneSample(float value)
{
    auto pVolume = std::make_unique<Image3D>(1, 1, 1);
    pVolume->getData()[0] = value;
    return pVolume;
}

std::unique_ptr<Image3D> filledVolume(int width, int height, int frames, unsigned seed)
{
    auto pVolume = std::make_unique<Image3D>(width, height, frames);
    std::mt19937 random(seed);
    // Whole byte values most of the time (what the readers deliver), and every awkward kind
    // of float in between.
    const float specials[] = {NaN,     Inf,     -Inf,  Huge,   -Huge,  0.0f,   -0.0f,  0.5f,
                              2.5f,    127.5f,  5.0f,  5.5f,   -1.0f,  256.0f, 511.0f, 512.0f,
                              -512.0f, -513.0f, 1e20f, 1e-30f, 254.5f, 300.0f, -300.0f};
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> special(0, int(std::size(specials)) - 1);
    std::uniform_real_distribution<float> anyValue(-1000.0f, 1000.0f);
    float *pData = pVolume->getData();
    for (qint64 i = 0; i < pVolume->getSampleCount(); ++i) {
        const int k = kind(random);
        if (k < 5)
            pData[i] = float(byte(random));
        else if (k < 7)
            pData[i] = anyValue(random);
        else if (k < 9)
            pData[i] = specials[special(random)];
        else
            pData[i] = float(byte(random)) + 0.5f;
    }
    return pVolume;
}

int pixelGray(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    // Opaque gray: the three channels equal, alpha 255.
    if (qAlpha(pixel) != 255 || qRed(pixel) != qGreen(pixel) || qRed(pixel) != qBlue(pixel))
        return -1;
    return qRed(pixel);
}

struct Range
{
    const char *name;
    float minValue;
    float maxValue;
};

const Range awkwardRanges[] = {
        {"0..255", 0.0f, 255.0f},
        {"-128..128", -128.0f, 128.0f},
        {"min = max = 5", 5.0f, 5.0f},
        {"min = max = 0", 0.0f, 0.0f},
        {"inverted 255..0", 255.0f, 0.0f},
        {"huge -3e38..3e38", -Huge, Huge},
        {"min = max = 1e20 (top rounds back to min)", 1e20f, 1e20f},
        {"min = max = inf", Inf, Inf},
        {"NaN minimum", NaN, 255.0f},
        {"fractional 0.1..0.2", 0.1f, 0.2f},
        {"wide -1000.5..1000.25", -1000.5f, 1000.25f},
};

} // namespace

class TestGrayMapping : public QObject
{
    Q_OBJECT
private slots:
    void grayValueOfSample_data();
    void grayValueOfSample();
    void grayValueOutsideIsBlack_data();
    void grayValueOutsideIsBlack();
    void grayDifferenceOfSamples_data();
    void grayDifferenceOfSamples();
    void grayLevelRounding_data();
    void grayLevelRounding();
    void renderValueSliceMatchesPerPixelRule_data();
    void renderValueSliceMatchesPerPixelRule();
    void renderDifferenceSliceMatchesPerPixelRule_data();
    void renderDifferenceSliceMatchesPerPixelRule();
    void wholeRowsUnderManyRanges_data();
    void wholeRowsUnderManyRanges();
    void blocksOfFourAtTheTableEdges_data();
    void blocksOfFourAtTheTableEdges();
    void renderedPixelsAreOpaqueGrayRgb32();
    void renderOfEmptySizeIsNull();
};

void TestGrayMapping::grayValueOfSample_data()
{
    QTest::addColumn<float>("sample");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");
    QTest::addColumn<int>("gray");

    QTest::newRow("0..255: 0 gives 0") << 0.0f << 0.0f << 255.0f << 0;
    QTest::newRow("0..255: 1 gives 1") << 1.0f << 0.0f << 255.0f << 1;
    QTest::newRow("0..255: 17 gives 17") << 17.0f << 0.0f << 255.0f << 17;
    QTest::newRow("0..255: 128 gives 128") << 128.0f << 0.0f << 255.0f << 128;
    QTest::newRow("0..255: 254 gives 254") << 254.0f << 0.0f << 255.0f << 254;
    QTest::newRow("0..255: 255 gives 255") << 255.0f << 0.0f << 255.0f << 255;
    QTest::newRow("0..255: -1 clamps to 0") << -1.0f << 0.0f << 255.0f << 0;
    QTest::newRow("0..255: 300 clamps to 255") << 300.0f << 0.0f << 255.0f << 255;
    QTest::newRow("0..255: 2.5 rounds half up to 3") << 2.5f << 0.0f << 255.0f << 3;
    QTest::newRow("0..255: 0.5 rounds half up to 1") << 0.5f << 0.0f << 255.0f << 1;
    QTest::newRow("0..255: 2.4 rounds down to 2") << 2.4f << 0.0f << 255.0f << 2;
    QTest::newRow("0..255: -0.0 gives 0") << -0.0f << 0.0f << 255.0f << 0;
    QTest::newRow("-128..128: 0 gives 128 (127.5 up)") << 0.0f << -128.0f << 128.0f << 128;
    QTest::newRow("-128..128: -128 gives 0") << -128.0f << -128.0f << 128.0f << 0;
    QTest::newRow("-128..128: 128 gives 255") << 128.0f << -128.0f << 128.0f << 255;
    QTest::newRow("-128..128: 1 gives 128") << 1.0f << -128.0f << 128.0f << 128;
    QTest::newRow("-128..128: -1 gives 127") << -1.0f << -128.0f << 128.0f << 127;
    QTest::newRow("min = max = 5: 5 gives 0") << 5.0f << 5.0f << 5.0f << 0;
    QTest::newRow("min = max = 5: 5.5 gives 128") << 5.5f << 5.0f << 5.0f << 128;
    QTest::newRow("min = max = 5: 6 gives 255") << 6.0f << 5.0f << 5.0f << 255;
    QTest::newRow("min = max = 5: 7 gives 255") << 7.0f << 5.0f << 5.0f << 255;
    QTest::newRow("min = max = 5: 4.9 gives 0") << 4.9f << 5.0f << 5.0f << 0;
    QTest::newRow("min = max = 0: 0.5 gives 128") << 0.5f << 0.0f << 0.0f << 128;
    QTest::newRow("inverted 255..0: 0 gives 255") << 0.0f << 255.0f << 0.0f << 255;
    QTest::newRow("inverted 255..0: 100 gives 155") << 100.0f << 255.0f << 0.0f << 155;
    QTest::newRow("inverted 255..0: 255 gives 0") << 255.0f << 255.0f << 0.0f << 0;
    QTest::newRow("inverted 255..0: 300 clamps to 0") << 300.0f << 255.0f << 0.0f << 0;
    QTest::newRow("inverted 255..0: -5 clamps to 255") << -5.0f << 255.0f << 0.0f << 255;
    QTest::newRow("NaN sample in 0..255 is black") << NaN << 0.0f << 255.0f << 0;
    QTest::newRow("NaN sample in inverted 255..0 is black") << NaN << 255.0f << 0.0f << 0;
    QTest::newRow("NaN sample with min = max is black") << NaN << 5.0f << 5.0f << 0;
    QTest::newRow("+inf in 0..255 gives 255") << Inf << 0.0f << 255.0f << 255;
    QTest::newRow("-inf in 0..255 gives 0") << -Inf << 0.0f << 255.0f << 0;
    QTest::newRow("+inf in inverted 255..0 gives 0") << Inf << 255.0f << 0.0f << 0;
    QTest::newRow("-inf in inverted 255..0 gives 255") << -Inf << 255.0f << 0.0f << 255;
    QTest::newRow("huge 3e38 in 0..255 gives 255") << Huge << 0.0f << 255.0f << 255;
    QTest::newRow("huge -3e38 in 0..255 gives 0") << -Huge << 0.0f << 255.0f << 0;
    QTest::newRow("huge range -3e38..3e38: 0 gives 128") << 0.0f << -Huge << Huge << 128;
    QTest::newRow("huge range: 3e38 - -3e38 overflows to inf, 255") << Huge << -Huge << Huge << 255;
    QTest::newRow("huge range: -3e38 gives 0") << -Huge << -Huge << Huge << 0;
    QTest::newRow("min = max = 1e20: 1e20 is 0 / 0, black") << 1e20f << 1e20f << 1e20f << 0;
    QTest::newRow("min = max = 1e20: 2e20 is x / 0, white") << 2e20f << 1e20f << 1e20f << 255;
    QTest::newRow("min = max = 1e20: 0 is -x / 0, black") << 0.0f << 1e20f << 1e20f << 0;
    QTest::newRow("min = max = inf: inf - inf is NaN, black") << Inf << Inf << Inf << 0;
    QTest::newRow("min = max = inf: 0 is black") << 0.0f << Inf << Inf << 0;
    QTest::newRow("NaN minimum: black") << 100.0f << NaN << 255.0f << 0;
    QTest::newRow("NaN maximum: black") << 100.0f << 0.0f << NaN << 0;
}

void TestGrayMapping::grayValueOfSample()
{
    QFETCH(float, sample);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);
    QFETCH(int, gray);

    const auto pVolume = oneSample(sample);
    const float value = grayValue(pVolume.get(), minValue, maxValue, 0, 0, 0);
    QVERIFY(value >= 0.0f && value <= 255.0f); // never NaN
    QCOMPARE(grayLevel(value), gray);
    QCOMPARE(grayOfValue(sample, minValue, maxValue), value);
}

void TestGrayMapping::grayValueOutsideIsBlack_data()
{
    QTest::addColumn<bool>("nullVolume");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("frame");

    QTest::newRow("null volume") << true << 0 << 0 << 0;
    QTest::newRow("x = width") << false << 3 << 0 << 0;
    QTest::newRow("x = -1") << false << -1 << 0 << 0;
    QTest::newRow("y = height") << false << 0 << 2 << 0;
    QTest::newRow("y = -1") << false << 0 << -1 << 0;
    QTest::newRow("frame = frames") << false << 0 << 0 << 4;
    QTest::newRow("frame = -1") << false << 0 << 0 << -1;
}

void TestGrayMapping::grayValueOutsideIsBlack()
{
    QFETCH(bool, nullVolume);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, frame);

    Image3D volume(3, 2, 4);
    const Image3D *pVolume = nullVolume ? nullptr : &volume;
    // No range applies to a missing sample: black even where 0 would map to white or gray.
    QCOMPARE(grayValue(pVolume, 0.0f, 255.0f, x, y, frame), 0.0f);
    QCOMPARE(grayValue(pVolume, 255.0f, 0.0f, x, y, frame), 0.0f);
    QCOMPARE(grayValue(pVolume, -128.0f, 128.0f, x, y, frame), 0.0f);
}

void TestGrayMapping::grayDifferenceOfSamples_data()
{
    QTest::addColumn<bool>("hasA");
    QTest::addColumn<float>("sampleA");
    QTest::addColumn<bool>("hasB");
    QTest::addColumn<float>("sampleB");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");
    QTest::addColumn<int>("gray");

    QTest::newRow("-128..128: 50 - 50 = 0 gives 128")
            << true << 50.0f << true << 50.0f << -128.0f << 128.0f << 128;
    QTest::newRow("-128..128: 0 - 128 gives 0")
            << true << 0.0f << true << 128.0f << -128.0f << 128.0f << 0;
    QTest::newRow("-128..128: 200 - 72 = 128 gives 255")
            << true << 200.0f << true << 72.0f << -128.0f << 128.0f << 255;
    QTest::newRow("-128..128: 11 - 10 = 1 gives 128")
            << true << 11.0f << true << 10.0f << -128.0f << 128.0f << 128;
    QTest::newRow("-128..128: 10 - 11 = -1 gives 127")
            << true << 10.0f << true << 11.0f << -128.0f << 128.0f << 127;
    QTest::newRow("-128..128: 255 - 0 clamps to 255")
            << true << 255.0f << true << 0.0f << -128.0f << 128.0f << 255;
    QTest::newRow("-128..128: 0 - 255 clamps to 0")
            << true << 0.0f << true << 255.0f << -128.0f << 128.0f << 0;
    QTest::newRow("only A: 50 counts against 0, gives 177")
            << true << 50.0f << false << 0.0f << -128.0f << 128.0f << 177;
    QTest::newRow("only B: 50 counts as -50, gives 78")
            << false << 0.0f << true << 50.0f << -128.0f << 128.0f << 78;
    QTest::newRow("neither: difference 0 gives 128, not black")
            << false << 0.0f << false << 0.0f << -128.0f << 128.0f << 128;
    QTest::newRow("neither in inverted 128..-128: 128 too")
            << false << 0.0f << false << 0.0f << 128.0f << -128.0f << 128;
    QTest::newRow("neither in 0..255: black")
            << false << 0.0f << false << 0.0f << 0.0f << 255.0f << 0;
    QTest::newRow("neither in -255..0: white")
            << false << 0.0f << false << 0.0f << -255.0f << 0.0f << 255;
    QTest::newRow("min = max = 0: 1 - 0.5 = 0.5 gives 128")
            << true << 1.0f << true << 0.5f << 0.0f << 0.0f << 128;
    QTest::newRow("A NaN is black") << true << NaN << true << 5.0f << -128.0f << 128.0f << 0;
    QTest::newRow("B NaN is black") << true << 5.0f << true << NaN << -128.0f << 128.0f << 0;
    QTest::newRow("A NaN, B missing, is black")
            << true << NaN << false << 0.0f << -128.0f << 128.0f << 0;
    QTest::newRow("A missing, B NaN, is black")
            << false << 0.0f << true << NaN << -128.0f << 128.0f << 0;
    QTest::newRow("NaN in inverted range is black")
            << true << NaN << true << 0.0f << 128.0f << -128.0f << 0;
    QTest::newRow("inf - inf is NaN, black")
            << true << Inf << true << Inf << -128.0f << 128.0f << 0;
    QTest::newRow("inf - 5 gives 255") << true << Inf << true << 5.0f << -128.0f << 128.0f << 255;
    QTest::newRow("5 - inf gives 0") << true << 5.0f << true << Inf << -128.0f << 128.0f << 0;
    QTest::newRow("3e38 - -3e38 overflows to inf, 255")
            << true << Huge << true << -Huge << -128.0f << 128.0f << 255;
    QTest::newRow("-3e38 - 3e38 overflows to -inf, 0")
            << true << -Huge << true << Huge << -128.0f << 128.0f << 0;
    QTest::newRow("3e38 - 3e38 = 0 gives 128")
            << true << Huge << true << Huge << -128.0f << 128.0f << 128;
}

void TestGrayMapping::grayDifferenceOfSamples()
{
    QFETCH(bool, hasA);
    QFETCH(float, sampleA);
    QFETCH(bool, hasB);
    QFETCH(float, sampleB);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);
    QFETCH(int, gray);

    const auto pA = oneSample(sampleA);
    const auto pB = oneSample(sampleB);
    // A missing operand, both ways: a null volume, and a position outside the volume.
    const float byNull = grayDifference(hasA ? pA.get() : nullptr, hasB ? pB.get() : nullptr,
                                        minValue, maxValue, 0, 0, 0);
    QVERIFY(byNull >= 0.0f && byNull <= 255.0f);
    QCOMPARE(grayLevel(byNull), gray);

    Image3D wideA(2, 1, 1);
    Image3D wideB(2, 1, 1);
    wideA.getData()[1] = sampleA;
    wideB.getData()[1] = sampleB;
    // Volumes of 1 x 1 where missing, 2 x 1 where present: position x = 1.
    const float byPosition = grayDifference(hasA ? &wideA : pA.get(), hasB ? &wideB : pB.get(),
                                            minValue, maxValue, 1, 0, 0);
    QCOMPARE(grayLevel(byPosition), gray);
}

void TestGrayMapping::grayLevelRounding_data()
{
    QTest::addColumn<float>("gray");
    QTest::addColumn<int>("level");

    QTest::newRow("0 gives 0") << 0.0f << 0;
    QTest::newRow("-0.0 gives 0") << -0.0f << 0;
    QTest::newRow("tiny 1e-30 gives 0") << 1e-30f << 0;
    QTest::newRow("0.49999997 stays 0 (no float rounding of g + 0.5)")
            << std::nextafter(0.5f, 0.0f) << 0;
    QTest::newRow("0.5 rounds up to 1") << 0.5f << 1;
    QTest::newRow("2.5 rounds up to 3 (not to even)") << 2.5f << 3;
    QTest::newRow("127.5 rounds up to 128") << 127.5f << 128;
    QTest::newRow("127.49 rounds down to 127") << 127.49f << 127;
    QTest::newRow("254.5 rounds up to 255") << 254.5f << 255;
    QTest::newRow("255 gives 255") << 255.0f << 255;
    QTest::newRow("NaN gives 0") << NaN << 0;
    QTest::newRow("-1 gives 0") << -1.0f << 0;
    QTest::newRow("300 gives 255") << 300.0f << 255;
    QTest::newRow("inf gives 255") << Inf << 255;
}

void TestGrayMapping::grayLevelRounding()
{
    QFETCH(float, gray);
    QFETCH(int, level);
    QCOMPARE(grayLevel(gray), level);
}

void TestGrayMapping::renderValueSliceMatchesPerPixelRule_data()
{
    QTest::addColumn<int>("volumeWidth");
    QTest::addColumn<int>("volumeHeight");
    QTest::addColumn<int>("imageWidth");
    QTest::addColumn<int>("imageHeight");
    QTest::addColumn<bool>("nullVolume");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    struct Shape
    {
        const char *name;
        int volumeWidth, volumeHeight, imageWidth, imageHeight;
        bool nullVolume;
    };
    const Shape shapes[] = {
            {"odd 7x5 filling the image", 7, 5, 7, 5, false},
            {"odd 7x5 in a larger 11x9 image", 7, 5, 11, 9, false},
            {"1x1 in a 3x2 image", 1, 1, 3, 2, false},
            {"wide 33x3", 33, 3, 33, 3, false},
            {"null volume in a 5x4 image", 1, 1, 5, 4, true},
    };
    for (const Shape &shape : shapes) {
        for (const Range &range : awkwardRanges) {
            QTest::addRow("%s, range %s", shape.name, range.name)
                    << shape.volumeWidth << shape.volumeHeight << shape.imageWidth
                    << shape.imageHeight << shape.nullVolume << range.minValue << range.maxValue;
        }
    }
}

void TestGrayMapping::renderValueSliceMatchesPerPixelRule()
{
    QFETCH(int, volumeWidth);
    QFETCH(int, volumeHeight);
    QFETCH(int, imageWidth);
    QFETCH(int, imageHeight);
    QFETCH(bool, nullVolume);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    const auto pFilled = filledVolume(volumeWidth, volumeHeight, 3, 1234u + unsigned(volumeWidth));
    const Image3D *pVolume = nullVolume ? nullptr : pFilled.get();
    // Frames -1 and 3 lie outside the volume: an all-black image.
    for (int frame = -1; frame <= 3; ++frame) {
        const QImage image
                = renderValueSlice(pVolume, minValue, maxValue, frame, imageWidth, imageHeight);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), QSize(imageWidth, imageHeight));
        for (int y = 0; y < imageHeight; ++y) {
            for (int x = 0; x < imageWidth; ++x) {
                const int expected = grayLevel(grayValue(pVolume, minValue, maxValue, x, y, frame));
                if (pixelGray(image, x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("frame %1, pixel (%2, %3): %4, expected %5")
                                             .arg(frame)
                                             .arg(x)
                                             .arg(y)
                                             .arg(pixelGray(image, x, y))
                                             .arg(expected)));
            }
        }
    }
}

void TestGrayMapping::renderDifferenceSliceMatchesPerPixelRule_data()
{
    QTest::addColumn<QSize>("sizeA");
    QTest::addColumn<int>("framesA");
    QTest::addColumn<QSize>("sizeB");
    QTest::addColumn<int>("framesB");
    QTest::addColumn<bool>("nullA");
    QTest::addColumn<bool>("nullB");
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    struct Shape
    {
        const char *name;
        QSize sizeA;
        int framesA;
        QSize sizeB;
        int framesB;
        bool nullA, nullB;
        QSize imageSize;
    };
    const Shape shapes[] = {
            {"A 7x5x3 wider, B 4x9x2 taller", QSize(7, 5), 3, QSize(4, 9), 2, false, false,
             QSize(7, 9)},
            {"A 3x3x1 narrower, B 9x2x3 wider", QSize(3, 3), 1, QSize(9, 2), 3, false, false,
             QSize(9, 3)},
            {"same odd size 5x5x2", QSize(5, 5), 2, QSize(5, 5), 2, false, false, QSize(5, 5)},
            {"both inside a larger 13x11 image", QSize(5, 4), 3, QSize(6, 3), 3, false, false,
             QSize(13, 11)},
            {"B null", QSize(7, 5), 3, QSize(1, 1), 1, false, true, QSize(7, 5)},
            {"A null", QSize(1, 1), 1, QSize(7, 5), 3, true, false, QSize(7, 5)},
            {"both null", QSize(1, 1), 1, QSize(1, 1), 1, true, true, QSize(3, 2)},
    };
    for (const Shape &shape : shapes) {
        for (const Range &range : awkwardRanges) {
            QTest::addRow("%s, range %s", shape.name, range.name)
                    << shape.sizeA << shape.framesA << shape.sizeB << shape.framesB << shape.nullA
                    << shape.nullB << shape.imageSize << range.minValue << range.maxValue;
        }
    }
}

void TestGrayMapping::renderDifferenceSliceMatchesPerPixelRule()
{
    QFETCH(QSize, sizeA);
    QFETCH(int, framesA);
    QFETCH(QSize, sizeB);
    QFETCH(int, framesB);
    QFETCH(bool, nullA);
    QFETCH(bool, nullB);
    QFETCH(QSize, imageSize);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    const auto pFilledA = filledVolume(sizeA.width(), sizeA.height(), framesA, 99u);
    const auto pFilledB = filledVolume(sizeB.width(), sizeB.height(), framesB, 77u);
    const Image3D *pA = nullA ? nullptr : pFilledA.get();
    const Image3D *pB = nullB ? nullptr : pFilledB.get();
    for (int frame = -1; frame <= std::max(framesA, framesB); ++frame) {
        const QImage image = renderDifferenceSlice(pA, pB, minValue, maxValue, frame,
                                                   imageSize.width(), imageSize.height());
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), imageSize);
        for (int y = 0; y < imageSize.height(); ++y) {
            for (int x = 0; x < imageSize.width(); ++x) {
                const int expected
                        = grayLevel(grayDifference(pA, pB, minValue, maxValue, x, y, frame));
                if (pixelGray(image, x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("frame %1, pixel (%2, %3): %4, expected %5")
                                             .arg(frame)
                                             .arg(x)
                                             .arg(y)
                                             .arg(pixelGray(image, x, y))
                                             .arg(expected)));
            }
        }
    }
}

void TestGrayMapping::wholeRowsUnderManyRanges_data()
{
    // Long runs of whole values, what the readers deliver, go through the renderers' fastest
    // paths; they must give the per-pixel rule's pixels under any range.
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<QList<float>>("subtrahends"); // empty: a movie view

    QList<float> ramp;
    for (int v = -530; v < 531; ++v)
        ramp << float(v);
    QTest::newRow("movie view: -530..530 in order") << ramp << QList<float>();

    QList<float> minuends;
    QList<float> subtrahends;
    for (int k = 0; k < 1100; ++k) {
        minuends << float((k * 7) % 256);
        subtrahends << float((k * 3) % 256 - (k % 5 == 0 ? 400 : 0));
    }
    QTest::newRow("difference view: -255..655") << minuends << subtrahends;

    // Blocks of sixteen whole values with one that is not (or lies outside the table).
    QList<float> mixed;
    const float intruders[] = {0.5f, 512.0f, -513.0f, NaN, 1e9f, -0.25f, 255.5f, Inf};
    for (int block = 0; block < 32; ++block) {
        for (int lane = 0; lane < 16; ++lane) {
            mixed << (lane == block % 16 ? intruders[block % 8]
                                         : float((block * 31 + lane * 17) % 256));
        }
    }
    QTest::newRow("movie view: one intruder per block of sixteen") << mixed << QList<float>();
}

void TestGrayMapping::wholeRowsUnderManyRanges()
{
    QFETCH(QList<float>, values);
    QFETCH(QList<float>, subtrahends);
    const int width = int(values.size());
    Image3D volumeA(width, 1, 1);
    Image3D volumeB(width, 1, 1);
    for (int x = 0; x < width; ++x) {
        volumeA.getData()[x] = values[x];
        volumeB.getData()[x] = subtrahends.isEmpty() ? 0.0f : subtrahends[x];
    }

    QList<QPair<float, float>> ranges;
    for (const Range &range : awkwardRanges)
        ranges << qMakePair(range.minValue, range.maxValue);
    ranges << qMakePair(16.0f, 235.0f) << qMakePair(-7.0f, 300.0f) << qMakePair(3.0f, 3.0f)
           << qMakePair(0.0f, 1.0f) << qMakePair(1e-3f, 254.999f) << qMakePair(-255.0f, 255.0f)
           << qMakePair(-0.0f, 255.0f) << qMakePair(0.0f, 510.0f) << qMakePair(100.0f, 99.0f);
    std::mt19937 random(4242u);
    std::uniform_int_distribution<int> whole(-600, 600);
    std::uniform_real_distribution<float> fraction(-600.0f, 600.0f);
    for (int k = 0; k < 40; ++k) {
        if (k % 2 == 0)
            ranges << qMakePair(float(whole(random)), float(whole(random)));
        else
            ranges << qMakePair(fraction(random), fraction(random));
    }

    for (const auto &range : ranges) {
        const QImage image = subtrahends.isEmpty()
                ? renderValueSlice(&volumeA, range.first, range.second, 0, width, 1)
                : renderDifferenceSlice(&volumeA, &volumeB, range.first, range.second, 0, width, 1);
        for (int x = 0; x < width; ++x) {
            const float gray = subtrahends.isEmpty()
                    ? grayValue(&volumeA, range.first, range.second, x, 0, 0)
                    : grayDifference(&volumeA, &volumeB, range.first, range.second, x, 0, 0);
            if (pixelGray(image, x, 0) != grayLevel(gray))
                QFAIL(qPrintable(QStringLiteral("range %1..%2, x %3 (%4 - %5): %6, expected %7")
                                         .arg(double(range.first))
                                         .arg(double(range.second))
                                         .arg(x)
                                         .arg(double(volumeA.getData()[x]))
                                         .arg(double(volumeB.getData()[x]))
                                         .arg(pixelGray(image, x, 0))
                                         .arg(grayLevel(gray))));
        }
    }
}

void TestGrayMapping::blocksOfFourAtTheTableEdges_data()
{
    // Rows of whole values, four at a time, with one awkward value per block at a changing
    // lane: whole blocks take the looked-up pixels, the others the per-value rule.
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<QList<float>>("subtrahends"); // empty: a movie view

    const QList<float> edges = {-0.0f,         511.0f, -512.0f, 512.0f, -513.0f, -2147483648.0f,
                                2147483648.0f, NaN,    0.5f,    -0.5f,  Inf};
    QList<float> values;
    for (int k = 0; k < edges.size(); ++k) {
        for (int lane = 0; lane < 4; ++lane)
            values << (lane == k % 4 ? edges[k] : float((k * 37 + lane * 11) % 256));
    }
    values << 1.0f << 2.0f; // and a tail of two
    QTest::newRow("movie view: -0.0, table edges, int edges, NaN, halves")
            << values << QList<float>();

    // Differences of whole samples that land on and just past the table's edges.
    QList<float> minuends;
    QList<float> subtrahends;
    const float pairs[][2] = {{255.0f, 256.0f},  {255.0f, -257.0f}, {-256.0f, 256.0f},
                              {-257.0f, 256.0f}, {0.0f, 0.0f},      {-0.0f, 0.0f},
                              {1e30f, 1e30f},    {Inf, Inf},        {3.0f, 0.5f}};
    for (const auto &pair : pairs) {
        for (int lane = 0; lane < 4; ++lane) {
            minuends << (lane == 2 ? pair[0] : 200.0f);
            subtrahends << (lane == 2 ? pair[1] : float(lane * 60));
        }
    }
    minuends << 7.0f;
    subtrahends << 9.0f;
    QTest::newRow("difference view: 511, 512, -512, -513, -0.0, inf - inf")
            << minuends << subtrahends;
}

void TestGrayMapping::blocksOfFourAtTheTableEdges()
{
    QFETCH(QList<float>, values);
    QFETCH(QList<float>, subtrahends);
    const int width = int(values.size());
    Image3D volumeA(width, 1, 1);
    Image3D volumeB(width, 1, 1);
    for (int x = 0; x < width; ++x) {
        volumeA.getData()[x] = values[x];
        volumeB.getData()[x] = subtrahends.isEmpty() ? 0.0f : subtrahends[x];
    }
    for (const Range &range : awkwardRanges) {
        const QImage image = subtrahends.isEmpty()
                ? renderValueSlice(&volumeA, range.minValue, range.maxValue, 0, width, 1)
                : renderDifferenceSlice(&volumeA, &volumeB, range.minValue, range.maxValue, 0,
                                        width, 1);
        for (int x = 0; x < width; ++x) {
            const float gray = subtrahends.isEmpty()
                    ? grayValue(&volumeA, range.minValue, range.maxValue, x, 0, 0)
                    : grayDifference(&volumeA, &volumeB, range.minValue, range.maxValue, x, 0, 0);
            if (pixelGray(image, x, 0) != grayLevel(gray))
                QFAIL(qPrintable(QStringLiteral("range %1, x %2 (%3 - %4): %5, expected %6")
                                         .arg(range.name)
                                         .arg(x)
                                         .arg(double(volumeA.getData()[x]))
                                         .arg(double(volumeB.getData()[x]))
                                         .arg(pixelGray(image, x, 0))
                                         .arg(grayLevel(gray))));
        }
    }
}

void TestGrayMapping::renderedPixelsAreOpaqueGrayRgb32()
{
    Image3D volume(2, 1, 1);
    volume.getData()[0] = 10.0f;
    volume.getData()[1] = 200.0f;
    const QImage image = renderValueSlice(&volume, 0.0f, 255.0f, 0, 3, 1);
    QCOMPARE(image.pixel(0, 0), qRgb(10, 10, 10));
    QCOMPARE(image.pixel(1, 0), qRgb(200, 200, 200));
    QCOMPARE(image.pixel(2, 0), qRgb(0, 0, 0));
    // The raw scan line holds 0xffRRGGBB words.
    const auto *pLine = reinterpret_cast<const quint32 *>(image.constScanLine(0));
    QCOMPARE(pLine[0], 0xff0a0a0au);
    QCOMPARE(pLine[1], 0xffc8c8c8u);
    QCOMPARE(pLine[2], 0xff000000u);
}

void TestGrayMapping::renderOfEmptySizeIsNull()
{
    Image3D volume(2, 2, 1);
    QVERIFY(renderValueSlice(&volume, 0.0f, 255.0f, 0, 0, 2).isNull());
    QVERIFY(renderDifferenceSlice(&volume, &volume, 0.0f, 255.0f, 0, 2, 0).isNull());
}

QTEST_APPLESS_MAIN(TestGrayMapping)
#include "tst_graymapping.moc"
