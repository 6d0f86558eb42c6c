#include "planemetrics.h"

#include <QTest>
#include <QVector>

#include <cmath>

namespace {

// A plane stored top-down: the rows as written, top row first.
struct Plane
{
    QVector<float> samples;
    int width = 0;
    int height = 0;
    PlaneRef ref() const { return PlaneRef {samples.constData(), width, width, height}; }
};

Plane filled(int width, int height, float value)
{
    return Plane {QVector<float>(width * height, value), width, height};
}

// Values that vary over the plane in no simple pattern, 0 .. 255.
Plane texture(int width, int height)
{
    Plane plane = filled(width, height, 0.0f);
    quint32 state = 777;
    for (float &sample : plane.samples) {
        state = state * 1103515245u + 12345u;
        sample = float(state >> 24);
    }
    return plane;
}

// The same plane stored bottom-up: row 0 is the picture's bottom row.
QVector<float> flipped(const Plane &plane)
{
    QVector<float> rows;
    for (int y = plane.height - 1; y >= 0; --y)
        rows.append(plane.samples.mid(y * plane.width, plane.width));
    return rows;
}

// SSIM of an 8x8 window of two constant planes a and b: only the luminance term is left,
// (2ab + C1) / (a^2 + b^2 + C1), with C1 = (0.01 * peak)^2 rounded as a sum over 64 samples:
// round(0.0001 * peak^2 * 64) / 64^2.
double constantWindowSsim(double a, double b, int depth)
{
    const double peak = (1 << depth) - 1;
    const double c1 = std::floor(0.0001 * peak * peak * 64 + 0.5) / 4096.0;
    return (2 * a * b + c1) / (a * a + b * b + c1);
}

} // namespace

class TestPlaneMetrics : public QObject
{
    Q_OBJECT

private slots:
    void mseAndPsnr_data();
    void mseAndPsnr();
    void ssim_data();
    void ssim();
    void gridStartsAtTheTopRow();
    void tooSmallForAWindow();
};

void TestPlaneMetrics::mseAndPsnr_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QVector<int>>("changes"); // index, amount added to the reference
    QTest::addColumn<float>("offset"); // added to every reference sample
    QTest::addColumn<double>("mse");
    QTest::addColumn<double>("psnr");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("identical: MSE 0, PSNR inf")
            << 8 << 4 << 2 << QVector<int> {} << 0.0f << 0.0 << inf;
    // One of 8 samples off by 1: MSE 1/8; PSNR 10 log10(255^2 * 8) = 57.1617
    QTest::newRow("4x2, one sample off by 1")
            << 8 << 4 << 2 << QVector<int> {5, 1} << 0.0f << 0.125 << 57.16170348;
    // Every sample 2 higher: MSE 4; PSNR 10 log10(255^2 / 4) = 42.1102
    QTest::newRow("constant offset 2")
            << 8 << 4 << 4 << QVector<int> {} << 2.0f << 4.0 << 42.11020370;
    // Offsets of 3 and -5 on two of 16: (9 + 25) / 16; 10-bit peak 1023.
    QTest::newRow("10-bit, two samples off: peak 1023")
            << 10 << 4 << 4 << QVector<int> {0, 3, 15, -5} << 0.0f << 2.125 << 56.92392333;
    QTest::newRow("16-bit, one sample off by 1000")
            << 16 << 2 << 2 << QVector<int> {2, 1000} << 0.0f << 250000.0 << 42.35006599;
}

void TestPlaneMetrics::mseAndPsnr()
{
    QFETCH(int, depth);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QVector<int>, changes);
    QFETCH(float, offset);
    QFETCH(double, mse);
    QFETCH(double, psnr);

    const Plane main = filled(width, height, 100.0f);
    Plane reference = filled(width, height, 100.0f + offset);
    for (int i = 0; i + 1 < changes.size(); i += 2)
        reference.samples[changes[i]] += float(changes[i + 1]);

    const PlaneMetrics result = PlaneMetrics::compare(main.ref(), reference.ref(), depth);
    QCOMPARE(result.mse, mse);
    if (std::isinf(psnr))
        QVERIFY(std::isinf(result.psnr) && result.psnr > 0);
    else
        QVERIFY2(std::abs(result.psnr - psnr) < 1e-6, qPrintable(QString::number(result.psnr)));
    QCOMPARE(result.width, width);
    QCOMPARE(result.height, height);
}

