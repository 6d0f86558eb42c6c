#include "image3d.h"
#include "percentilerange.h"

#include "pixelformat.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
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

// The same movie served frame by frame on demand, as a file is; frames from `unreadableFrom`
// on can't be read.
std::unique_ptr<Image3D> onDemand(const Image3D &source, int unreadableFrom = INT_MAX)
{
    auto pMovie = std::make_unique<Image3D>();
    const qint64 frameSamples = qint64(source.getWidth()) * source.getHeight();
    pMovie->setFrameSource(
            source.getWidth(), source.getHeight(), source.getNumFrames(),
            [&source, frameSamples, unreadableFrom](int f, float *pSamples, std::string &error) {
                if (f >= unreadableFrom) {
                    error = "gone";
                    return false;
                }
                std::copy_n(source.getFrame(f).get(), frameSamples, pSamples);
                return true;
            },
            1 << 20);
    return pMovie;
}

using Pair = QPair<float, float>;

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
    void cancelLeavesBoundsAlone_data();
    void cancelLeavesBoundsAlone();
    void unreadableFramesLeftOut_data();
    void unreadableFramesLeftOut();
    void differenceWithOffset_data();
    void differenceWithOffset();
    void fromFileAsFromFrames_data();
    void fromFileAsFromFrames();
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
    QTest::newRow("NaN as the first sample, share 0: never a bound")
            << 4 << 1 << QList<float> {NaN, 3, 1, 2} << 0 << -1 << 0.0 << 1.f << 3.f;
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

void tst_PercentileRange::cancelLeavesBoundsAlone_data()
{
    QTest::addColumn<double>("share");
    QTest::newRow("share 0: plain bounds") << 0.0;
    QTest::newRow("share 0.1: collected samples") << 0.1;
}

void tst_PercentileRange::cancelLeavesBoundsAlone()
{
    QFETCH(double, share);
    const std::unique_ptr<Image3D> pMovie = movieOf(2, 1, 3, {5, 6, 7, 8, 9, 10});
    QList<int> told;
    const ProgressCallback cancelAtTwo = [&told](int done, int total) {
        told.append(done * 10 + total);
        return done < 2;
    };
    float low = -1, high = -1;
    QCOMPARE(PercentileRange::valueRange(pMovie.get(), 0, -1, share, low, high, cancelAtTwo),
             Outcome::Cancelled);
    QCOMPARE(told, (QList<int> {13, 23}));
    QCOMPARE(PercentileRange::differenceRange(pMovie.get(), nullptr, 1, -1, share, low, high,
                                              cancelAtTwo),
             Outcome::Cancelled);
    QCOMPARE(told, (QList<int> {13, 23, 12, 22}));
    QCOMPARE(std::make_pair(low, high), std::make_pair(-1.f, -1.f));
}

void tst_PercentileRange::unreadableFramesLeftOut_data()
{
    QTest::addColumn<int>("unreadableFrom");
    QTest::addColumn<Pair>("expected");
    // Frames of 3 x 2: frame 0 holds 5..10, frame 1 holds -3..2, frame 2 holds 40..45.
    QTest::newRow("every frame") << INT_MAX << Pair(-3, 45);
    QTest::newRow("last frame unreadable: left out") << 2 << Pair(-3, 10);
    QTest::newRow("nothing readable: the default") << 0 << Pair(0, 255);
}

void tst_PercentileRange::unreadableFramesLeftOut()
{
    QFETCH(int, unreadableFrom);
    QFETCH(Pair, expected);
    Image3D source(3, 2, 3);
    for (int i = 0; i < 18; ++i)
        source.getData()[i] = float(i / 6 == 0 ? 5 + i : i / 6 == 1 ? i - 9 : 28 + i);
    const std::unique_ptr<Image3D> pMovie = onDemand(source, unreadableFrom);
    float low = 99;
    float high = 99;
    QCOMPARE(PercentileRange::valueRange(pMovie.get(), 0, -1, 0.0, low, high), Outcome::Done);
    QCOMPARE(Pair(low, high), expected);
}

void tst_PercentileRange::differenceWithOffset_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<Pair>("expected");

    // First 1x1x3 of 10, 20, 30; second 1x1x3 of 1, 2, 3, its frame f - offset against frame f.
    QTest::newRow("offset 1: 10 - 0, 19, 28, 0 - 3") << 1 << Pair(-3, 28);
    QTest::newRow("offset -2: 10 - 3, then no partner: 20, 30") << -2 << Pair(7, 30);
}

