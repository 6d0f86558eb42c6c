// Histograms of a view against counts taken sample by sample: movies of several depths, signed
// differences of movies of other sizes, regions counted from the picture's top row, colour.
#include <QtTest>

#include <memory>
#include <random>

#include "colourrendering.h"
#include "histogram.h"
#include "image3d.h"
#include "pixelformat.h"
#include "viewtype.h"

namespace {

std::unique_ptr<Image3D> randomMovie(int width, int height, int depth, unsigned seed)
{
    auto pMovie = std::make_unique<Image3D>(width, height, 3);
    pMovie->setDepth(depth);
    std::mt19937 random(seed);
    for (qint64 i = 0; i < pMovie->getSampleCount(); ++i)
        pMovie->getData()[i] = float(random() % (1u << depth));
    return pMovie;
}

// Sample (x, row) of a movie's frame, row 0 at the bottom; false where it has none.
bool sampleAt(const Image3D *pMovie, int frame, int x, int row, float &value)
{
    if (!pMovie || frame < 0 || frame >= pMovie->getNumFrames() || x >= pMovie->getWidth()
        || row >= pMovie->getHeight())
        return false;
    value = pMovie->getData()[x
                              + qint64(pMovie->getWidth())
                                      * (row + qint64(pMovie->getHeight()) * frame)];
    return true;
}

} // namespace

class TestHistogram : public QObject
{
    Q_OBJECT
private slots:
    void countsEqualDirectCount_data();
    void countsEqualDirectCount();
    void colourCountsEqualPicture_data();
    void colourCountsEqualPicture();
};

void TestHistogram::countsEqualDirectCount_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("refWidth"); // 0: no reference
    QTest::addColumn<int>("viewType");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("binWidth");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("bins");
    // The main movie is 10 x 8; a reference is refWidth x (refWidth - 2), frame 1 shown.
    QTest::newRow("8-bit movie, whole frame") << 8 << 0 << 0 << 0 << QRect() << 1 << 0 << 256;
    QTest::newRow("10-bit movie: a bin per value")
            << 10 << 0 << 0 << 0 << QRect() << 1 << 0 << 1024;
    QTest::newRow("8-bit difference, smaller reference one frame late")
            << 8 << 5 << 3 << 1 << QRect() << 1 << -255 << 511;
    QTest::newRow("10-bit difference, larger reference: bins of 2")
            << 10 << 12 << 3 << 0 << QRect() << 2 << -1024 << 1024;
    QTest::newRow("region off the origin, y from the top row")
            << 8 << 0 << 0 << 0 << QRect(3, 1, 4, 2) << 1 << 0 << 256;
    QTest::newRow("16-bit difference in a region")
            << 16 << 6 << 3 << 0 << QRect(2, 2, 7, 5) << 128 << -65536 << 1024;
}

void TestHistogram::countsEqualDirectCount()
{
    QFETCH(int, depth);
    QFETCH(int, refWidth);
    QFETCH(int, viewType);
    QFETCH(int, offset);
    QFETCH(QRect, region);
    QFETCH(int, binWidth);
    QFETCH(int, lowest);
    QFETCH(int, bins);
    const auto pMain = randomMovie(10, 8, depth, 1);
    const auto pRef = refWidth ? randomMovie(refWidth, refWidth - 2, depth, 2) : nullptr;
    const MovieSet movies(pMain.get(), pRef.get(), nullptr, offset);
    const int frame = 1;
    const Histogram histogram = Histogram::ofView(movies, viewType, frame, region);
    QCOMPARE(histogram.getChannelCount(), 1);
    QCOMPARE(histogram.getBinWidth(), binWidth);
    QCOMPARE(histogram.getLowest(), lowest);
    QCOMPARE(histogram.getBinCount(), bins);

    const int height = movies.getHeight();
    const QRect area = region.isEmpty() ? QRect(0, 0, movies.getWidth(), height) : region;
    std::vector<qint64> expected(size_t(bins), 0);
    qint64 total = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            float a = 0;
            float b = 0;
            const bool hasA = sampleAt(pMain.get(), frame, x, height - 1 - y, a);
            const bool hasB = viewType == ViewType::Diff1
                    && sampleAt(pRef.get(), frame - offset, x, height - 1 - y, b);
            if (!hasA && !hasB)
                continue;
            ++expected[size_t((int(a - b) - lowest) / binWidth)];
            ++total;
        }
    }
    QCOMPARE(histogram.getTotal(), total);
    for (int bin = 0; bin < bins; ++bin)
        QVERIFY2(histogram.getCount(0, bin) == expected[size_t(bin)],
                 qPrintable(QString::number(bin)));
}

void TestHistogram::colourCountsEqualPicture_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QRect>("region");
    QTest::newRow("4:2:0, whole frame") << "yuv420p" << QRect();
    QTest::newRow("4:2:2, region at the bottom right") << "yuv422p" << QRect(5, 3, 3, 3);
    QTest::newRow("10-bit 4:4:4, region at the top") << "yuv444p10le" << QRect(1, 0, 6, 2);
}

void TestHistogram::colourCountsEqualPicture()
{
    QFETCH(QString, format);
    QFETCH(QRect, region);
    const PixelFormat &pixelFormat = *PixelFormat::byName(format);
    QTemporaryDir folder;
    QFile file(folder.filePath("movie.yuv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    std::mt19937 random(3);
    QByteArray bytes(int(pixelFormat.getFrameBytes(8, 6)), 0);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(pixelFormat.getDepth() > 8 && i % 2 ? random() % 4 : random() % 256);
    file.write(bytes);
    file.close();
    Image3D movie;
    QVERIFY(movie.openRaw(file.fileName().toStdString(), pixelFormat, 8, 6));
    const ColourRendering rendering;
    const Histogram histogram
            = Histogram::ofView(MovieSet(&movie, nullptr, nullptr), 0, 0, region, &rendering);
    QCOMPARE(histogram.getChannelCount(), 3);

    const QImage picture = rendering.render(&movie, 0, 8, 6);
    const QRect area = region.isEmpty() ? picture.rect() : region;
    std::vector<qint64> expected(3 * 256, 0);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb rgb = picture.pixel(x, 5 - y);
            ++expected[qRed(rgb)];
            ++expected[256 + qGreen(rgb)];
            ++expected[512 + qBlue(rgb)];
        }
    }
    for (int channel = 0; channel < 3; ++channel)
        for (int value = 0; value < 256; ++value)
            QCOMPARE(histogram.getCount(channel, value), expected[size_t(256 * channel + value)]);
}

QTEST_GUILESS_MAIN(TestHistogram)
#include "tst_histogram.moc"
