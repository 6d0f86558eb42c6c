#include <QTest>

#include "displayrange.h"
#include "image3d.h"
#include "movieset.h"
#include "viewtype.h"

class TestDisplayRange : public QObject
{
    Q_OBJECT

private slots:
    void starting_data();
    void starting();
};

void TestDisplayRange::starting_data()
{
    QTest::addColumn<int>("mainDepth"); // 0: no movie
    QTest::addColumn<int>("ref1Depth");
    QTest::addColumn<int>("ref2Depth");
    QTest::addColumn<int>("view");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    QTest::newRow("no movies: main 0:255") << 0 << 0 << 0 << int(ViewType::Main) << 0.0f << 255.0f;
    QTest::newRow("no movies: diff2 -128:128")
            << 0 << 0 << 0 << int(ViewType::Diff2) << -128.0f << 128.0f;
    QTest::newRow("10-bit main: 0:1023") << 10 << 8 << 8 << int(ViewType::Main) << 0.0f << 1023.0f;
    QTest::newRow("10-bit main, ref1 keeps 0:255")
            << 10 << 8 << 8 << int(ViewType::Ref1) << 0.0f << 255.0f;
    QTest::newRow("16-bit ref2: 0:65535")
            << 8 << 8 << 16 << int(ViewType::Ref2) << 0.0f << 65535.0f;
    QTest::newRow("diff1 of 10-bit main and 12-bit ref1: the deeper, -2048:2048")
            << 10 << 12 << 8 << int(ViewType::Diff1) << -2048.0f << 2048.0f;
    QTest::newRow("diff1 of 10-bit main, ref1 absent: -512:512")
            << 10 << 0 << 8 << int(ViewType::Diff1) << -512.0f << 512.0f;
    QTest::newRow("diff2 of 8-bit main and 8-bit ref2 beside a 16-bit ref1: -128:128")
            << 8 << 16 << 8 << int(ViewType::Diff2) << -128.0f << 128.0f;
}

void TestDisplayRange::starting()
{
    QFETCH(int, mainDepth);
    QFETCH(int, ref1Depth);
    QFETCH(int, ref2Depth);
    QFETCH(int, view);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    Image3D movies[3] = {Image3D(2, 2, 1), Image3D(2, 2, 1), Image3D(2, 2, 1)};
    const int depths[3] = {mainDepth, ref1Depth, ref2Depth};
    const Image3D *pMovies[3] = {};
    for (int k = 0; k < 3; ++k) {
        movies[k].setDepth(depths[k]);
        pMovies[k] = depths[k] > 0 ? &movies[k] : nullptr;
    }
    const DisplayRange range
            = DisplayRange::starting(view, MovieSet(pMovies[0], pMovies[1], pMovies[2]));
    QCOMPARE(range.minValue, minValue);
    QCOMPARE(range.maxValue, maxValue);
}

QTEST_GUILESS_MAIN(TestDisplayRange)
#include "tst_displayrange.moc"