void tst_PercentileRange::differenceWithOffset()
{
    QFETCH(int, offset);
    QFETCH(Pair, expected);
    const std::unique_ptr<Image3D> pA = movieOf(1, 1, 3, {10, 20, 30});
    const std::unique_ptr<Image3D> pB = movieOf(1, 1, 3, {1, 2, 3});
    for (const double share : {0.0, 0.1}) {
        float low = 99;
        float high = 99;
        QCOMPARE(PercentileRange::differenceRange(pA.get(), pB.get(), 0, -1, share, low, high, {},
                                                  offset),
                 Outcome::Done);
        QCOMPARE(Pair(low, high), expected);
    }
}

void tst_PercentileRange::fromFileAsFromFrames_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("plane");
    QTest::addColumn<int>("firstFrame");
    QTest::addColumn<int>("cutBytes"); // taken off the end of the file once it is open
    QTest::newRow("gray") << "gray" << 0 << 0 << 0;
    QTest::newRow("yuv420p V, from frame 2") << "yuv420p" << 2 << 2 << 0;
    QTest::newRow("nv12 U") << "nv12" << 1 << 0 << 0;
    QTest::newRow("nv21 U") << "nv21" << 1 << 0 << 0;
    QTest::newRow("yuv420p10le Y") << "yuv420p10le" << 0 << 0 << 0;
    QTest::newRow("gray16le, the last frame cut short") << "gray16le" << 0 << 1 << 1;
}

void tst_PercentileRange::fromFileAsFromFrames()
{
    QFETCH(QString, format);
    QFETCH(int, plane);
    QFETCH(int, firstFrame);
    QFETCH(int, cutBytes);
    const PixelFormat *pFormat = PixelFormat::byName(format);
    QVERIFY(pFormat);
    // Odd sizes, and values that differ from frame to frame so that every frame counts.
    const int width = 7;
    const int height = 5;
    const int frames = 5;
    QByteArray bytes(int(pFormat->getFrameBytes(width, height) * frames), Qt::Uninitialized);
    QRandomGenerator random(42);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(random.bounded(20 + 40 * (i * frames / bytes.size()), 230));
    if (pFormat->getBytesPerSample() == 2) {
        for (int i = 1; i < bytes.size(); i += 2)
            bytes[i] = char(bytes[i] & 0x03);
    }
    QTemporaryDir dir;
    const std::string fileName = dir.filePath("movie.raw").toStdString();
    QFile file(QString::fromStdString(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    Image3D fromFile;
    QVERIFY(fromFile.openRaw(fileName, *pFormat, width, height, plane, firstFrame));
    QVERIFY(fromFile.getRawFile());
    QVERIFY(file.resize(bytes.size() - cutBytes));
    // The same frames through the frame cache of a movie that knows no file.
    Image3D throughFrames;
    const Image3D *pFromFile = &fromFile;
    QVERIFY(throughFrames.setFrameSource(
            fromFile.getWidth(), fromFile.getHeight(), fromFile.getNumFrames(),
            [pFromFile](int f, float *pSamples, std::string &error) {
                const FrameCache::Frame frame = pFromFile->getFrame(f);
                if (!frame) {
                    error = "gone";
                    return false;
                }
                std::copy_n(frame.get(), qint64(pFromFile->getWidth()) * pFromFile->getHeight(),
                            pSamples);
                return true;
            },
            1 << 20));
    QVERIFY(!throughFrames.getRawFile());
    float fileMin = -1, fileMax = -1, framesMin = -2, framesMax = -2;
    QCOMPARE(PercentileRange::valueRange(&fromFile, 0, -1, 0.0, fileMin, fileMax), Outcome::Done);
    QCOMPARE(PercentileRange::valueRange(&throughFrames, 0, -1, 0.0, framesMin, framesMax),
             Outcome::Done);
    QCOMPARE(fileMin, framesMin);
    QCOMPARE(fileMax, framesMax);
    QVERIFY(fileMin < fileMax);
}

QTEST_APPLESS_MAIN(tst_PercentileRange)
#include "tst_percentilerange.moc"
