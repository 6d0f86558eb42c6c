#include "ffmpegreference.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// One CSV row of rawcompare --metrics: the 9 measures, NaN for empty columns.
struct CsvRow
{
    int frame = -1;
    int reference = 0;
    double values[9];
};

QVector<CsvRow> parseCsv(const QByteArray &text, QString *pError)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty()
        || lines.takeFirst()
                != "frame,ref,mse_y,mse_u,mse_v,psnr_y,psnr_u,psnr_v,ssim_y,ssim_u,ssim_v") {
        *pError = QStringLiteral("no CSV header");
        return {};
    }
    QVector<CsvRow> rows;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split(',');
        if (cells.size() != 11) {
            *pError = QStringLiteral("not 11 columns: ") + QString::fromLatin1(line);
            return {};
        }
        CsvRow row;
        row.frame = cells[0].toInt();
        row.reference = cells[1].toInt();
        for (int i = 0; i < 9; ++i) {
            const QByteArray &cell = cells[i + 2];
            row.values[i] = cell.isEmpty() ? std::nan("")
                    : cell == "inf"        ? std::numeric_limits<double>::infinity()
                                           : cell.toDouble();
        }
        rows.append(row);
    }
    return rows;
}

} // namespace

class TestFfmpegComparison : public QObject
{
    Q_OBJECT

private slots:
    void sameNumbersAsFfmpeg_data();
    void sameNumbersAsFfmpeg();
};

void TestFfmpegComparison::sameNumbersAsFfmpeg_data()
{
    QTest::addColumn<QString>("pixelFormat");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("y4m"); // both files as y4m instead of raw
    QTest::addColumn<QStringList>("ffmpegOptions");

    const QStringList none;
    QTest::newRow("gray 176x144") << "gray" << 176 << 144 << false << none;
    QTest::newRow("yuv420p 163x121: odd sizes, chroma rounded up")
            << "yuv420p" << 163 << 121 << false << none;
    QTest::newRow("yuv422p 160x90") << "yuv422p" << 160 << 90 << false << none;
    QTest::newRow("yuv444p 96x64") << "yuv444p" << 96 << 64 << false << none;
    QTest::newRow("nv12 128x72") << "nv12" << 128 << 72 << false << none;
    QTest::newRow("gray10le 130x70") << "gray10le" << 130 << 70 << false << none;
    QTest::newRow("yuv420p10le 176x144") << "yuv420p10le" << 176 << 144 << false << none;
    QTest::newRow("yuv420p12le 64x48") << "yuv420p12le" << 64 << 48 << false << none;
    QTest::newRow("yuv420p16le 64x48") << "yuv420p16le" << 64 << 48 << false << none;
    QTest::newRow("y4m yuv420p 160x120") << "yuv420p" << 160 << 120 << true << none;
    QTest::newRow("y4m yuv422p10le 96x64") << "yuv422p10le" << 96 << 64 << true << none;
    // ffmpeg's x86 SSIM code for 8 bits adds windows that are not there when a plane is
    // 4 * (4n + 2) .. + 3 samples wide (here the 88-wide chroma, 22 blocks): its own plain C
    // code, which these rows are held to, counts (22 - 1) windows across as elsewhere.
    QTest::newRow("yuv420p 176x144, chroma 88 wide: ffmpeg's C code")
            << "yuv420p" << 176 << 144 << false << QStringList {"-cpuflags", "0"};
    QTest::newRow("yuv420p 177x143, chroma 89 wide: ffmpeg's C code")
            << "yuv420p" << 177 << 143 << false << QStringList {"-cpuflags", "0"};
}

