#include "y4mheader.h"

#include <QTest>

#include "pixelformat.h"

class tst_Y4mHeader : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void frameHeader_data();
    void frameHeader();
    void frameRate_data();
    void frameRate();
};

void tst_Y4mHeader::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("result"); // "WxH format" or the error text

    const QByteArray ffmpeg
            = "YUV4MPEG2 W1920 H1080 F25:1 Ip A1:1 C420jpeg XYSCSS=420JPEG\nFRAME\n";
    QTest::newRow("ffmpeg's 4:2:0") << ffmpeg << "1920x1080 yuv420p";
    QTest::newRow("no C: 4:2:0") << QByteArray("YUV4MPEG2 W4 H2\n") << "4x2 yuv420p";
    QTest::newRow("interlace, aspect, comments, unknown tag, double blanks")
            << QByteArray("YUV4MPEG2 Xfirst  It A128:117 W6 F30000:1001 H4 Zlater C422 X\n")
            << "6x4 yuv422p";
    // The tags ffmpeg writes are read in tst_rawfile from files ffmpeg made; these it doesn't.
    QTest::newRow("C420mpeg2") << QByteArray("YUV4MPEG2 W2 H2 C420mpeg2\n") << "2x2 yuv420p";
    QTest::newRow("C420paldv") << QByteArray("YUV4MPEG2 W2 H2 C420paldv\n") << "2x2 yuv420p";
    QTest::newRow("C420") << QByteArray("YUV4MPEG2 W2 H2 C420\n") << "2x2 yuv420p";
    QTest::newRow("Cmono") << QByteArray("YUV4MPEG2 W2 H2 Cmono\n") << "2x2 gray";
    QTest::newRow("C420p10") << QByteArray("YUV4MPEG2 W2 H2 C420p10 XYSCSS=420P10\n")
                             << "2x2 yuv420p10le";
    QTest::newRow("odd size") << QByteArray("YUV4MPEG2 W5 H3\n") << "5x3 yuv420p";

    const QString bad = "Malformed y4m header: ";
    QTest::newRow("wrong magic") << QByteArray("YUV4MPEG W2 H2\n")
                                 << bad + "the file does not start with YUV4MPEG2";
    QTest::newRow("no newline") << QByteArray("YUV4MPEG2 W2 H2")
                                << bad + "the file ends inside the header";
    QTest::newRow("no width") << QByteArray("YUV4MPEG2 H2\n") << bad + "no width (W)";
    QTest::newRow("width 0") << QByteArray("YUV4MPEG2 W0 H2\n") << bad + "bad width \"W0\"";
    QTest::newRow("negative height")
            << QByteArray("YUV4MPEG2 W2 H-2\n") << bad + "bad height \"H-2\"";
    QTest::newRow("width with letters")
            << QByteArray("YUV4MPEG2 W2x H2\n") << bad + "bad width \"W2x\"";
    QTest::newRow("width past 65536")
            << QByteArray("YUV4MPEG2 W65537 H2\n") << bad + "bad width \"W65537\"";
    QTest::newRow("width of 20 digits: no overflow")
            << QByteArray("YUV4MPEG2 W18446744073709551617 H2\n")
            << bad + "bad width \"W18446744073709551617\"";
    QTest::newRow("C411: not supported, named")
            << QByteArray("YUV4MPEG2 W2 H2 C411\n") << "The y4m colour space C411 is not supported";
    QTest::newRow("C444alpha: not supported, named")
            << QByteArray("YUV4MPEG2 W2 H2 C444alpha\n")
            << "The y4m colour space C444alpha is not supported";
    QTest::newRow("empty C") << QByteArray("YUV4MPEG2 W2 H2 C\n")
                             << "The y4m colour space C is not supported";
    QTest::newRow("C422p12") << QByteArray("YUV4MPEG2 W2 H2 C422p12\n") << "2x2 yuv422p12le";
    QTest::newRow("C444p12") << QByteArray("YUV4MPEG2 W2 H2 C444p12\n") << "2x2 yuv444p12le";
    QTest::newRow("C444p16") << QByteArray("YUV4MPEG2 W2 H2 C444p16\n") << "2x2 yuv444p16le";
    QTest::newRow("CR LF header: said so, no hidden CR")
            << QByteArray("YUV4MPEG2 W2 H2 C420jpeg\r\n")
            << bad + "the header line ends in CR LF; y4m lines end in a line feed alone";
    QTest::newRow("NUL in the width: shown, the message goes on") << QByteArray("YUV4MPEG2 W3\0"
                                                                                "2 H2\n",
                                                                                19)
                                                                  << bad + "bad width \"W3\\02\"";
    QByteArray endless = "YUV4MPEG2 W2 H2 X";
    endless.append(QByteArray(70000, 'x'));
    endless.append('\n');
    QTest::newRow("header past 64 KiB")
            << endless << bad + "no end of line in the first 65536 bytes";
    QTest::newRow("NUL inside a comment")
            << QByteArray("YUV4MPEG2 W2 H2 X\0y Cmono\n", 26) << "2x2 gray";
}

