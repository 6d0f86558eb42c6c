#include <algorithm>
#include <memory>

#include <QRegularExpression>
#include <QTest>

#include "image3d.h"
#include "movieset.h"
#include "statustexts.h"

namespace {

// A movie described as "WxHxF", sample (x, row, f) = base + 100 f + 10 row + x; with a suffix
// "d" it is read on demand, with "!" read on demand and every frame unreadable. "" is no movie.
std::unique_ptr<Image3D> movie(const QString &description, float base)
{
    if (description.isEmpty())
        return nullptr;
    const QStringList dims = description.left(description.indexOf(QRegularExpression("[d!]|$")))
                                     .split(QLatin1Char('x'));
    const int width = dims.value(0).toInt();
    const int height = dims.value(1).toInt();
    const int frames = dims.value(2).toInt();
    auto fill = [=](int f, float *pSamples) {
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x)
                pSamples[row * width + x] = base + 100 * f + 10 * row + x;
    };
    auto pMovie = std::make_unique<Image3D>(width, height, frames);
    if (description.endsWith(QLatin1Char('d')) || description.endsWith(QLatin1Char('!'))) {
        const bool readable = description.endsWith(QLatin1Char('d'));
        pMovie->setFrameSource(
                width, height, frames,
                [=](int f, float *pSamples, std::string &error) {
                    if (!readable) {
                        error = "gone";
                        return false;
                    }
                    fill(f, pSamples);
                    return true;
                },
                1 << 20);
    } else {
        for (int f = 0; f < frames; ++f)
            fill(f, pMovie->getData() + qint64(f) * width * height);
    }
    return pMovie;
}

} // namespace

class TestStatusTexts : public QObject
{
    Q_OBJECT

private slots:
    void readout_data();
    void readout();
    void windowTitle_data();
    void windowTitle();
    void mismatch_data();
    void mismatch();
};

void TestStatusTexts::readout_data()
{
    // Main samples are 50 above the pattern, reference 1 on it, reference 2 7.5 above it.
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("ref1");
    QTest::addColumn<QString>("ref2");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("row"); // from the bottom
    QTest::addColumn<QString>("expected");

    QTest::newRow("all three: y counts down from the top row")
            << "3x2x2"
            << "3x2x2"
            << "3x2x2" << 1 << 2 << 0
            << "x 2  y 1  main 152  ref1 102  ref2 109.5  diff1 50  diff2 42.5";
    QTest::newRow("smaller reference, inside it: rows meet at the bottom")
            << "4x3x1"
            << "2x2x1"
            << "" << 0 << 1 << 1 << "x 1  y 1  main 61  ref1 11  ref2   diff1 50  diff2 ";
    QTest::newRow("smaller reference, right of it: blank")
            << "4x3x1"
            << "2x2x1"
            << "" << 0 << 3 << 1 << "x 3  y 1  main 63  ref1   ref2   diff1   diff2 ";
    QTest::newRow("smaller reference, above it: blank")
            << "4x3x1"
            << "2x2x1"
            << "" << 0 << 0 << 2 << "x 0  y 0  main 70  ref1   ref2   diff1   diff2 ";
    QTest::newRow("shorter reference, past its last frame: blank")
            << "2x2x3"
            << "2x2x1"
            << "" << 2 << 0 << 0 << "x 0  y 1  main 250  ref1   ref2   diff1   diff2 ";
    QTest::newRow("no main movie: references only, differences blank")
            << ""
            << "2x2x1"
            << "2x2x1" << 0 << 1 << 1 << "x 1  y 0  main   ref1 11  ref2 18.5  diff1   diff2 ";
    QTest::newRow("movie read on demand")
            << "2x2x2d"
            << "2x2x2"
            << "" << 1 << 1 << 1 << "x 1  y 0  main 161  ref1 111  ref2   diff1 50  diff2 ";
    QTest::newRow("unreadable frame: blank")
            << "2x2x2!"
            << "2x2x2"
            << "" << 1 << 1 << 1 << "x 1  y 0  main   ref1 111  ref2   diff1   diff2 ";
    QTest::newRow("off the picture: nothing") << "2x2x1"
                                              << ""
                                              << "" << 0 << -1 << -1 << "";
}

