#include "image3d.h"
#include "percentilerange.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A movie of w x h x n holding `values` in sample order (frame 0 first, row 0 at the bottom).
std::unique_ptr<Image3D> movieOf(int w, int h, int n, const QList<float> &values)
{
    auto pMovie = std::make_unique<Image3D>(w, h, n);
    for (qint64 i = 0; i < pMovie->getSampleCount(); ++i)
        pMovie->getData()[i] = values.value(int(i));
    return pMovie;
}

// The same movie served frame by frame on demand, as a file is.
std::unique_ptr<Image3D> onDemand(const Image3D &source)
{
    auto pMovie = std::make_unique<Image3D>();
    const qint64 frameSamples = qint64(source.getWidth()) * source.getHeight();
    pMovie->setFrameSource(
            source.getWidth(), source.getHeight(), source.getNumFrames(),
            [&source, frameSamples](int f, float *pSamples, std::string &) {
                std::copy_n(source.getFrame(f).get(), frameSamples, pSamples);
                return true;
            },
            1 << 20);
    return pMovie;
}

const float NaN = std::numeric_limits<float>::quiet_NaN();
using Outcome = PercentileRange::Outcome;

} // namespace

class tst_PercentileRange : public QObject
{
    Q_OBJECT

private slots:
    void valueRange_data();
    void valueRange();
    void differenceRange_data();
    void differenceRange();
    void matchesASortedCopy_data();
    void matchesASortedCopy();
    void cancelLeavesBoundsAlone();
};

void tst_PercentileRange::valueRange_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QList<float>>("values"); // one row per frame
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("share");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");

    const QList<float> ten = {7, 3, 10, 1, 5, 9, 2, 8, 4, 6};
    QTest::newRow("1..10, share 0: smallest and largest")
            << 10 << 1 << ten << 0 << -1 << 0.0 << 1.f << 10.f;
    QTest::newRow("1..10, share 0.2: k = floor(1.8) = 1")
            << 10 << 1 << ten << 0 << -1 << 0.2 << 2.f << 9.f;
    QTest::newRow("1..10, share 0.5: k = 4, the middle pair")
            << 10 << 1 << ten << 0 << -1 << 0.5 << 5.f << 6.f;
    QTest::newRow("NaN left out: n = 3, k = 1")
            << 4 << 1 << QList<float> {NaN, 3, 1, 2} << 0 << -1 << 0.5 << 2.f << 2.f;
    QTest::newRow("only NaN: 0..255")
            << 2 << 1 << QList<float> {NaN, NaN} << 0 << -1 << 0.0 << 0.f << 255.f;
    QTest::newRow("fractions: sorted -1.5 0.5 2.25 3 7.75, k = 1")
            << 5 << 1 << QList<float> {0.5f, 2.25f, -1.5f, 7.75f, 3} << 0 << -1 << 0.25 << 0.5f
            << 3.f;
    QTest::newRow("integers, then a fraction in frame 1: 0 1 2.5 3 4 9, k = 1")
            << 3 << 2 << QList<float> {4, 1, 3, 2.5f, 0, 9} << 0 << -1 << 0.2 << 1.f << 4.f;
    QTest::newRow("beyond the histogram: 200000")
            << 3 << 1 << QList<float> {200000, 1, 2} << 0 << -1 << 0.0 << 1.f << 200000.f;
    QTest::newRow("frame 1 only") << 2 << 3 << QList<float> {0, 100, 5, 6, 50, 200} << 1 << 1 << 0.0
                                  << 5.f << 6.f;
    QTest::newRow("count past the last frame: to the last")
            << 2 << 3 << QList<float> {0, 100, 5, 6, 50, 200} << 2 << 9 << 0.0 << 50.f << 200.f;
    // The outlier share: 2001 samples, k = floor(0.001 * 2000) = 2.
    QList<float> many(2001, 50.f);
    many[10] = -9;
    many[11] = 1;
    many[12] = 2;
    many[2000] = 999;
    many[1999] = 998;
    many[1998] = 997;
    QTest::newRow("0.1 % points of 2001 samples: the third from each end")
            << 2001 << 1 << many << 0 << -1 << PercentileRange::OutlierShare << 2.f << 997.f;
}

void tst_PercentileRange::valueRange()
{
    QFETCH(int, width);
    QFETCH(int, frames);
    QFETCH(QList<float>, values);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(double, share);
    QFETCH(float, low);
    QFETCH(float, high);

    const std::unique_ptr<Image3D> pMovie = movieOf(width, 1, frames, values);
    const std::unique_ptr<Image3D> pFromFile = onDemand(*pMovie);
    for (const Image3D *pRead : {pMovie.get(), pFromFile.get()}) {
        float minValue = -1;
        float maxValue = -1;
        QCOMPARE(PercentileRange::valueRange(pRead, first, count, share, minValue, maxValue),
                 Outcome::Done);
        QCOMPARE(minValue, low);
        QCOMPARE(maxValue, high);
    }
}