void tst_Y4mHeader::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, result);
    Y4mHeader header;
    if (header.parse(bytes.constData(), bytes.size())) {
        QCOMPARE(QString("%1x%2 %3")
                         .arg(header.getWidth())
                         .arg(header.getHeight())
                         .arg(header.getFormat()->getName()),
                 result);
        QCOMPARE(bytes.at(header.getHeaderBytes() - 1), '\n');
        QVERIFY(!bytes.left(header.getHeaderBytes() - 1).contains('\n'));
    } else {
        QCOMPARE(QString::fromStdString(header.getErrorString()), result);
        QVERIFY(!header.getFormat());
        QCOMPARE(header.getHeaderBytes(), qint64(0));
    }
}

void tst_Y4mHeader::frameHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("length");
    QTest::newRow("plain") << QByteArray("FRAME\nabc") << qint64(6);
    QTest::newRow("with parameters") << QByteArray("FRAME Ib XFOO=1\n\n") << qint64(16);
    QTest::newRow("FRAMES is not one") << QByteArray("FRAMES\n") << qint64(-1);
    QTest::newRow("no newline") << QByteArray("FRAME Ip") << qint64(-1);
    QTest::newRow("cut short") << QByteArray("FRAM") << qint64(-1);
    QTest::newRow("samples instead") << QByteArray("\x10\x80\x80\x80\x80\x80\n") << qint64(-1);
}

void tst_Y4mHeader::frameHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, length);
    QCOMPARE(Y4mHeader::frameHeaderBytes(bytes.constData(), bytes.size()), length);
}

void tst_Y4mHeader::frameRate_data()
{
    QTest::addColumn<QByteArray>("tag"); // the F tag, or none
    QTest::addColumn<double>("rate"); // 0: unknown
    QTest::newRow("F25:1") << QByteArray("F25:1") << 25.0;
    QTest::newRow("F30000:1001 (NTSC)") << QByteArray("F30000:1001") << 30000.0 / 1001;
    QTest::newRow("F50:2") << QByteArray("F50:2") << 25.0;
    QTest::newRow("none") << QByteArray() << 0.0;
    QTest::newRow("F0:0 (unknown in y4m)") << QByteArray("F0:0") << 0.0;
    QTest::newRow("F25:0: no division by zero") << QByteArray("F25:0") << 0.0;
    QTest::newRow("F25 without a denominator") << QByteArray("F25") << 0.0;
    QTest::newRow("F-25:1") << QByteArray("F-25:1") << 0.0;
    QTest::newRow("F25:1x") << QByteArray("F25:1x") << 0.0;
}

void tst_Y4mHeader::frameRate()
{
    QFETCH(QByteArray, tag);
    QFETCH(double, rate);
    // A rate that can't be read leaves the rate unknown, never the header unreadable.
    const QByteArray bytes = "YUV4MPEG2 W2 H2 " + tag + " Cmono\n";
    Y4mHeader header;
    QVERIFY(header.parse(bytes.constData(), bytes.size()));
    QCOMPARE(header.getFrameRate(), rate);
    QVERIFY(!header.parse("YUV4MPEG2 H2 F25:1\n", 19));
    QCOMPARE(header.getFrameRate(), 0.0);
}

QTEST_APPLESS_MAIN(tst_Y4mHeader)
#include "tst_y4mheader.moc"
