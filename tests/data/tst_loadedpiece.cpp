#include "loadedpiece.h"

#include "image2d.h"
#include "image3d.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class tst_LoadedPiece : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A still image of width x height whose sample (x, y) is base + x + 10 y.
    Image2D *makeImage(int width, int height, int base)
    {
        QImage picture(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int v = base + x + 10 * (height - 1 - y);
                picture.setPixel(x, y, qRgb(v, v, v));
            }
        const QString path = m_dir.filePath(QString("piece%1.png").arg(base));
        if (!picture.save(path, "png"))
            qFatal("cannot write fixture");
        auto *pImage = new Image2D;
        if (!pImage->loadImage(path.toStdString()))
            qFatal("cannot read fixture");
        return pImage;
    }

    // A movie of width x height x frames whose sample (x, y, f) is base + x + 10 y + 100 f.
    static Image3D *makeMovie(int width, int height, int frames, int base)
    {
        auto *pMovie = new Image3D(width, height, frames);
        for (int f = 0; f < frames; ++f)
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pMovie->getData()[x + width * (y + height * f)]
                            = float(base + x + 10 * y + 100 * f);
        return pMovie;
    }

    static float at(const Image3D &movie, int x, int y, int f)
    {
        return movie.getData()[x + qint64(movie.getWidth()) * (y + qint64(movie.getHeight()) * f)];
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void emptyList();
    void imageThenLargerMovie();
    void twoImages();
    void zeroSizedPieces_data();
    void zeroSizedPieces();
    void oversizedResultRefused_data();
    void oversizedResultRefused();
};

void tst_LoadedPiece::emptyList()
{
    const std::unique_ptr<Image3D> result = stackPieces({});
    QCOMPARE(result->getWidth(), 0);
    QCOMPARE(result->getHeight(), 0);
    QCOMPARE(result->getNumFrames(), 0);
    QVERIFY(result->getErrorString().empty());
}

void tst_LoadedPiece::imageThenLargerMovie()
{
    std::vector<LoadedPiece> pieces {{false, makeImage(4, 2, 1)}, {true, makeMovie(2, 4, 3, 50)}};
    static_cast<Image3D *>(pieces[1].piece)->setDepth(10);
    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    deletePieces(pieces);
    QVERIFY(pieces.empty());
    QCOMPARE(result->getDepth(), 10); // the deepest piece's

    QCOMPARE(result->getWidth(), 4);
    QCOMPARE(result->getHeight(), 4);
    QCOMPARE(result->getNumFrames(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            // Frame 0: the image in rows 0 and 1, bottom-left; the rest 0.0.
            QCOMPARE(at(*result, x, y, 0), y < 2 ? float(1 + x + 10 * y) : 0.0f);
            // Frames 1 to 3: the movie in columns 0 and 1.
            for (int k = 0; k < 3; ++k)
                QCOMPARE(at(*result, x, y, 1 + k), x < 2 ? float(50 + x + 10 * y + 100 * k) : 0.0f);
        }
}

void tst_LoadedPiece::twoImages()
{
    std::vector<LoadedPiece> pieces {{false, makeImage(2, 2, 1)}, {false, makeImage(2, 2, 7)}};
    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    deletePieces(pieces);
    QCOMPARE(result->getNumFrames(), 2);
    QCOMPARE(at(*result, 1, 1, 0), 12.0f);
    QCOMPARE(at(*result, 1, 1, 1), 18.0f);
}

void tst_LoadedPiece::zeroSizedPieces_data()
{
    QTest::addColumn<int>("movieFrames");
    QTest::addColumn<int>("expectedFrames");
    QTest::newRow("movie of 0 frames adds none, empty image adds one") << 0 << 2;
    QTest::newRow("movie of 2 frames between images") << 2 << 4;
}

void tst_LoadedPiece::zeroSizedPieces()
{
    QFETCH(int, movieFrames);
    QFETCH(int, expectedFrames);
    std::vector<LoadedPiece> pieces {{false, new Image2D},
                                     {true, makeMovie(2, 2, movieFrames, 5)},
                                     {false, makeImage(2, 2, 30)}};
    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    deletePieces(pieces);
    QCOMPARE(result->getNumFrames(), expectedFrames);
    QCOMPARE(result->getWidth(), 2);
    // The empty image's frame stays 0.0; the last image lands in the last frame.
    QCOMPARE(at(*result, 1, 1, 0), 0.0f);
    QCOMPARE(at(*result, 1, 1, expectedFrames - 1), 41.0f);
    if (movieFrames > 0)
        QCOMPARE(at(*result, 1, 0, 2), 106.0f);
}

void tst_LoadedPiece::oversizedResultRefused_data()
{
    QTest::addColumn<QList<QList<int>>>("movies"); // width, height, frames of each movie piece
    QTest::addColumn<QString>("error");
    // Frameless movies carry their extents into the result without samples of their own.
    QTest::newRow("INT_MAX x INT_MAX x 3: product beyond 2^63")
            << QList<QList<int>> {{INT_MAX, 0, 0}, {0, INT_MAX, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}}
            << "Not enough memory for a movie of 2147483647x2147483647x3";
    QTest::newRow("frames summing past INT_MAX")
            << QList<QList<int>> {{0, 2, INT_MAX}, {2, 0, INT_MAX}}
            << "Too many frames in all: 4294967294 (at most 2147483647 can be loaded)";
}

void tst_LoadedPiece::oversizedResultRefused()
{
    QFETCH(QList<QList<int>>, movies);
    QFETCH(QString, error);
    std::vector<LoadedPiece> pieces;
    for (const QList<int> &m : movies)
        pieces.push_back({true, new Image3D(m[0], m[1], m[2])});
    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    deletePieces(pieces);
    QCOMPARE(result->getNumFrames(), 0);
    QCOMPARE(result->getSampleCount(), qint64(0));
    QCOMPARE(QString::fromStdString(result->getErrorString()), error);
}

QTEST_MAIN(tst_LoadedPiece)
#include "tst_loadedpiece.moc"
