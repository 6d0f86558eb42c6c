#include "filenameguess.h"

#include <QTest>

#include "pixelformat.h"

class tst_FileNameGuess : public QObject
{
    Q_OBJECT

private slots:
    void guess_data();
    void guess();
};

void tst_FileNameGuess::guess_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("fileSize"); // -1: not known
    QTest::addColumn<QString>("result"); // describe()

    QTest::newRow("WxH with frame rate")
            << "/v/BasketballDrive_1920x1080_50.yuv" << qint64(-1) << "1920x1080";
    QTest::newRow("WxH and 10bit")
            << "foo_3840x2160_10bit.yuv" << qint64(-1) << "3840x2160 yuv420p10le";
    QTest::newRow("_352x288_") << "akiyo_352x288_.yuv" << qint64(-1) << "352x288";
    QTest::newRow("1080p") << "clip_1080p.yuv" << qint64(-1) << "1920x1080";
    QTest::newRow("1080p50") << "clip-1080p50.yuv" << qint64(-1) << "1920x1080";
    QTest::newRow("720p") << "720p_clip.yuv" << qint64(-1) << "1280x720";
    QTest::newRow("2160p") << "Clip.2160P.yuv" << qint64(-1) << "3840x2160";
    QTest::newRow("4k") << "tears_4k.yuv" << qint64(-1) << "3840x2160";
    QTest::newRow("cif") << "foreman_cif.yuv" << qint64(-1) << "352x288";
    QTest::newRow("qcif") << "foreman_qcif.yuv" << qint64(-1) << "176x144";
    QTest::newRow("ffmpeg name") << "a_1280x720_yuv422p10le.yuv" << qint64(-1)
                                 << "1280x720 yuv422p10le";
    QTest::newRow("ffmpeg name without le") << "a_yuv420p10.yuv" << qint64(-1) << "yuv420p10le";
    QTest::newRow("10b") << "a_1920x1080_10b.yuv" << qint64(-1) << "1920x1080 yuv420p10le";
    QTest::newRow("10-bit, two words")
            << "a 10-bit 1280x720.yuv" << qint64(-1) << "1280x720 yuv420p10le";
    QTest::newRow("nv12 as extension") << "cam_640x480.nv12" << qint64(-1) << "640x480 nv12";
    QTest::newRow("nv21") << "cam_nv21_640x480.raw" << qint64(-1) << "640x480 nv21";
    QTest::newRow("gray") << "depth_gray_640x480.raw" << qint64(-1) << "640x480 gray";
    QTest::newRow("y8") << "mask_y8_64x64.raw" << qint64(-1) << "64x64 gray";
    QTest::newRow("gray and 16bit") << "d_gray_16bit_64x64.raw" << qint64(-1) << "64x64 gray16le";
    QTest::newRow("444 and 10bit") << "x_444_10bit_64x64.yuv" << qint64(-1) << "64x64 yuv444p10le";
    QTest::newRow("yuv422 alone") << "x_yuv422_64x64.yuv" << qint64(-1) << "64x64 yuv422p";
    QTest::newRow("nothing") << "movie.yuv" << qint64(-1) << "";
    QTest::newRow("digits of a date are no size") << "run_20240101x2.yuv" << qint64(-1) << "";
    QTest::newRow("yuv420p's 420p is no size") << "a_yuv420p.yuv" << qint64(-1) << "yuv420p";
    QTest::newRow("folder names are not read") << "/data/1920x1080/clip.yuv" << qint64(-1) << "";
    // Two sizes: the one that divides the file into whole 4:2:0 frames wins.
    QTest::newRow("second size divides the file")
            << "up_1280x720_to_1920x1080.yuv" << qint64(3110400 * 2) << "1920x1080";
    QTest::newRow("no size divides: the first")
            << "up_1280x720_to_1920x1080.yuv" << qint64(7) << "1280x720";
    QTest::newRow("size past 65536 ignored") << "a_99999x2_4x2.yuv" << qint64(-1) << "4x2";
}

void tst_FileNameGuess::guess()
{
    QFETCH(QString, name);
    QFETCH(qint64, fileSize);
    QFETCH(QString, result);
    const FileNameGuess guess = FileNameGuess::fromName(name, fileSize);
    QCOMPARE(guess.describe(), result);
    QCOMPARE(guess.isEmpty(), result.isEmpty());
}

QTEST_APPLESS_MAIN(tst_FileNameGuess)
#include "tst_filenameguess.moc"
