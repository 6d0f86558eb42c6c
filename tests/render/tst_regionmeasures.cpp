// The Region panel's numbers against a direct computation over the region's samples.
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

#include "image3d.h"
#include "movieset.h"
#include "planemetrics.h"
#include "regionmeasures.h"

namespace {

// Sample (x, y) of frame f, y down from the top row: a pattern that differs in every row,
// column and frame; the reference adds a jitter of up to +-3 that depends on all three.
float mainValue(int x, int y, int f, int peak) { return float((x * 7 + y * 13 + f * 29) % peak); }
float referenceValue(int x, int y, int f, int peak)
{
    return float(std::clamp(int(mainValue(x, y, f, peak)) + (x * 5 + y * 3 + f) % 7 - 3, 0, peak));
}

// frames frames of width x height, stored as movies are: row 0 the bottom row.
std::unique_ptr<Image3D> movie(int width, int height, int frames, int depth, bool reference)
{
    auto pMovie = std::make_unique<Image3D>(width, height, frames);
    pMovie->setDepth(depth);
    const int peak = (1 << depth) - 1;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                pMovie->getData()[qint64(f) * width * height + (height - 1 - y) * width + x]
                        = reference ? referenceValue(x, y, f, peak) : mainValue(x, y, f, peak);
            }
        }
    }
    return pMovie;
}

} // namespace

class TestRegionMeasures : public QObject
{
    Q_OBJECT

private slots:
    void equalsADirectComputation_data();
    void equalsADirectComputation();
};

void TestRegionMeasures::equalsADirectComputation_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("offset"); // reference 1 starts at this main frame
    QTest::addColumn<QSize>("referenceSize");

    QTest::newRow("8-bit, at the origin") << 8 << QRect(0, 0, 12, 10) << 0 << QSize(40, 30);
    QTest::newRow("8-bit, near the top, off the origin")
            << 8 << QRect(9, 2, 16, 9) << 0 << QSize(40, 30);
    QTest::newRow("10-bit, at the bottom right")
            << 10 << QRect(22, 19, 18, 11) << 0 << QSize(40, 30);
    QTest::newRow("reference two frames later") << 8 << QRect(5, 7, 20, 12) << 2 << QSize(40, 30);
    QTest::newRow("reference smaller than the region")
            << 8 << QRect(20, 10, 20, 20) << 0 << QSize(32, 24);
}

void TestRegionMeasures::equalsADirectComputation()
{
    QFETCH(int, depth);
    QFETCH(QRect, region);
    QFETCH(int, offset);
    QFETCH(QSize, referenceSize);

    const int frame = 3;
    const auto pMain = movie(40, 30, 5, depth, false);
    // Its frame g is shown with main frame g + offset.
    const auto pReference = movie(referenceSize.width(), referenceSize.height(), 5, depth, true);
    const MovieSet movies(pMain.get(), pReference.get(), nullptr, offset);
    const RegionMeasures measures = RegionMeasures::compute(movies, frame, region);
    const int peak = (1 << depth) - 1;
    const int referenceFrame = frame - offset;

    // The main movie's spread over the region, sample by sample.
    double minimum = 1e9, maximum = -1e9, sum = 0, squares = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const double v = mainValue(x, y, frame, peak);
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
            sum += v;
            squares += v * v;
        }
    }
    const double count = double(region.width()) * region.height();
    const double mean = sum / count;
    QVERIFY(measures.movies[0].present);
    QCOMPARE(measures.movies[0].statistics.minimum, minimum);
    QCOMPARE(measures.movies[0].statistics.maximum, maximum);
    QVERIFY(std::fabs(measures.movies[0].statistics.mean - mean) < 1e-9);
    QVERIFY(std::fabs(measures.movies[0].statistics.standardDeviation
                      - std::sqrt(squares / count - mean * mean))
            < 1e-6);
    QVERIFY(!measures.movies[2].present);
    QVERIFY(!measures.references[1].compared);

    // The errors over the part of the region both frames hold, and SSIM as on a copy of it.
    const QRect common = region & QRect(QPoint(0, 0), referenceSize);
    double squaredError = 0;
    std::vector<float> mainPart, referencePart;
    for (int y = common.top(); y <= common.bottom(); ++y) {
        for (int x = common.left(); x <= common.right(); ++x) {
            const double d = double(mainValue(x, y, frame, peak))
                    - referenceValue(x, y, referenceFrame, peak);
            squaredError += d * d;
            mainPart.push_back(mainValue(x, y, frame, peak));
            referencePart.push_back(referenceValue(x, y, referenceFrame, peak));
        }
    }
    const double mse = squaredError / (double(common.width()) * common.height());
    const PlaneRef mainRef {mainPart.data(), common.width(), common.width(), common.height()};
    const PlaneRef referenceRef {referencePart.data(), common.width(), common.width(),
                                 common.height()};
    const RegionMeasures::Reference &reference = measures.references[0];
    QVERIFY(reference.compared);
    QVERIFY(std::fabs(reference.metrics.mse - mse) < 1e-9);
    QVERIFY(std::fabs(reference.metrics.psnr - 10 * std::log10(double(peak) * peak / mse)) < 1e-9);
    QCOMPARE(reference.metrics.ssim, PlaneMetrics::compare(mainRef, referenceRef, depth).ssim);
}

QTEST_GUILESS_MAIN(TestRegionMeasures)
#include "tst_regionmeasures.moc"
