// Movies compared with references shifted by offsets: which frames a view reads, how many frames
// there are to step through, and the rendered difference of shifted frames.
#include <QtTest>

#include <memory>

#include "graymapping.h"
#include "image3d.h"
#include "movieset.h"
#include "viewtype.h"

namespace {

// A 2 x 1 movie whose frame f holds the samples base + f (both columns).
std::unique_ptr<Image3D> countingMovie(int frames, float base)
{
    auto pMovie = std::make_unique<Image3D>(2, 1, frames);
    for (int f = 0; f < frames; ++f)
        pMovie->getData()[2 * f] = pMovie->getData()[2 * f + 1] = base + float(f);
    return pMovie;
}

} // namespace

class TestMovieSet : public QObject
{
    Q_OBJECT
private slots:
    void framesAndSources_data();
    void framesAndSources();
    void shiftedDifference();
};

void TestMovieSet::framesAndSources_data()
{
    QTest::addColumn<int>("offset1");
    QTest::addColumn<int>("offset2");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("ref1FrameAt4");
    QTest::addColumn<int>("ref2FrameAt4");
    // Main 10 frames, reference 1 6 frames, reference 2 3 frames.
    QTest::newRow("no offsets") << 0 << 0 << 10 << 4 << 4;
    QTest::newRow("reference 1 starts at main frame 2") << 2 << 0 << 10 << 2 << 4;
    QTest::newRow("reference 1 runs past the main movie") << 7 << 0 << 13 << -3 << 4;
    QTest::newRow("reference 2 starts before the main movie") << 0 << -2 << 10 << 4 << 6;
    QTest::newRow("a huge offset does not wrap")
            << 2000000000 << 0 << (1 << 30) << -1999999996 << 4;
}

void TestMovieSet::framesAndSources()
{
    QFETCH(int, offset1);
    QFETCH(int, offset2);
    QFETCH(int, frames);
    QFETCH(int, ref1FrameAt4);
    QFETCH(int, ref2FrameAt4);
    const auto pMain = countingMovie(10, 0.0f);
    const auto pRef1 = countingMovie(6, 100.0f);
    const auto pRef2 = countingMovie(3, 200.0f);
    const MovieSet movies(pMain.get(), pRef1.get(), pRef2.get(), offset1, offset2);
    QCOMPARE(movies.getNumFrames(), frames);
    const MovieSet::ViewSources diff1 = movies.sources(ViewType::Diff1, 4);
    QVERIFY(diff1.difference);
    QCOMPARE(diff1.pA, pMain.get());
    QCOMPARE(diff1.frameA, 4);
    QCOMPARE(diff1.pB, pRef1.get());
    QCOMPARE(diff1.frameB, ref1FrameAt4);
    const MovieSet::ViewSources ref2 = movies.sources(ViewType::Ref2, 4);
    QVERIFY(!ref2.difference);
    QCOMPARE(ref2.pA, pRef2.get());
    QCOMPARE(ref2.frameA, ref2FrameAt4);
}

void TestMovieSet::shiftedDifference()
{
    const auto pMain = countingMovie(5, 10.0f);
    const auto pRef = countingMovie(5, 0.0f);
    // Reference frame f - 2 against main frame f: (10 + f) - (f - 2) = 12 where both exist.
    const MovieSet movies(pMain.get(), pRef.get(), nullptr, 2, 0);
    for (int frame = 0; frame < movies.getNumFrames(); ++frame) {
        const QImage image = renderView(movies.sources(ViewType::Diff1, frame), 0.0f, 255.0f, 2, 1);
        // Without a partner frame the missing side counts as 0, as for any absent movie.
        const float expected = frame < 2 ? 10.0f + float(frame)
                : frame < 5              ? 12.0f
                                         : -float(frame - 2);
        const int level = grayLevel(grayOfValue(expected, 0.0f, 255.0f));
        QCOMPARE(qRed(image.pixel(1, 0)), level);
        QCOMPARE(grayLevel(grayOfView(movies.sources(ViewType::Diff1, frame), 0.0f, 255.0f, 0, 0)),
                 level);
    }
}

QTEST_GUILESS_MAIN(TestMovieSet)
#include "tst_movieset.moc"
