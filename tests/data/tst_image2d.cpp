#include "image2d.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

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
    void nonAsciiFileName();
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
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("raw movie bytes") << "movie.yuv" << QByteArray(48, '\x10');
    QTest::newRow("raw bytes named .png") << "fake.png" << QByteArray(48, '\x10');
    QTest::newRow("truncated png") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    QTest::newRow("missing file") << "absent.png" << QByteArray();
    QTest::newRow("a directory") << "" << QByteArray();
}

void tst_Image2D::notAPicture()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
    if (!bytes.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    Image2D image;
    QVERIFY(!image.loadImage(path.toStdString()));
    QCOMPARE(QString::fromStdString(image.getErrorString()), "Can't load file " + path);
    QCOMPARE(image.getWidth(), 0);
    QCOMPARE(image.getHeight(), 0);
    QCOMPARE(image.getSampleCount(), qint64(0));
}

void tst_Image2D::nonAsciiFileName()
{
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.fill(qRgb(200, 200, 200));
    const QString path = m_dir.filePath(QString::fromUtf8("Bild «é» 1.png"));
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