void TestStatusTexts::readout()
{
    QFETCH(QString, main);
    QFETCH(QString, ref1);
    QFETCH(QString, ref2);
    QFETCH(int, frame);
    QFETCH(int, x);
    QFETCH(int, row);
    QFETCH(QString, expected);
    const auto pMain = movie(main, 50);
    const auto pRef1 = movie(ref1, 0);
    const auto pRef2 = movie(ref2, 7.5f);
    int canvasHeight = 0;
    for (const Image3D *pMovie : {pMain.get(), pRef1.get(), pRef2.get()})
        canvasHeight = std::max(canvasHeight, pMovie ? pMovie->getHeight() : 0);
    QCOMPARE(StatusTexts::readout(MovieSet(pMain.get(), pRef1.get(), pRef2.get()), frame, x, row,
                                  canvasHeight),
             expected);
}

void TestStatusTexts::windowTitle_data()
{
    QTest::addColumn<QString>("main"); // names; "-" for no movie
    QTest::addColumn<QString>("ref1");
    QTest::addColumn<QString>("ref2");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing loaded") << "-"
                                    << "-"
                                    << "-"
                                    << "rawcompare — (no main movie)";
    QTest::newRow("main only") << "a.yuv"
                               << "-"
                               << "-"
                               << "rawcompare — a.yuv";
    QTest::newRow("main and both references") << "a.yuv"
                                              << "b.yuv"
                                              << "c.y4m"
                                              << "rawcompare — a.yuv vs b.yuv vs c.y4m";
    QTest::newRow("reference 2 without reference 1") << "a.yuv"
                                                     << "-"
                                                     << "c.y4m"
                                                     << "rawcompare — a.yuv vs c.y4m";
    QTest::newRow("reference without main") << "-"
                                            << "b.yuv"
                                            << "-"
                                            << "rawcompare — (no main movie) vs b.yuv";
}

void TestStatusTexts::windowTitle()
{
    QFETCH(QString, main);
    QFETCH(QString, ref1);
    QFETCH(QString, ref2);
    QFETCH(QString, expected);
    auto named = [](const QString &name) {
        std::unique_ptr<Image3D> pMovie;
        if (name != QLatin1String("-")) {
            pMovie = std::make_unique<Image3D>(1, 1, 1);
            pMovie->setName(name);
        }
        return pMovie;
    };
    const auto pMain = named(main);
    const auto pRef1 = named(ref1);
    const auto pRef2 = named(ref2);
    QCOMPARE(StatusTexts::windowTitle(pMain.get(), pRef1.get(), pRef2.get()), expected);
}

void TestStatusTexts::mismatch_data()
{
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("ref1");
    QTest::addColumn<QString>("ref2");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no main movie: nothing to fall short of") << ""
                                                             << "2x2x1"
                                                             << ""
                                                             << "";
    QTest::newRow("same sizes") << "4x2x3"
                                << "4x2x3"
                                << "4x2x3"
                                << "";
    QTest::newRow("longer and larger reference: not named") << "4x2x3"
                                                            << "6x4x5"
                                                            << ""
                                                            << "";
    QTest::newRow("shorter") << "4x2x3"
                             << "4x2x1"
                             << ""
                             << "Reference 1 shorter (1 of 3 frames)";
    QTest::newRow("narrower though taller: smaller") << "4x2x3"
                                                     << ""
                                                     << "2x4x3"
                                                     << "Reference 2 smaller (2x4 of 4x2)";
    QTest::newRow("both references, one both ways")
            << "4x2x3"
            << "4x2x2"
            << "4x1x1"
            << "Reference 1 shorter (2 of 3 frames); "
               "Reference 2 shorter (1 of 3 frames) and smaller (4x1 of 4x2)";
}

void TestStatusTexts::mismatch()
{
    QFETCH(QString, main);
    QFETCH(QString, ref1);
    QFETCH(QString, ref2);
    QFETCH(QString, expected);
    const auto pMain = movie(main, 0);
    const auto pRef1 = movie(ref1, 0);
    const auto pRef2 = movie(ref2, 0);
    QCOMPARE(StatusTexts::mismatch(MovieSet(pMain.get(), pRef1.get(), pRef2.get())), expected);
}

QTEST_GUILESS_MAIN(TestStatusTexts)
#include "tst_statustexts.moc"