void TestPlaneMetrics::ssim_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<float>("mainValue");
    QTest::addColumn<float>("referenceValue");
    QTest::addColumn<double>("expected");

    QTest::newRow("equal constants: 1") << 8 << 50.0f << 50.0f << 1.0;
    QTest::newRow("100 against 110, 8-bit")
            << 8 << 100.0f << 110.0f << constantWindowSsim(100, 110, 8);
    QTest::newRow("0 against 20: C1 matters") << 8 << 0.0f << 20.0f << constantWindowSsim(0, 20, 8);
    QTest::newRow("400 against 440, 10-bit constants")
            << 10 << 400.0f << 440.0f << constantWindowSsim(400, 440, 10);
}

void TestPlaneMetrics::ssim()
{
    QFETCH(int, depth);
    QFETCH(float, mainValue);
    QFETCH(float, referenceValue);
    QFETCH(double, expected);

    // 12x8: two windows across (starting at x = 0 and 4), one down.
    const Plane main = filled(12, 8, mainValue);
    const Plane reference = filled(12, 8, referenceValue);
    const double ssim = PlaneMetrics::compare(main.ref(), reference.ref(), depth).ssim;
    QVERIFY2(std::abs(ssim - expected) < 1e-6, qPrintable(QString::number(ssim, 'g', 10)));

    // Only the last four columns differ: the window at x = 0 is whole, the one at x = 4
    // covers them, so the mean is (1 + s) / 2, s being the SSIM of a half-changed window.
    Plane halfChanged = filled(12, 8, mainValue);
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 12; ++x)
            halfChanged.samples[y * 12 + x] = referenceValue;
    const double windowed = PlaneMetrics::compare(main.ref(), halfChanged.ref(), depth).ssim;
    Plane windowMain = filled(8, 8, mainValue);
    Plane windowChanged = filled(8, 8, mainValue);
    for (int y = 0; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            windowChanged.samples[y * 8 + x] = referenceValue;
    const double s = PlaneMetrics::compare(windowMain.ref(), windowChanged.ref(), depth).ssim;
    QVERIFY(std::abs(windowed - (1.0 + s) / 2.0) < 1e-7);
    QCOMPARE(PlaneMetrics::compare(main.ref(), main.ref(), depth).ssim, 1.0);
}

void TestPlaneMetrics::gridStartsAtTheTopRow()
{
    // 8x9: one window, on the top eight rows; the bottom row is outside every window.
    const Plane main = texture(8, 9);
    Plane bottomChanged = main;
    Plane topChanged = main;
    for (int x = 0; x < 8; ++x) {
        bottomChanged.samples[8 * 8 + x] += 40.0f;
        topChanged.samples[x] += 40.0f;
    }
    // Stored bottom-up as the movies are: the grid still starts at the picture's top row.
    const QVector<float> mainRows = flipped(main);
    const QVector<float> bottomRows = flipped(bottomChanged);
    const QVector<float> topRows = flipped(topChanged);
    const PlaneRef mainRef = PlaneRef::bottomUp(mainRows.constData(), 8, 9);
    const PlaneRef bottomRef = PlaneRef::bottomUp(bottomRows.constData(), 8, 9);
    const PlaneRef topRef = PlaneRef::bottomUp(topRows.constData(), 8, 9);

    const PlaneMetrics bottom = PlaneMetrics::compare(mainRef, bottomRef, 8);
    QCOMPARE(bottom.ssim, 1.0);
    QCOMPARE(bottom.mse, 8 * 1600.0 / 72.0);
    QVERIFY(PlaneMetrics::compare(mainRef, topRef, 8).ssim < 0.99);
    // The same numbers from the top-down copies.
    QCOMPARE(PlaneMetrics::compare(main.ref(), topChanged.ref(), 8).ssim,
             PlaneMetrics::compare(mainRef, topRef, 8).ssim);
}

void TestPlaneMetrics::tooSmallForAWindow()
{
    // Different sizes meet over the common top-left 7x9 area: too narrow for an 8x8 window.
    const Plane main = texture(7, 12);
    const Plane reference = texture(10, 9);
    const PlaneMetrics result = PlaneMetrics::compare(main.ref(), reference.ref(), 8);
    QCOMPARE(result.width, 7);
    QCOMPARE(result.height, 9);
    QVERIFY(std::isnan(result.ssim));
    double sum = 0.0;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 7; ++x) {
            const double d = main.samples[y * 7 + x] - reference.samples[y * 10 + x];
            sum += d * d;
        }
    }
    QCOMPARE(result.mse, sum / 63.0);
    QVERIFY(result.mse > 0);
}

QTEST_APPLESS_MAIN(TestPlaneMetrics)
#include "tst_planemetrics.moc"
