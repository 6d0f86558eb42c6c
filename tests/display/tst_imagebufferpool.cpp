// ImageBufferPool: a buffer returns only when the last copy of its image is gone, is handed
// out again for the same size, the pool stays within its bounds, and slices rendered into
// recycled memory are exactly what the per-pixel rules give.
#include <QtTest>

#include <limits>
#include <memory>
#include <vector>

#include "graymapping.h"
#include "image3d.h"
#include "imagebufferpool.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

// Fills recycled memory with a pattern no rendered pixel has (not opaque, not gray).
void poison(QImage &image) { image.fill(0x12345678u); }

int pixelGray(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    if (qAlpha(pixel) != 255 || qRed(pixel) != qGreen(pixel) || qRed(pixel) != qBlue(pixel))
        return -1;
    return qRed(pixel);
}

} // namespace

class TestImageBufferPool : public QObject
{
    Q_OBJECT
private slots:
    void imageShape();
    void bufferReturnsWithTheLastCopy();
    void reusedOnlyForTheSameSize();
    void staysWithinItsBounds();
    void renderingIntoRecycledMemory_data();
    void renderingIntoRecycledMemory();
};

void TestImageBufferPool::imageShape()
{
    ImageBufferPool &pool = ImageBufferPool::instance();
    const QImage image = pool.newImage(7, 3);
    QCOMPARE(image.size(), QSize(7, 3));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image.bytesPerLine(), qsizetype(28));
    QVERIFY(pool.newImage(0, 3).isNull());
    QVERIFY(pool.newImage(3, -1).isNull());
}

void TestImageBufferPool::bufferReturnsWithTheLastCopy()
{
    ImageBufferPool &pool = ImageBufferPool::instance();
    QImage image = pool.newImage(31, 5);
    const qint64 held = pool.heldBytes();
    const uchar *pBits = image.constBits();
    QImage copy = image;
    image = QImage();
    // A copy still uses the memory: it is neither held nor handed out again.
    QCOMPARE(pool.heldBytes(), held);
    QImage other = pool.newImage(31, 5);
    QVERIFY(other.constBits() != pBits);
    copy = QImage();
    QCOMPARE(pool.heldBytes(), held + 31 * 5 * 4);
    QImage again = pool.newImage(31, 5);
    QCOMPARE(again.constBits(), pBits);
    QCOMPARE(pool.heldBytes(), held);
}

void TestImageBufferPool::reusedOnlyForTheSameSize()
{
    ImageBufferPool &pool = ImageBufferPool::instance();
    QImage image = pool.newImage(12, 12);
    const uchar *pBits = image.constBits();
    image = QImage();
    QCOMPARE(pool.heldBytes(), qint64(12 * 12 * 4));
    QImage same = pool.newImage(12, 12);
    QCOMPARE(same.constBits(), pBits);
    same = QImage();

    // Another byte size, smaller or larger, gets memory of its own, and the buffers of the
    // old size are let go.
    QImage smaller = pool.newImage(11, 12);
    QVERIFY(smaller.constBits() != pBits);
    QCOMPARE(pool.heldBytes(), qint64(0));
    QImage keep = pool.newImage(12, 12);
    keep = QImage();
    QImage larger = pool.newImage(13, 12);
    QVERIFY(larger.constBits() != pBits);
    QCOMPARE(pool.heldBytes(), qint64(0));
}

void TestImageBufferPool::staysWithinItsBounds()
{
    ImageBufferPool &pool = ImageBufferPool::instance();
    // Released together, all wait for reuse while they fit in the allowance.
    {
        std::vector<QImage> images;
        for (int k = 0; k < 7; ++k)
            images.push_back(pool.newImage(40, 40));
    }
    QCOMPARE(pool.heldBytes(), qint64(7 * 40 * 40 * 4));

    // Images of a quarter of the allowance: the four most recently released stay. Their
    // pages are never touched here.
    const int side = 4096;
    const int quarterRows = int(ImageBufferPool::MaxBytes / (4 * 4 * side));
    {
        std::vector<QImage> images;
        for (int k = 0; k < 6; ++k)
            images.push_back(pool.newImage(side, quarterRows));
    }
    QCOMPARE(pool.heldBytes(), ImageBufferPool::MaxBytes);
    // One larger than the whole allowance is not kept at all.
    {
        QImage tooLarge = pool.newImage(side, 4 * quarterRows + 1);
    }
    QCOMPARE(pool.heldBytes(), qint64(0));
}

void TestImageBufferPool::renderingIntoRecycledMemory_data()
{
    QTest::addColumn<bool>("difference");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");
    QTest::newRow("movie view, 0..255") << false << 0.0f << 255.0f;
    QTest::newRow("movie view, min = max") << false << 5.0f << 5.0f;
    QTest::newRow("difference view, -128..128") << true << -128.0f << 128.0f;
    QTest::newRow("difference view, inverted") << true << 128.0f << -128.0f;
}

void TestImageBufferPool::renderingIntoRecycledMemory()
{
    QFETCH(bool, difference);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    // Two movies of different sizes inside a larger image: every kind of pixel (inside both,
    // one, neither) lands on memory that held the poison pattern.
    const int imageWidth = 37, imageHeight = 9;
    Image3D movieA(35, 6, 1);
    Image3D movieB(20, 9, 1);
    for (qint64 i = 0; i < movieA.getSampleCount(); ++i)
        movieA.getData()[i] = i % 17 == 0 ? NaN : float((i * 29) % 256);
    for (qint64 i = 0; i < movieB.getSampleCount(); ++i)
        movieB.getData()[i] = float((i * 13) % 256) + (i % 11 == 0 ? 0.5f : 0.0f);

    ImageBufferPool &pool = ImageBufferPool::instance();
    const uchar *pBits = nullptr;
    {
        QImage used = pool.newImage(imageWidth, imageHeight);
        poison(used);
        pBits = used.constBits();
    }
    const QImage image = difference
            ? renderDifferenceSlice(&movieA, &movieB, minValue, maxValue, 0, imageWidth,
                                    imageHeight)
            : renderValueSlice(&movieA, minValue, maxValue, 0, imageWidth, imageHeight);
    QCOMPARE(image.constBits(), pBits);
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x) {
            const float gray = difference
                    ? grayDifference(&movieA, &movieB, minValue, maxValue, x, y, 0)
                    : grayValue(&movieA, minValue, maxValue, x, y, 0);
            QCOMPARE(pixelGray(image, x, y), grayLevel(gray));
        }
    }
}

QTEST_APPLESS_MAIN(TestImageBufferPool)
#include "tst_imagebufferpool.moc"