void TestFfmpegComparison::sameNumbersAsFfmpeg()
{
    QFETCH(QString, pixelFormat);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, y4m);
    QFETCH(QStringList, ffmpegOptions);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString mainFile = folder.filePath("main.yuv");
    const QString referenceFile = folder.filePath("reference.yuv");
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    const int frames = 6;
    QString error;
    // testsrc2 drawn in RGB so that odd sizes survive; the copy blurred and noisy.
    QVERIFY2(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=25,format=rgb24",
                        "-frames:v", QString::number(frames), "-pix_fmt", pixelFormat, "-f",
                        "rawvideo", mainFile},
                       &error),
             qPrintable(error));
    QVERIFY2(runFfmpeg({"-f", "rawvideo", "-pix_fmt", pixelFormat, "-s", size, "-i", mainFile,
                        "-vf", "gblur=sigma=0.6,noise=alls=4:allf=t", "-pix_fmt", pixelFormat, "-f",
                        "rawvideo", referenceFile},
                       &error),
             qPrintable(error));
    // The first frame left identical: PSNR inf, SSIM 1 on both sides.
    {
        QFile main(mainFile);
        QFile reference(referenceFile);
        QVERIFY(main.open(QIODevice::ReadOnly) && reference.open(QIODevice::ReadWrite));
        const qint64 frameBytes = main.size() / frames;
        QCOMPARE(reference.write(main.read(frameBytes)), frameBytes);
    }
    const QVector<FfmpegFrameStats> expected
            = ffmpegStats(mainFile, referenceFile, pixelFormat, width, height, folder.path(),
                          &error, ffmpegOptions);
    QVERIFY2(!expected.isEmpty(), qPrintable(error));
    QCOMPARE(expected.size(), frames);

    QStringList arguments {"--metrics", "--size", size, "--pix-fmt", pixelFormat};
    QString ourMain = mainFile;
    QString ourReference = referenceFile;
    if (y4m) {
        ourMain = folder.filePath("main.y4m");
        ourReference = folder.filePath("reference.y4m");
        for (const QString *pFile : {&mainFile, &referenceFile}) {
            const QString target = pFile == &mainFile ? ourMain : ourReference;
            QVERIFY2(runFfmpeg({"-f", "rawvideo", "-pix_fmt", pixelFormat, "-s", size, "-i", *pFile,
                                "-strict", "-1", "-f", "yuv4mpegpipe", target},
                               &error),
                     qPrintable(error));
        }
        arguments = QStringList {"--metrics"}; // everything from the headers
    }
    QProcess rawcompare;
    rawcompare.start(QStringLiteral(RAWCOMPARE_PATH),
                     arguments + QStringList {ourMain, "--ref1", ourReference});
    QVERIFY(rawcompare.waitForFinished(60000));
    QCOMPARE(rawcompare.exitCode(), 0);
    const QVector<CsvRow> rows = parseCsv(rawcompare.readAllStandardOutput(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    QCOMPARE(rows.size(), frames);

    double worstPsnr = 0.0;
    double worstSsim = 0.0;
    for (int f = 0; f < frames; ++f) {
        const CsvRow &ours = rows[f];
        const FfmpegFrameStats &theirs = expected[f];
        QCOMPARE(ours.frame, f);
        QCOMPARE(ours.reference, 1);
        for (int p = 0; p < 3; ++p) {
            const double mse = ours.values[p];
            const double psnr = ours.values[3 + p];
            const double ssim = ours.values[6 + p];
            if (p >= theirs.planes) {
                QVERIFY(std::isnan(mse) && std::isnan(psnr) && std::isnan(ssim));
                continue;
            }
            const QString where = QStringLiteral("frame %1 plane %2: ours %3 / %4, ffmpeg %5 / %6")
                                          .arg(f)
                                          .arg(p)
                                          .arg(psnr, 0, 'f', 6)
                                          .arg(ssim, 0, 'f', 6)
                                          .arg(theirs.psnr[p])
                                          .arg(theirs.ssim[p]);
            if (std::isinf(theirs.psnr[p])) {
                QVERIFY2(std::isinf(psnr) && mse == 0.0, qPrintable(where));
            } else {
                // ffmpeg prints PSNR and MSE with two decimals.
                QVERIFY2(std::abs(psnr - theirs.psnr[p]) <= 0.01, qPrintable(where));
                QVERIFY2(std::abs(mse - theirs.mse[p]) <= 0.005 + 1e-6 * mse, qPrintable(where));
                worstPsnr = std::max(worstPsnr, std::abs(psnr - theirs.psnr[p]));
            }
            QVERIFY2(std::abs(ssim - theirs.ssim[p]) <= 0.0001, qPrintable(where));
            worstSsim = std::max(worstSsim, std::abs(ssim - theirs.ssim[p]));
        }
        // The identical first frame, and degraded ones after it.
        if (f == 0)
            QCOMPARE(ours.values[6], 1.0);
        else
            QVERIFY(ours.values[3] < 60 && ours.values[6] < 0.999);
    }
    qInfo("largest differences from ffmpeg: PSNR %.4f dB, SSIM %.7f", worstPsnr, worstSsim);
}

QTEST_APPLESS_MAIN(TestFfmpegComparison)
#include "tst_ffmpegcomparison.moc"