void tst_PercentileRange::differenceRange_data()
{
    QTest::addColumn<QList<float>>("first"); // 2x1 per frame, 2 frames; empty: no movie
    QTest::addColumn<QList<float>>("second"); // 1x1 per frame, 1 frame; empty: no movie
    QTest::addColumn<int>("frame"); // -1: both frames
    QTest::addColumn<double>("share");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");

    const QList<float> a = {10, 20, 30, 40};
    QTest::newRow("frame 0: 10 - 4, 20 - 0 (outside the second)")
            << a << QList<float> {4} << 0 << 0.0 << 6.f << 20.f;
    QTest::newRow("frame 1: the second has no frame 1, counts as 0")
            << a << QList<float> {4} << 1 << 0.0 << 30.f << 40.f;
    QTest::newRow("both frames: 6 20 30 40, k = 1")
            << a << QList<float> {4} << -1 << 0.34 << 20.f << 30.f;
    QTest::newRow("NaN difference left out")
            << QList<float> {10, 20, 30, 40} << QList<float> {NaN} << 0 << 0.0 << 20.f << 20.f;
    QTest::newRow("neither: -128..128")
            << QList<float>() << QList<float>() << -1 << 0.0 << -128.f << 128.f;
}

void tst_PercentileRange::differenceRange()
{
    QFETCH(QList<float>, first);
    QFETCH(QList<float>, second);
    QFETCH(int, frame);
    QFETCH(double, share);
    QFETCH(float, low);
    QFETCH(float, high);

    const std::unique_ptr<Image3D> pFirst = first.isEmpty() ? nullptr : movieOf(2, 1, 2, first);
    const std::unique_ptr<Image3D> pSecond = second.isEmpty() ? nullptr : movieOf(1, 1, 1, second);
    float minValue = -1;
    float maxValue = -1;
    QCOMPARE(PercentileRange::differenceRange(pFirst.get(), pSecond.get(), std::max(frame, 0),
                                              frame < 0 ? -1 : 1, share, minValue, maxValue),
             Outcome::Done);
    QCOMPARE(minValue, low);
    QCOMPARE(maxValue, high);
}

void tst_PercentileRange::matchesASortedCopy_data()
{
    QTest::addColumn<bool>("integers");
    QTest::addColumn<double>("share");
    QTest::newRow("10-bit integers, 0.1 %") << true << 0.001;
    QTest::newRow("10-bit integers, 5 %") << true << 0.05;
    QTest::newRow("fractions, 0.1 %") << false << 0.001;
    QTest::newRow("fractions, 30 %") << false << 0.3;
}

void tst_PercentileRange::matchesASortedCopy()
{
    QFETCH(bool, integers);
    QFETCH(double, share);
    // 97x31x3 samples, differences of two such movies too.
    QRandomGenerator random(7);
    auto randomMovie = [&]() {
        auto pMovie = std::make_unique<Image3D>(97, 31, 3);
        for (qint64 i = 0; i < pMovie->getSampleCount(); ++i) {
            const int v = int(random.bounded(1024));
            pMovie->getData()[i] = integers ? float(v) : float(v) / 7.0f;
        }
        return pMovie;
    };
    const std::unique_ptr<Image3D> pA = randomMovie();
    const std::unique_ptr<Image3D> pB = randomMovie();
    auto expected = [share](std::vector<float> sorted) {
        std::sort(sorted.begin(), sorted.end());
        const size_t k = size_t(std::floor(share * double(sorted.size() - 1)));
        return std::make_pair(sorted[k], sorted[sorted.size() - 1 - k]);
    };
    std::vector<float> values(pA->getData(), pA->getData() + pA->getSampleCount());
    std::vector<float> differences;
    for (qint64 i = 0; i < pA->getSampleCount(); ++i)
        differences.push_back(pA->getData()[i] - pB->getData()[i]);

    float low = 0, high = 0;
    QCOMPARE(PercentileRange::valueRange(pA.get(), 0, -1, share, low, high), Outcome::Done);
    QCOMPARE(std::make_pair(low, high), expected(values));
    QCOMPARE(PercentileRange::differenceRange(pA.get(), pB.get(), 0, -1, share, low, high),
             Outcome::Done);
    QCOMPARE(std::make_pair(low, high), expected(differences));
}

void tst_PercentileRange::cancelLeavesBoundsAlone()
{
    const std::unique_ptr<Image3D> pMovie = movieOf(2, 1, 3, {5, 6, 7, 8, 9, 10});
    QList<int> told;
    const ProgressCallback cancelAtTwo = [&told](int done, int total) {
        told.append(done * 10 + total);
        return done < 2;
    };
    float low = -1, high = -1;
    QCOMPARE(PercentileRange::valueRange(pMovie.get(), 0, -1, 0.1, low, high, cancelAtTwo),
             Outcome::Cancelled);
    QCOMPARE(told, (QList<int> {13, 23}));
    QCOMPARE(PercentileRange::differenceRange(pMovie.get(), nullptr, 1, -1, 0.1, low, high,
                                              cancelAtTwo),
             Outcome::Cancelled);
    QCOMPARE(told, (QList<int> {13, 23, 12, 22}));
    QCOMPARE(std::make_pair(low, high), std::make_pair(-1.f, -1.f));
}

QTEST_APPLESS_MAIN(tst_PercentileRange)
#include "tst_percentilerange.moc"
