#include "image2d.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "testpictures.h"

#include <sys/stat.h>

class tst_Image2D : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void grayFormula_data();
    void grayFormula();
    void orientationOddSize_data();
    void orientationOddSize();
    void matchesPixelForEveryFormat_data();
    void matchesPixelForEveryFormat();
    void notAPicture_data();
    void notAPicture();
    void fifoWithoutWriterDoesNotHang();
    void pictureWhateverItsName_data();
    void pictureWhateverItsName();
    void pictureBeyondAllocationLimit_data();
    void pictureBeyondAllocationLimit();
    void unusualFileNames_data();
    void unusualFileNames();
};

void tst_Image2D::grayFormula_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<uint>("argb");
    QTest::addColumn<float>("gray");
    const char *formats[] = {"png", "bmp"};
    for (const char *format : formats) {
        auto row = [&](const char *what, uint argb, float gray) {
            QTest::addRow("%s %s", format, what) << QString(format) << argb << gray;
        };
        row("white", 0xffffffff, 255);
        row("black", 0xff000000, 0);
        row("mid gray", 0xff808080, 128);
        row("red rounds down", 0xffff0000, 87);
        row("green rounds down", 0xff00ff00, 127);
        row("blue rounds down", 0xff0000ff, 39);
        row("mixed 10,200,30", 0xff0ac81e, float((11 * 10 + 16 * 200 + 5 * 30) / 32));
    }
    QTest::newRow("png alpha 0 ignored") << QString("png") << 0x00808080u << 128.0f;
    QTest::newRow("png alpha 255") << QString("png") << 0xff808080u << 128.0f;
}

void tst_Image2D::grayFormula()
{
    QFETCH(QString, format);
    QFETCH(uint, argb);
    QFETCH(float, gray);
    QImage picture(2, 2, QImage::Format_ARGB32);
    picture.fill(argb);
    const QString path = m_dir.filePath("pixel." + format);
    QVERIFY(picture.save(path, format.toLatin1().constData()));

    Image2D image;
    QVERIFY(image.loadImage(path.toStdString()));
    QCOMPARE(image.getWidth(), 2);
    QCOMPARE(image.getHeight(), 2);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(image.getData()[i], gray);
}

void tst_Image2D::orientationOddSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("png 3x2") << QString("png");
    QTest::newRow("bmp 3x2") << QString("bmp");
}

void tst_Image2D::orientationOddSize()
{
    QFETCH(QString, format);
    // Top row 10, 20, 30; bottom row 40, 50, 60 (gray pixels give their own value).
    QImage picture(3, 2, QImage::Format_RGB32);
    const int values[2][3] = {{10, 20, 30}, {40, 50, 60}};
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            picture.setPixel(col, row, qRgb(values[row][col], values[row][col], values[row][col]));
    const QString path = m_dir.filePath("rows." + format);
    QVERIFY(picture.save(path, format.toLatin1().constData()));

    Image2D image;
    QVERIFY(image.loadImage(path.toStdString()));
    QCOMPARE(image.getSampleCount(), qint64(6));
    const float expected[6] = {40, 50, 60, 10, 20, 30}; // bottom row first, not mirrored
    for (int i = 0; i < 6; ++i)
        QCOMPARE(image.getData()[i], expected[i]);
}

void tst_Image2D::matchesPixelForEveryFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("indexed 8") << int(QImage::Format_Indexed8);
    QTest::newRow("grayscale 8") << int(QImage::Format_Grayscale8);
    QTest::newRow("grayscale 16") << int(QImage::Format_Grayscale16);
    QTest::newRow("rgb888") << int(QImage::Format_RGB888);
    QTest::newRow("argb32") << int(QImage::Format_ARGB32);
    QTest::newRow("rgba64") << int(QImage::Format_RGBA64);
    QTest::newRow("mono") << int(QImage::Format_Mono);
}

void tst_Image2D::matchesPixelForEveryFormat()
{
    QFETCH(int, format);
    // A 7x5 picture of varied colours, stored in the format of the row.
    QImage source(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source.setPixel(x, y,
                            qRgba(x * 37 % 256, y * 61 % 256, (x * y * 19 + 5) % 256,
                                  (x + y) % 2 ? 255 : 90));
    const QImage stored = source.convertToFormat(QImage::Format(format));
    const QString path = m_dir.filePath("format.png");
    QVERIFY(stored.save(path, "png"));

    QImage reference;
    QVERIFY(reference.load(path));
    Image2D image;
    QVERIFY(image.loadImage(path.toStdString()));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const QRgb p = reference.pixel(x, 4 - y);
            const float gray = float((11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32);
            QCOMPARE(image.getData()[x + y * 7], gray);
        }
}

void tst_Image2D::notAPicture_data()
{
    QTest::addColumn<QString>("path"); // relative to the temporary folder unless absolute
    QTest::addColumn<QByteArray>("bytes"); // written to path when not null
    QTest::newRow("raw movie bytes") << "movie.yuv" << QByteArray(48, '\x10');
    QTest::newRow("raw bytes named .png") << "fake.png" << QByteArray(48, '\x10');
    QTest::newRow("png signature only") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    QTest::newRow("empty file named .png") << "empty.png" << QByteArray("");
    QTest::newRow("missing file") << "absent.png" << QByteArray();
    QTest::newRow("a directory") << "" << QByteArray();
    QTest::newRow("/dev/zero: endless") << "/dev/zero" << QByteArray();
    QTest::newRow("/dev/null") << "/dev/null" << QByteArray();

    // A real picture cut inside its image data: the header promises rows that never come.
    QImage noise(64, 64, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            state = state * 1103515245u + 12345u;
            noise.setPixel(x, y, state >> 8);
        }
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && noise.save(&buffer, "png"));
    QVERIFY(png.size() > 1000);
    QTest::newRow("png cut inside its image data") << "half.png" << png.left(png.size() / 2);
}

