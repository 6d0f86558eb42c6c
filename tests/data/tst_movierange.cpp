#include "image3d.h"
#include "movierange.h"
#include "pixelformat.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// A movie of w x h x n whose sample i of frame f is values[(f * w * h + i) % values.size()].
std::unique_ptr<Image3D> filled(int w, int h, int n, const QList<float> &values)
{
    auto pMovie = std::make_unique<Image3D>(w, h, n);
    for (qint64 i = 0; i < pMovie->getSampleCount(); ++i)
        pMovie->getData()[i] = values[int(i % values.size())];
    return pMovie;
}

// The same movie served frame by frame on demand; frames from `unreadableFrom` on can't be read.
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

} // namespace

class TestMovieRange : public QObject
{
    Q_OBJECT

private slots:
    void valueRange_data();
    void valueRange();
    void differenceRange_data();
    void differenceRange();
    void differenceRangeWithOffset_data();
    void differenceRangeWithOffset();
    void cancelLeavesBoundsAlone();
    void fromFileAsFromFrames_data();
    void fromFileAsFromFrames();
};

void TestMovieRange::valueRange_data()
{
    QTest::addColumn<int>("unreadableFrom");
    QTest::addColumn<Pair>("expected");
    // Frames of 3 x 2: frame 0 holds 5..10, frame 1 holds -3..2, frame 2 holds 40..45.
    QTest::newRow("every frame") << INT_MAX << Pair(-3, 45);
    QTest::newRow("last frame unreadable: left out") << 2 << Pair(-3, 10);
    QTest::newRow("nothing readable: the default") << 0 << Pair(0, 255);
}

void TestMovieRange::valueRange()
{
    QFETCH(int, unreadableFrom);
    QFETCH(Pair, expected);
    Image3D source(3, 2, 3);
    for (int i = 0; i < 18; ++i)
        source.getData()[i] = float(i / 6 == 0 ? 5 + i : i / 6 == 1 ? i - 9 : 28 + i);
    const std::unique_ptr<Image3D> pMovie = onDemand(source, unreadableFrom);
    float low = 99;
    float high = 99;
    QVERIFY(MovieRange::valueRange(pMovie.get(), low, high));
    QCOMPARE(Pair(low, high), expected);
    if (unreadableFrom == INT_MAX) {
        QVERIFY(MovieRange::valueRange(&source, low, high));
        QCOMPARE(Pair(low, high), expected);
    }
}

void TestMovieRange::differenceRange_data()
{
    QTest::addColumn<QList<int>>("first"); // w h n value (no movie when empty)
    QTest::addColumn<QList<int>>("second");
    QTest::addColumn<Pair>("expected");

    QTest::newRow("same size") << QList<int> {2, 2, 2, 7} << QList<int> {2, 2, 2, 3} << Pair(4, 4);
    QTest::newRow("second larger: its rest against 0")
            << QList<int> {2, 2, 1, 7} << QList<int> {3, 2, 2, 3} << Pair(-3, 4);
    QTest::newRow("first of 0 frames still spans its width and height")
            << QList<int> {4, 4, 0, 0} << QList<int> {2, 2, 1, 10} << Pair(-10, 0);
    QTest::newRow("no second movie") << QList<int> {2, 1, 1, -5} << QList<int> {} << Pair(-5, -5);
    QTest::newRow("nothing to scan") << QList<int> {} << QList<int> {0, 0, 0, 0} << Pair(-128, 128);
}

void TestMovieRange::differenceRange()
{
    QFETCH(QList<int>, first);
    QFETCH(QList<int>, second);
    QFETCH(Pair, expected);
    auto make = [](const QList<int> &shape) -> std::unique_ptr<Image3D> {
        if (shape.isEmpty())
            return nullptr;
        return filled(shape[0], shape[1], shape[2], {float(shape[3])});
    };
    const std::unique_ptr<Image3D> pA = make(first);
    const std::unique_ptr<Image3D> pB = make(second);
    float low = 99;
    float high = 99;
    QVERIFY(MovieRange::differenceRange(pA.get(), pB.get(), low, high));
    QCOMPARE(Pair(low, high), expected);
    // Read on demand, the same bounds.
    if (pA && pB && pA->getNumFrames() > 0 && pB->getNumFrames() > 0) {
        const std::unique_ptr<Image3D> pLazyA = onDemand(*pA);
        const std::unique_ptr<Image3D> pLazyB = onDemand(*pB);
        QVERIFY(MovieRange::differenceRange(pLazyA.get(), pLazyB.get(), low, high));
        QCOMPARE(Pair(low, high), expected);
    }
}

void TestMovieRange::differenceRangeWithOffset_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<Pair>("expected");

    // First 1x1x3 of 10, 20, 30; second 1x1x3 of 1, 2, 3, its frame f - offset against frame f.
    QTest::newRow("offset 1: 10 - 0, 19, 28, 0 - 3") << 1 << Pair(-3, 28);
    QTest::newRow("offset -2: 10 - 3, then no partner: 20, 30") << -2 << Pair(7, 30);
}

void TestMovieRange::differenceRangeWithOffset()
{
    QFETCH(int, offset);
    QFETCH(Pair, expected);
    const std::unique_ptr<Image3D> pA = filled(1, 1, 3, {10, 20, 30});
    const std::unique_ptr<Image3D> pB = filled(1, 1, 3, {1, 2, 3});
    float low = 99;
    float high = 99;
    QVERIFY(MovieRange::differenceRange(pA.get(), pB.get(), low, high, {}, offset));
    QCOMPARE(Pair(low, high), expected);
}

void TestMovieRange::cancelLeavesBoundsAlone()
{
    const std::unique_ptr<Image3D> pMovie = filled(4, 4, 10, {1, 2, 3});
    QList<int> told;
    auto cancelAtThree = [&told](int done, int total) {
        told.append(done);
        return done < 3 && total == 10;
    };
    float low = 11;
    float high = 22;
    QVERIFY(!MovieRange::valueRange(pMovie.get(), low, high, cancelAtThree));
    QVERIFY(!MovieRange::differenceRange(pMovie.get(), nullptr, low, high, cancelAtThree));
    QCOMPARE(Pair(low, high), Pair(11, 22));
    QCOMPARE(told, (QList<int> {1, 2, 3, 1, 2, 3}));
    QVERIFY(MovieRange::valueRange(pMovie.get(), low, high, [](int, int) { return true; }));
    QCOMPARE(Pair(low, high), Pair(1, 3));
}

void TestMovieRange::fromFileAsFromFrames_data()
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

void TestMovieRange::fromFileAsFromFrames()
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
    QVERIFY(MovieRange::valueRange(&fromFile, fileMin, fileMax));
    QVERIFY(MovieRange::valueRange(&throughFrames, framesMin, framesMax));
    QCOMPARE(fileMin, framesMin);
    QCOMPARE(fileMax, framesMax);
    QVERIFY(fileMin < fileMax);
}

QTEST_GUILESS_MAIN(TestMovieRange)
#include "tst_movierange.moc"
