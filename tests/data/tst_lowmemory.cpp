#include "image2d.h"
#include "image3d.h"
#include "loadedpiece.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "testpictures.h"

#include <sys/resource.h>

namespace {
// The whole program runs with this much address space: enough for Qt and small movies, far too
// little for the volumes below.
constexpr rlim_t AddressSpaceLimit = rlim_t(1) << 30;
} // namespace

class tst_LowMemory : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void movieLargerThanMemory_data();
    void movieLargerThanMemory();
    void sizesBeyond32Bits_data();
    void sizesBeyond32Bits();
    void stackingLargerThanMemory();
    void pictureLargerThanMemory_data();
    void pictureLargerThanMemory();
};

void tst_LowMemory::movieLargerThanMemory_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("isYUV");
    QTest::addColumn<qint64>("frames");
    // 129 gray frames of 4096x4096 pass 2 GiB of file and 8 GiB of samples.
    QTest::newRow("gray 4096x4096, 129 frames, file past 2 GiB")
            << 4096 << 4096 << false << qint64(129);
    QTest::newRow("yuv 1920x1080, 1500 frames") << 1920 << 1080 << true << qint64(1500);
}

void tst_LowMemory::movieLargerThanMemory()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, isYUV);
    QFETCH(qint64, frames);
    const qint64 frameSize = qint64(width) * height * (isYUV ? 3 : 2) / 2;
    const QString path = m_dir.filePath("large.yuv");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(frameSize * frames))
            QSKIP("no sparse files here");
    }

    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), width, height, isYUV));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             QString("Not enough memory to load %1 frames of %2x%3")
                     .arg(frames)
                     .arg(width)
                     .arg(height));
    QCOMPARE(volume.getNumFrames(), 0);
    QCOMPARE(volume.getSampleCount(), qint64(0));

    // The object stays usable.
    QVERIFY(QFile::remove(path));
    QFile small(path);
    QVERIFY(small.open(QIODevice::WriteOnly));
    small.write(QByteArray(12, '\x42'));
    small.close();
    QVERIFY(volume.loadRaw(path.toStdString(), 4, 2, true));
    QCOMPARE(volume.getNumFrames(), 1);
    QCOMPARE(volume.getData()[7], 66.0f);
}

void tst_LowMemory::sizesBeyond32Bits_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frames");
    // Each product wraps to 0 or a small number in 32 bits.
    QTest::newRow("65536x65536x1: 2^32 samples") << 65536 << 65536 << 1;
    QTest::newRow("1920x1080x1036: past 2^31") << 1920 << 1080 << 1036;
    QTest::newRow("65536x32768x2: 2^32 samples") << 65536 << 32768 << 2;
}

void tst_LowMemory::sizesBeyond32Bits()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frames);
    Image3D volume(width, height, frames);
    QCOMPARE(volume.getSampleCount(), qint64(0));
    QCOMPARE(volume.getWidth(), 0);
    QCOMPARE(volume.getNumFrames(), 0);
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             QString("Not enough memory for a movie of %1x%2x%3")
                     .arg(width)
                     .arg(height)
                     .arg(frames));

    Image3D resized(2, 2, 1);
    QVERIFY(!resized.setDimensions(width, height, frames));
    QCOMPARE(resized.getSampleCount(), qint64(0));
    QCOMPARE(resized.getHeight(), 0);
    QVERIFY(resized.setDimensions(2, 2, 2));
    QCOMPARE(resized.getSampleCount(), qint64(8));
}

void tst_LowMemory::stackingLargerThanMemory()
{
    // Two movies without frames but with large extents, and a one-sample movie that adds a frame:
    // 30000 x 30000 x 1 samples would be needed.
    std::vector<LoadedPiece> pieces {{true, new Image3D(30000, 2, 0)},
                                     {true, new Image3D(2, 30000, 0)},
                                     {true, new Image3D(1, 1, 1)}};
    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    deletePieces(pieces);
    QCOMPARE(result->getNumFrames(), 0);
    QCOMPARE(result->getSampleCount(), qint64(0));
    QCOMPARE(QString::fromStdString(result->getErrorString()),
             QString("Not enough memory for a movie of 30000x30000x1"));
}

void tst_LowMemory::pictureLargerThanMemory_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("rgb");
    // Decoding itself can't get its 1.6 GB.
    QTest::newRow("rgb 20000x20000: the decoder runs out") << 20000 << 20000 << true;
    // Decoding takes 144 MB; the 32-bit pixels and the float samples (576 MB each) don't fit.
    QTest::newRow("gray 12000x12000: the samples run out") << 12000 << 12000 << false;
}

void tst_LowMemory::pictureLargerThanMemory()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, rgb);
    // Without Qt's own limit on decoded pictures, memory is what stops these.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(0);
    const QString path = m_dir.filePath("huge.png");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(blackPng(quint32(width), quint32(height), rgb));
    }
    Image2D image;
    const bool loaded = image.loadImage(path.toStdString());
    QImageReader::setAllocationLimit(limit);
    QVERIFY(!loaded);
    QVERIFY(image.isTooLarge());
    QCOMPARE(QString::fromStdString(image.getErrorString()),
             QString("Not enough memory for an image of %1x%2").arg(width).arg(height));
    QCOMPARE(image.getSampleCount(), qint64(0));

    // The object stays usable.
    QImage small(3, 1, QImage::Format_RGB32);
    small.fill(qRgb(7, 7, 7));
    QVERIFY(small.save(path, "png"));
    QVERIFY(image.loadImage(path.toStdString()));
    QCOMPARE(image.getData()[2], 7.0f);
}

int main(int argc, char *argv[])
{
    rlimit limit {AddressSpaceLimit, AddressSpaceLimit};
    if (setrlimit(RLIMIT_AS, &limit) != 0) {
        perror("setrlimit");
        return 1;
    }
    tst_LowMemory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lowmemory.moc"