void tst_Image2D::notAPicture()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    if (!path.startsWith('/'))
        path = path.isEmpty() ? m_dir.path() : m_dir.filePath(path);
    if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    Image2D image;
    QVERIFY(!image.loadImage(path.toStdString()));
    QCOMPARE(QString::fromStdString(image.getErrorString()), "Can't load file " + path);
    QVERIFY(!image.isTooLarge());
    QCOMPARE(image.getWidth(), 0);
    QCOMPARE(image.getHeight(), 0);
    QCOMPARE(image.getSampleCount(), qint64(0));
}

void tst_Image2D::fifoWithoutWriterDoesNotHang()
{
    const QString path = m_dir.filePath("pipe.png");
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    Image2D image;
    QVERIFY(!image.loadImage(path.toStdString()));
    QCOMPARE(QString::fromStdString(image.getErrorString()), "Can't load file " + path);
}

void tst_Image2D::pictureWhateverItsName_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("name");
    QTest::newRow("png named .yuv") << "png"
                                    << "frame.yuv";
    QTest::newRow("bmp named .raw") << "bmp"
                                    << "frame.raw";
    QTest::newRow("png named .bmp") << "png"
                                    << "frame.bmp";
    QTest::newRow("png without suffix") << "png"
                                        << "frame";
}

void tst_Image2D::pictureWhateverItsName()
{
    QFETCH(QString, format);
    QFETCH(QString, name);
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(qRgb(90, 90, 90));
    picture.setPixel(1, 0, qRgb(200, 200, 200)); // top right
    const QString path = m_dir.filePath(name);
    QVERIFY(picture.save(path, format.toLatin1().constData()));
    Image2D image;
    QVERIFY(image.loadImage(path.toStdString()));
    QCOMPARE(image.getWidth(), 2);
    QCOMPARE(image.getData()[3], 200.0f); // row 1, the top, column 1
    QCOMPARE(image.getData()[1], 90.0f);
}

void tst_Image2D::pictureBeyondAllocationLimit_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<bool>("loads");
    // Qt's own limit (128 MB by default) would refuse a 48-megapixel photograph.
    QTest::newRow("rgb 8000x6000: 192 MB decoded, loads") << 8000 << 6000 << true << true;
    // Beyond any memory: the pixel data is left out, the decoder never gets that far.
    QTest::newRow("gray 500000x500000: 250 GB decoded") << 500000 << 500000 << false << false;
    QTest::newRow("rgb 500000x500000: 1 TB decoded") << 500000 << 500000 << true << false;
    QTest::newRow("rgb 65535x2: wide but small") << 65535 << 2 << true << true;
    QTest::newRow("gray 3000x2000 within the limit") << 3000 << 2000 << false << true;
}

void tst_Image2D::pictureBeyondAllocationLimit()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, rgb);
    QFETCH(bool, loads);
    const QString path = m_dir.filePath("big.png");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(blackPng(quint32(width), quint32(height), rgb, !loads));
    file.close();

    // As the program does at start: Qt's limit goes up to the machine's memory.
    Image2D::raiseImageAllocationLimit();
    QVERIFY(QImageReader::allocationLimit() > 128);
    Image2D image;
    QCOMPARE(image.loadImage(path.toStdString()), loads);
    if (loads) {
        QCOMPARE(image.getWidth(), width);
        QCOMPARE(image.getSampleCount(), qint64(width) * height);
        QCOMPARE(image.getData()[qint64(width) * height - 1], 0.0f);
        return;
    }
    // A picture, not a raw movie: the loading flow reports this text instead of asking for
    // frame dimensions.
    QVERIFY(image.isTooLarge());
    QCOMPARE(QString::fromStdString(image.getErrorString()),
             QString("Image of %1x%2 pixels is too large to load (the limit is %3 MB)")
                     .arg(width)
                     .arg(height)
                     .arg(QImageReader::allocationLimit()));
    QCOMPARE(image.getSampleCount(), qint64(0));

    // A later load on the same object starts afresh.
    QVERIFY(!image.loadImage(m_dir.filePath("absent.png").toStdString()));
    QVERIFY(!image.isTooLarge());
}

void tst_Image2D::unusualFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("non-ASCII and blanks") << QString::fromUtf8("Bild «é» 1.png");
    QTest::newRow("quotes") << QString::fromUtf8("it's a \"picture\".png");
    QTest::newRow("leading dash, percent signs") << QString::fromUtf8("-%d %s.png");
    QTest::newRow("CJK and emoji") << QString::fromUtf8("画像 🖼.png");
}

void tst_Image2D::unusualFileNames()
{
    QFETCH(QString, name);
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.fill(qRgb(200, 200, 200));
    const QString path = m_dir.filePath(name);
    QVERIFY(picture.save(path, "png"));
    Image2D image;
    QVERIFY(image.loadImage(path.toStdString()));
    QCOMPARE(image.getData()[1], 200.0f);
    QVERIFY(QFile::remove(path));
    QVERIFY(!image.loadImage(path.toStdString()));
    QCOMPARE(QString::fromStdString(image.getErrorString()), "Can't load file " + path);
}

QTEST_MAIN(tst_Image2D)
#include "tst_image2d.moc"
