#include <cstdio>
#include <utility>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

#include "metricsrunner.h"
#include "programrun.h"

namespace {

using Outcome = ProgramRun;

// The program without a window: --metrics unless the arguments name another mode.
Outcome runRawcompare(const QStringList &arguments, const QString &folder)
{
    const bool ownMode = arguments.contains("--block-errors")
            || !arguments.filter(QRegularExpression("^--find-offset")).isEmpty();
    return ProgramRun::run((ownMode ? QStringList() : QStringList {"--metrics"}) + arguments,
                           folder);
}

// Gray frames: frame f of `frames` holds value(f) everywhere, plus `extra` on sample 0.
QByteArray grayFrames(int width, int height, int frames, int base, int extra = 0)
{
    QByteArray bytes;
    for (int f = 0; f < frames; ++f) {
        QByteArray frame(width * height, char(base + 10 * f));
        frame[0] = char(base + 10 * f + extra);
        bytes += frame;
    }
    return bytes;
}

// 40 gray 96x64 frames of a smooth moving pattern, frame g showing the pattern's moment g + shift,
// with uniform noise of up to +-`noise` drawn from `seed`; or, `patternless`, random samples only.
QByteArray movingFrames(int shift, int noise, quint32 seed, bool patternless = false)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    for (int g = 0; g < 40; ++g) {
        const double t = g + shift;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                const double pattern = patternless
                        ? random.bounded(256)
                        : 128 + 90 * std::sin(0.21 * x + 0.37 * t) * std::cos(0.17 * y - 0.23 * t);
                const int jitter = noise > 0 ? random.bounded(2 * noise + 1) - noise : 0;
                bytes += char(std::clamp(int(std::lround(pattern)) + jitter, 0, 255));
            }
        }
    }
    return bytes;
}

QList<QByteArray> csvLines(const QByteArray &out) { return out.trimmed().split('\n'); }

const QByteArray header = "frame,ref,mse_y,mse_u,mse_v,psnr_y,psnr_u,psnr_v,ssim_y,ssim_u,ssim_v";

} // namespace

class TestMetricsRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failures_data();
    void failures();
    void grayPairsByHand_data();
    void grayPairsByHand();
    void yuvAgainstGrayComparesY();
    void chromaSampledOtherwiseIsNotCompared_data();
    void chromaSampledOtherwiseIsNotCompared();
    void jsonStaysWholeWhenAFrameCannotBeRead();
    void notEnoughMemoryIsSaid();
    void jsonShape();
    void stillPictures();
    void offsetsPairShiftedFrames_data();
    void offsetsPairShiftedFrames();
    void referenceFileOptions_data();
    void referenceFileOptions();
    void blockErrorsByHand_data();
    void blockErrorsByHand();
    void blockErrorsJsonShape();
    void gate_data();
    void gate();
    void findOffset_data();
    void findOffset();
    void regionEqualsCroppedFiles_data();
    void regionEqualsCroppedFiles();

private:
    QTemporaryDir m_folder;
};

void TestMetricsRunner::initTestCase()
{
    QVERIFY(m_folder.isValid());
    const QString f = m_folder.path() + QLatin1Char('/');
    QVERIFY(writeFile(f + "a.gray", grayFrames(8, 8, 3, 100)));
    QVERIFY(writeFile(f + "b.gray", grayFrames(8, 8, 3, 100, 4)));
    QVERIFY(writeFile(f + "short.gray", grayFrames(8, 8, 2, 100, 4)));
    QVERIFY(writeFile(f + "wide_16x8.gray", grayFrames(16, 8, 3, 100, 4)));
    QVERIFY(writeFile(f + "b_8x8.gray", grayFrames(8, 8, 3, 100, 4)));
    QVERIFY(writeFile(f + "noname.yuv", QByteArray(96, '\0')));
    QVERIFY(writeFile(f + "tiny.gray", QByteArray(10, '\0')));
    // 8x8 4:2:0 frames: 64 luma, 16 + 16 chroma bytes.
    QVERIFY(writeFile(f + "a_8x8.yuv", QByteArray(96 * 2, char(50))));
    QVERIFY(writeFile(f + "mono8.y4m",
                      "YUV4MPEG2 W8 H8 F25:1 Cmono\nFRAME\n" + QByteArray(64, char(50))));
    // 16x16 4:2:0, 6 frames of noise each (384 bytes a frame), for the offsets.
    QRandomGenerator noise(13);
    for (const char *name : {"noise_main.yuv", "noise_ref.yuv"}) {
        QByteArray bytes(384 * 6, '\0');
        for (char &byte : bytes)
            byte = char(noise.bounded(256));
        QVERIFY(writeFile(f + name, bytes));
    }
    QVERIFY(writeFile(f + "mono16.y4m",
                      "YUV4MPEG2 W8 H8 F25:1 Cmono16\nFRAME\n" + QByteArray(128, '\1')));
    // A FIFO no one writes to: reading it would wait for ever.
    QCOMPARE(mkfifo(QFile::encodeName(f + "fifo_8x8.gray").constData(), 0600), 0);
    QVERIFY(writeFile(f + "x_99999x99999.yuv", QByteArray(64, '\0')));
    QVERIFY(writeFile(f + "x_0x0.yuv", QByteArray(64, '\0')));
    QVERIFY(writeFile(f + "long_a.gray", grayFrames(8, 8, 12, 100)));
    QVERIFY(writeFile(f + "long_b.gray", grayFrames(8, 8, 12, 100, 4)));
    // 768 bytes of noise each, read as 16x16 or 8x8 4:4:4 (q) and as 8x8 4:2:0 (r).
    for (const QStringList &names : {QStringList {"q.yuv", "q_16x16.yuv", "q_8x8_yuv444p.yuv"},
                                     QStringList {"r.yuv", "r_8x8.yuv"}}) {
        QByteArray bytes(768, '\0');
        for (char &byte : bytes)
            byte = char(noise.bounded(256));
        for (const QString &name : names)
            QVERIFY(writeFile(f + name, bytes));
    }
}

void TestMetricsRunner::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // the start of stderr

    const QStringList gray {"--size", "8x8", "--gray"};
    QTest::newRow("main file missing: 1") << (gray + QStringList {"none.gray", "--ref1", "b.gray"})
                                          << 1 << "rawcompare: none.gray: no such file\n";
    QTest::newRow("reference missing: 1") << (gray + QStringList {"a.gray", "--ref2", "none.gray"})
                                          << 1 << "rawcompare: none.gray: no such file\n";
    QTest::newRow("raw file of unknown size: 2")
            << QStringList {"noname.yuv", "--ref1", "noname.yuv"} << 2
            << "rawcompare: noname.yuv: frame size unknown: give --size WxH, or name the file "
               "like clip_1920x1080.yuv\n";
    QTest::newRow("shorter than one frame: 1")
            << (gray + QStringList {"tiny.gray", "--ref1", "b.gray"}) << 1
            << "rawcompare: Not enough data in file for one frame (tiny.gray: 10 bytes; one 8×8 "
               "gray frame needs 64)\n";
    QTest::newRow("depths differ: 1")
            << (gray + QStringList {"a.gray", "--ref1", "mono16.y4m"}) << 1
            << "rawcompare: reference 1 (mono16.y4m) has 16-bit samples, the main movie 8-bit: "
               "they can't be compared\n";
    QTest::newRow("first frame beyond the end: 1")
            << (gray + QStringList {"--frames", "3", "a.gray", "--ref1", "b.gray"}) << 1
            << "rawcompare: a.gray holds 3 frames: --frames starts at frame 3\n";
    QTest::newRow("a FIFO: refused at once, 1")
            << (gray + QStringList {"a.gray", "--ref1", "fifo_8x8.gray"}) << 1
            << "rawcompare: fifo_8x8.gray: not a regular file";
    QTest::newRow("size in the name too large: 2")
            << QStringList {"x_99999x99999.yuv", "--ref1", "b.gray"} << 2
            << "rawcompare: x_99999x99999.yuv: the frame size 99999x99999 in its name is out of "
               "range";
    QTest::newRow("size in the name 0x0: 2")
            << QStringList {"x_0x0.yuv", "--ref1", "b.gray"} << 2
            << "rawcompare: x_0x0.yuv: the frame size 0x0 in its name is out of range";
    QTest::newRow("block size not 4, 8, 16, 32 or 64: 2")
            << QStringList {"--block-errors", "12", "a.gray", "--ref1", "b.gray"} << 2
            << "rawcompare: Invalid block size '12': expected 4, 8, 16, 32 or 64, once.\n";
    QTest::newRow("a bound without --metrics: 2")
            << QStringList {"--block-errors", "8", "a.gray", "--ref1", "b.gray",
                            "--max-abs-diff", "3"}
            << 2 << "rawcompare: --max-abs-diff needs --metrics.\n";
    QTest::newRow("region outside the frame: 2")
            << (gray + QStringList {"--region", "8,0,4,4", "a.gray", "--ref1", "b.gray"}) << 2
            << "rawcompare: --region 8,0,4,4 lies outside the main movie's 8x8 frame\n";
    QTest::newRow("bad arguments: 2")
            << QStringList {"--json", "--csv", "a.gray", "--ref1", "b.gray"} << 2
            << "rawcompare: --csv and --json exclude each other.\n";
}

void TestMetricsRunner::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, error);

    const Outcome outcome = runRawcompare(arguments, m_folder.path());
    QCOMPARE(outcome.status, status);
    QVERIFY2(outcome.err.startsWith(error.toUtf8()), outcome.err.constData());
    QVERIFY2(outcome.out.isEmpty(), outcome.out.constData());
}

// SSIM of an 8x8 plane of value v against the same with one sample v + 4, by hand from the
// sums over the window: s1 = 64v, s2 = 64v + 4, variances 64 ss - s1^2 - s2^2 = 1008,
// covariance 0; C1 = 416 and C2 = 235963 for 8 bits.
double oneSampleOffSsim(double v)
{
    const double s1 = 64 * v, s2 = 64 * v + 4, c1 = 416, c2 = 235963;
    return (2 * s1 * s2 + c1) * c2 / ((s1 * s1 + s2 * s2 + c1) * (1008 + c2));
}

void TestMetricsRunner::grayPairsByHand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("lines"); // without the three SSIM columns
    QTest::addColumn<QVector<double>>("ssim"); // SSIM Y of each line
    QTest::addColumn<QString>("note"); // expected somewhere on stderr

    // One sample of 64 off by 4: MSE 16/64 = 0.25, PSNR 10 log10(255^2 / 0.25) = 54.15140352.
    const QByteArray row = ",1,0.25,,,54.151404,,";
    const QVector<double> off {oneSampleOffSsim(100), oneSampleOffSsim(110), oneSampleOffSsim(120)};
    const QStringList gray {"--size", "8x8", "--gray"};
    QTest::newRow("same length: every frame")
            << (gray + QStringList {"a.gray", "--ref1", "b.gray"})
            << QList<QByteArray> {"0" + row, "1" + row, "2" + row} << off << "";
    QTest::newRow("identical: inf and SSIM 1")
            << (gray + QStringList {"a.gray", "--ref2", "a.gray"})
            << QList<QByteArray> {"0,2,0,,,inf,,", "1,2,0,,,inf,,", "2,2,0,,,inf,,"}
            << QVector<double> {1, 1, 1} << "";
    QTest::newRow("reference shorter: its frames only, and said so")
            << (gray + QStringList {"a.gray", "--ref1", "short.gray"})
            << QList<QByteArray> {"0" + row, "1" + row} << off.mid(0, 2)
            << "rawcompare: note: main 3 frames, reference 1 (short.gray) 2: frames 2 to 2 are "
               "not compared with reference 1\n";
    QTest::newRow("frame range keeps the file's frame numbers")
            << (gray + QStringList {"--frames", "1:5", "a.gray", "--ref1", "b.gray"})
            << QList<QByteArray> {"1" + row, "2" + row} << off.mid(1) << "";
    QTest::newRow("different sizes from the names: the common area, and said so")
            << QStringList {"wide_16x8.gray", "--ref1", "b_8x8.gray"}
            << QList<QByteArray> {"0,1,0,,,inf,,", "1,1,0,,,inf,,", "2,1,0,,,inf,,"}
            << QVector<double> {1, 1, 1}
            << "rawcompare: note: main 16x8, reference 1 (b_8x8.gray) 8x8: compared over the "
               "top-left 8x8\n";
}

void TestMetricsRunner::grayPairsByHand()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QVector<double>, ssim);
    QFETCH(QString, note);

    const Outcome outcome = runRawcompare(arguments, m_folder.path());
    QCOMPARE(outcome.status, 0);
    QList<QByteArray> got = csvLines(outcome.out);
    QCOMPARE(got.value(0), header);
    QCOMPARE(got.size(), lines.size() + 1);
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = got[i + 1];
        QVERIFY2(line.startsWith(lines[i] + ','), line.constData());
        const QList<QByteArray> cells = line.split(',');
        QCOMPARE(cells.size(), 11);
        QVERIFY2(std::abs(cells[8].toDouble() - ssim[i]) < 1e-6, line.constData());
        QVERIFY(cells[9].isEmpty() && cells[10].isEmpty());
    }
    QVERIFY2(outcome.err.contains(note.toUtf8()), outcome.err.constData());
    QVERIFY(outcome.err.contains("mean PSNR"));
}

void TestMetricsRunner::yuvAgainstGrayComparesY()
{
    // Two 8x8 4:2:0 frames of 50 (size from the name) against one y4m gray frame of 50.
    const Outcome outcome = runRawcompare({"a_8x8.yuv", "--ref1", "mono8.y4m"}, m_folder.path());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, header + "\n0,1,0,,,inf,,,1,,\n");
    for (const char *note : {"rawcompare: note: a_8x8.yuv: 8x8 taken from the file name\n",
                             "rawcompare: note: reference 1 (mono8.y4m) is gray and the main "
                             "movie YUV: only Y is compared\n",
                             "rawcompare: note: main 2 frames, reference 1 (mono8.y4m) 1: frames 1 "
                             "to 1 are not compared with reference 1\n"})
        QVERIFY2(outcome.err.contains(note), outcome.err.constData());
}

void TestMetricsRunner::chromaSampledOtherwiseIsNotCompared_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QByteArray>("row"); // the line of frame 0
    QTest::addColumn<QString>("note"); // on stderr once; empty: nothing about chroma

    // 8x8 frames of 50: 4:4:4 of 192 bytes, 4:2:2 of 128 and 4:2:0 of 96 (a_8x8.yuv).
    const QByteArray yOnly = "0,1,0,,,inf,,,1,,";
    QTest::newRow("4:4:4 against 4:2:0: Y only")
            << QStringList {"m_8x8_yuv444p.yuv", "--ref1", "a_8x8.yuv"} << yOnly
            << "rawcompare: note: reference 1 (a_8x8.yuv) has 4:2:0 (4x4) chroma, the main movie "
               "4:4:4 (8x8): U and V are not compared, only Y\n";
    QTest::newRow("4:2:0 against 4:2:2: Y only")
            << QStringList {"a_8x8.yuv", "--ref1", "m_8x8_yuv422p.yuv"} << yOnly
            << "rawcompare: note: reference 1 (m_8x8_yuv422p.yuv) has 4:2:2 (4x8) chroma, the "
               "main movie 4:2:0 (4x4): U and V are not compared, only Y\n";
    QTest::newRow("4:2:0 of two sizes: U and V over the common area")
            << QStringList {"m_16x8.yuv", "--ref1", "a_8x8.yuv"}
            << QByteArray("0,1,0,0,0,inf,inf,inf,1,nan,nan") << "";
}

void TestMetricsRunner::chromaSampledOtherwiseIsNotCompared()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, row);
    QFETCH(QString, note);

    for (const auto &[name, bytes] :
         {std::pair("m_8x8_yuv444p.yuv", 192), std::pair("m_8x8_yuv422p.yuv", 128),
          std::pair("m_16x8.yuv", 192)})
        QVERIFY(writeFile(m_folder.filePath(name), QByteArray(bytes, char(50))));
    const Outcome outcome = runRawcompare(files, m_folder.path());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(csvLines(outcome.out).value(1), row);
    QVERIFY2(outcome.err.contains(note.toUtf8()), outcome.err.constData());
    QCOMPARE(outcome.err.count("U and V are not compared"), note.isEmpty() ? 0 : 1);
}

void TestMetricsRunner::jsonStaysWholeWhenAFrameCannotBeRead()
{
    // Main frames 1 and 2 are cut off the file as the output begins: frame 1 can't be read.
    const QString main = m_folder.filePath("shrinking.gray");
    QVERIFY(writeFile(main, grayFrames(8, 8, 3, 100)));
    static QString cutOnWrite;
    static QByteArray out;
    cutOnWrite = main;
    cookie_io_functions_t writer {};
    writer.write = [](void *, const char *pBytes, size_t size) -> ssize_t {
        const QString cut = std::exchange(cutOnWrite, QString());
        if (!cut.isEmpty())
            QFile::resize(cut, 64);
        out.append(pBytes, qsizetype(size));
        return ssize_t(size);
    };
    std::FILE *pOut = fopencookie(nullptr, "w", writer);
    setvbuf(pOut, nullptr, _IONBF, 0);
    MetricsOptions options {main, m_folder.filePath("b.gray"), {}, true, {8, 8, "gray"}};
    std::FILE *pErr = std::tmpfile();
    QCOMPARE(MetricsRunner(pOut, pErr).run(options), 1);
    std::fclose(pOut);
    std::fclose(pErr);

    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, out.constData());
    QCOMPARE(document.value("frames").toArray().size(), 1);
    QVERIFY2(document.value("error").toString().contains("frame 1, plane Y can't be read"),
             out.constData());
}

void TestMetricsRunner::notEnoughMemoryIsSaid()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer's allocator can't live under a lowered address-space limit");
#endif
    // A 65536x65536 gray frame (4 GiB, sparse) is 16 GiB as floats: more than the 6 GiB of
    // address space the program gets.
    const QString big = m_folder.filePath("big_65536x65536_gray.yuv");
    QVERIFY(writeFile(big, {}) && QFile::resize(big, qint64(1) << 32));
    QProcess process;
    process.start("prlimit", {"--as=6442450944", RAWCOMPARE_PATH, "--metrics", big, "--ref1", big});
    if (!process.waitForStarted())
        QSKIP("prlimit is not installed");
    QVERIFY(process.waitForFinished(60000));
    QFile::remove(big);
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains("\nrawcompare: Not enough memory to compare frames of 65536x65536 "
                          "samples\n"),
             err.constData());
}

void TestMetricsRunner::jsonShape()
{
    const Outcome outcome = runRawcompare(
            {"--json", "--size", "8x8", "--gray", "a.gray", "--ref1", "b.gray", "--ref2", "a.gray"},
            m_folder.path());
    QCOMPARE(outcome.status, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(outcome.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray frames = document.object().value("frames").toArray();
    QCOMPARE(frames.size(), 6);
    const QJsonObject first = frames[0].toObject();
    QCOMPARE(first.value("frame").toInt(-1), 0);
    QCOMPARE(first.value("ref").toInt(), 1);
    QCOMPARE(first.value("mse").toObject().value("y").toDouble(), 0.25);
    QVERIFY(!first.value("mse").toObject().contains("u"));
    const QJsonObject identical = frames[1].toObject();
    QCOMPARE(identical.value("ref").toInt(), 2);
    QCOMPARE(identical.value("psnr").toObject().value("y").toString(), QString("inf"));
    QCOMPARE(identical.value("ssim").toObject().value("y").toDouble(), 1.0);

    const QJsonArray summary = document.object().value("summary").toArray();
    QCOMPARE(summary.size(), 2);
    const QJsonObject ref1 = summary[0].toObject();
    QCOMPARE(ref1.value("ref").toInt(), 1);
    QCOMPARE(ref1.value("plane").toString(), QString("y"));
    QCOMPARE(ref1.value("frames").toInt(), 3);
    QVERIFY(std::abs(ref1.value("psnr_of_mean_mse").toDouble() - 54.151404) < 1e-5);
    QCOMPARE(ref1.value("worst_frame").toInt(-1), 0);
    QVERIFY(!outcome.err.contains("mean PSNR")); // the summary is in the object
}

void TestMetricsRunner::stillPictures()
{
    // Gray pictures: 100 everywhere, one 12x10 picture with 4 samples at 108 in its top rows.
    QImage main(12, 10, QImage::Format_Grayscale8);
    main.fill(100);
    QImage changed = main;
    for (int x = 0; x < 4; ++x)
        changed.setPixel(x, 0, qRgb(108, 108, 108));
    QVERIFY(main.save(m_folder.filePath("main.png")));
    QVERIFY(changed.save(m_folder.filePath("changed.png")));

    const Outcome outcome = runRawcompare({"main.png", "--ref1", "changed.png"}, m_folder.path());
    QCOMPARE(outcome.status, 0);
    const QList<QByteArray> lines = csvLines(outcome.out);
    QCOMPARE(lines.size(), 2);
    const QList<QByteArray> cells = lines[1].split(',');
    QCOMPARE(cells.size(), 11);
    // MSE 4 * 64 / 120; the changed samples lie in the top window row, so SSIM < 1.
    QVERIFY(std::abs(cells[2].toDouble() - 4 * 64 / 120.0) < 1e-6);
    QVERIFY(cells[3].isEmpty() && cells[4].isEmpty());
    const double ssim = cells[8].toDouble();
    QVERIFY2(ssim > 0.5 && ssim < 1.0 && !std::isnan(ssim), cells[8].constData());
}

void TestMetricsRunner::offsetsPairShiftedFrames_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("first"); // main frames first .. end - 1 meet reference frames - offset
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("note");

    QTest::newRow("reference starts at main frame 2")
            << 2 << 2 << 6
            << "rawcompare: note: reference 1 (noise_ref.yuv) starts at main frame 2: main frames "
               "2 to 5 are compared with its frames 0 to 3; frames without a partner are not "
               "compared\n";
    QTest::newRow("reference starts 3 frames before the main movie")
            << -3 << 0 << 3
            << "rawcompare: note: reference 1 (noise_ref.yuv) starts at main frame -3: main frames "
               "0 to 2 are compared with its frames 3 to 5; frames without a partner are not "
               "compared\n";
    QTest::newRow("reference starts after the main movie: nothing compared")
            << 6 << 0 << 0
            << "rawcompare: note: reference 1 (noise_ref.yuv) starts at main frame 6: no frame of "
               "it meets a frame of the main movie, it is not compared\n";
}

void TestMetricsRunner::offsetsPairShiftedFrames()
{
    QFETCH(int, offset);
    QFETCH(int, first);
    QFETCH(int, end);
    QFETCH(QString, note);

    const QStringList yuv {"--size", "16x16"};
    const Outcome shifted
            = runRawcompare(yuv
                                    + QStringList {"noise_main.yuv", "--ref1", "noise_ref.yuv",
                                                   "--ref1-offset", QString::number(offset)},
                            m_folder.path());
    QCOMPARE(shifted.status, 0);
    QVERIFY2(shifted.err.contains(note.toUtf8()), shifted.err.constData());
    const QList<QByteArray> rows = csvLines(shifted.out);
    QCOMPARE(rows.value(0), header);
    QCOMPARE(rows.size(), 1 + end - first);
    if (end == first)
        return;

    // The same pairs cut out of the files by bytes, compared frame for frame.
    const QString f = m_folder.path() + QLatin1Char('/');
    auto cut = [&](const char *from, const QString &to, int firstFrame) {
        QFile in(f + from);
        return in.open(QIODevice::ReadOnly)
                && writeFile(to, in.readAll().mid(384 * firstFrame, 384 * (end - first)));
    };
    QVERIFY(cut("noise_main.yuv", f + "cut_main.yuv", first));
    QVERIFY(cut("noise_ref.yuv", f + "cut_ref.yuv", first - offset));
    const Outcome direct = runRawcompare(
            yuv + QStringList {"cut_main.yuv", "--ref1", "cut_ref.yuv"}, m_folder.path());
    QCOMPARE(direct.status, 0);
    const QList<QByteArray> expected = csvLines(direct.out);
    QCOMPARE(expected.size(), rows.size());
    for (int i = 1; i < rows.size(); ++i) {
        // Frame numbers are the main movie's; every measure of Y, U and V is the same.
        QList<QByteArray> cells = rows[i].split(',');
        QCOMPARE(cells.value(0).toInt(), first + i - 1);
        QVERIFY(!cells.value(3).isEmpty() && !cells.value(10).isEmpty());
        cells[0] = QByteArray::number(i - 1);
        QCOMPARE(cells.join(','), expected[i]);
    }
}

void TestMetricsRunner::referenceFileOptions_data()
{
    QTest::addColumn<QStringList>("withOptions");
    QTest::addColumn<QStringList>("byNames"); // the same movies, sized by their names
    QTest::addColumn<int>("rows");

    QTest::newRow("--ref1-size 8x8 beside --size 16x16")
            << QStringList {"--size", "16x16", "q.yuv", "--ref1", "r.yuv", "--ref1-size", "8x8"}
            << QStringList {"q_16x16.yuv", "--ref1", "r_8x8.yuv"} << 2;
    const QStringList mixed {"--size", "8x8",   "--pix-fmt",      "yuv444p", "q.yuv",
                             "--ref1", "r.yuv", "--ref1-pix-fmt", "yuv420p"};
    const QStringList mixedByNames {"q_8x8_yuv444p.yuv", "--ref1", "r_8x8.yuv"};
    QTest::newRow("4:4:4 main, --ref1-pix-fmt yuv420p") << mixed << mixedByNames << 4;
    QTest::newRow("--ref1-frames 3 meets main frame 0")
            << QStringList {"--size", "8x8", "r.yuv", "--ref1", "r.yuv", "--ref1-frames", "3"}
            << QStringList {"--size", "8x8", "r.yuv", "--ref1", "r.yuv", "--ref1-offset", "-3"}
            << 5;
    QTest::newRow("--ref2-size leaves reference 1 at --size")
            << QStringList {"--size", "16x16", "q.yuv",       "--ref1", "q.yuv",
                            "--ref2", "r.yuv", "--ref2-size", "8x8"}
            << QStringList {"q_16x16.yuv", "--ref1", "q_16x16.yuv", "--ref2", "r_8x8.yuv"} << 4;
    QTest::newRow("--block-errors, 4:4:4 main, --ref1-pix-fmt yuv420p")
            << QStringList {"--block-errors", "4"} + mixed
            << QStringList {"--block-errors", "4"} + mixedByNames << 16;
}

void TestMetricsRunner::referenceFileOptions()
{
    QFETCH(QStringList, withOptions);
    QFETCH(QStringList, byNames);
    QFETCH(int, rows);

    const Outcome own = runRawcompare(withOptions, m_folder.path());
    const Outcome named = runRawcompare(byNames, m_folder.path());
    QVERIFY2(own.status == 0, own.err.constData());
    QCOMPARE(csvLines(own.out).size(), 1 + rows);
    QCOMPARE(own.out, named.out);
}

void TestMetricsRunner::blockErrorsByHand_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("block");

    QTest::newRow("8-bit gray 32x16, blocks of 8: whole blocks") << "gray" << 32 << 16 << 8;
    QTest::newRow("8-bit 4:2:0 20x12, blocks of 8: smaller at the edges")
            << "yuv420p" << 20 << 12 << 8;
    QTest::newRow("10-bit gray 19x13, blocks of 4: smaller at the edges")
            << "gray10le" << 19 << 13 << 4;
    QTest::newRow("10-bit 4:2:0 36x20, blocks of 32") << "yuv420p10le" << 36 << 20 << 32;
}

void TestMetricsRunner::blockErrorsByHand()
{
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, block);

    // Two frames of noise; the reference is other noise in frame 0 and the same in frame 1.
    const bool yuv = format.startsWith("yuv"), deep = format.endsWith("10le");
    const int peak = deep ? 1023 : 255, sides[3][2] = {{width, height}, {width / 2, height / 2}};
    QByteArray main, reference;
    QList<std::array<QVector<int>, 2>> planes; // per frame and plane: main, reference samples
    QRandomGenerator noise(7);
    for (int f = 0; f < 2; ++f) {
        for (int p = 0; p < (yuv ? 3 : 1); ++p) {
            planes.append(std::array<QVector<int>, 2>());
            for (int i = 0; i < sides[p > 0][0] * sides[p > 0][1]; ++i) {
                const int m = noise.bounded(peak + 1), r = f ? m : noise.bounded(peak + 1);
                planes.last()[0].append(m);
                planes.last()[1].append(r);
                for (auto [bytes, v] : {std::pair(&main, m), std::pair(&reference, r)})
                    bytes->append(QByteArray(1, char(v)).append(deep ? 1 : 0, char(v >> 8)));
            }
        }
    }
    QVERIFY(writeFile(m_folder.filePath("bm"), main)
            && writeFile(m_folder.filePath("br"), reference));
    const Outcome outcome = runRawcompare({"--block-errors", QString::number(block), "--size",
                                           QStringLiteral("%1x%2").arg(width).arg(height),
                                           "--pix-fmt", format, "bm", "--ref1", "br"},
                                          m_folder.path());
    QCOMPARE(outcome.status, 0);
    const QList<QByteArray> lines = csvLines(outcome.out);
    QCOMPARE(lines.value(0), "frame,ref,plane,x,y,width,height,mse,psnr,max_abs_diff");
    int line = 1;
    for (int index = 0; index < planes.size(); ++index) {
        const int f = index / (yuv ? 3 : 1), p = index % (yuv ? 3 : 1);
        const int w = sides[p > 0][0], h = sides[p > 0][1];
        for (int y = 0; y < h; y += block) {
            for (int x = 0; x < w; x += block, ++line) {
                const int bw = std::min(block, w - x), bh = std::min(block, h - y);
                double sum = 0, most = 0;
                for (int i = 0; i < bw * bh; ++i) {
                    const int at = (y + i / bw) * w + x + i % bw;
                    const int d = planes[index][0][at] - planes[index][1][at];
                    sum += d * d;
                    most = std::max(most, std::abs(double(d)));
                }
                const QList<QByteArray> cells = lines.value(line).split(',');
                const QByteArray where = QByteArray::number(f) + ",1," + "yuv"[p] + ','
                        + QByteArray::number(x) + ',' + QByteArray::number(y) + ','
                        + QByteArray::number(bw) + ',' + QByteArray::number(bh);
                QVERIFY2(cells.size() == 10 && cells.mid(0, 7).join(',') == where,
                         lines.value(line).constData());
                const double mse = sum / (bw * bh), psnr = 10 * std::log10(peak * peak / mse);
                QVERIFY(std::abs(cells[7].toDouble() - mse) <= 1e-7 * mse);
                QVERIFY(mse == 0 ? cells[8] == "inf" : std::abs(cells[8].toDouble() - psnr) < 1e-5);
                QCOMPARE(cells[9].toDouble(), most);
            }
        }
    }
    QCOMPARE(lines.size(), line);
}

void TestMetricsRunner::blockErrorsJsonShape()
{
    // 8x8 gray, 3 frames, one sample 4 off against reference 1, identical to reference 2.
    const Outcome outcome
            = runRawcompare({"--block-errors", "4", "--json", "--size", "8x8", "--gray", "--frames",
                             "1", "a.gray", "--ref1", "b.gray", "--ref2", "a.gray"},
                            m_folder.path());
    QCOMPARE(outcome.status, 0);
    QJsonParseError error;
    const QJsonArray blocks
            = QJsonDocument::fromJson(outcome.out, &error).object().value("blocks").toArray();
    QVERIFY2(error.error == QJsonParseError::NoError, outcome.out.constData());
    QCOMPARE(blocks.size(), 2 * 2 * 4); // frames 1 and 2, two references, four blocks each
    const QJsonObject first = blocks[0].toObject(), identical = blocks[4].toObject();
    QCOMPARE(first.value("frame").toInt(), 1);
    QCOMPARE(first.value("plane").toString(), "y");
    QCOMPARE(first.value("mse").toDouble(), 1.0); // 4^2 / 16
    QCOMPARE(first.value("max_abs_diff").toDouble(), 4.0);
    QCOMPARE(identical.value("ref").toInt(), 2);
    QCOMPARE(identical.value("psnr").toString(), "inf");
}

// Every frame of long_a against long_b: mse_y 16 / 64 = 0.25, psnr_y 10 log10(255^2 / 0.25),
// the largest difference 4.
void TestMetricsRunner::gate_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("bounds");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err"); // the end of stderr for status 3, else a part of it

    const QStringList gray {"--size", "8x8", "--gray", "long_a.gray", "--ref1", "long_b.gray"};
    QTest::newRow("every frame holds, bounds met exactly: 0")
            << gray << QStringList {"--fail-above", "mse_y=0.25", "--max-abs-diff", "4"} << 0
            << QByteArray("ref 1 y: 12 frames");
    QTest::newRow("two bounds broken, the files' frame numbers: 3")
            << (gray + QStringList {"--frames", "5:2"})
            << QStringList {"--fail-above", "mse_y=0.2,mse_u=0", "--max-abs-diff", "3.5"} << 3
            << QByteArray("rawcompare: frame 5, ref 1: mse_y 0.25 above 0.2, max_abs_diff 4 "
                          "above 3.5\nrawcompare: frame 6, ref 1: mse_y 0.25 above 0.2, "
                          "max_abs_diff 4 above 3.5\nrawcompare: 2 of 2 frames broke a bound\n");
    QByteArray tenFrames;
    for (int frame = 0; frame < 10; ++frame) {
        for (const char *ref : {"1", "2"})
            tenFrames += "rawcompare: frame " + QByteArray::number(frame) + ", ref " + ref
                    + ": psnr_y 54.151404 below 60\n";
    }
    QTest::newRow("twelve frames broke, the first ten listed, JSON: 3")
            << (gray + QStringList {"--ref2", "long_b.gray", "--json"})
            << QStringList {"--fail-below", "psnr_y=60,ssim_y=0.5"} << 3
            << tenFrames + "rawcompare: 12 of 12 frames broke a bound\n";
    QTest::newRow("unknown column: 2")
            << gray << QStringList {"--fail-below", "psnr_y=40,psnr_w=40"} << 2
            << QByteArray("rawcompare: Unknown column 'psnr_w' for --fail-below: expected "
                          "NAME=VALUE with NAME one of mse_y, mse_u, mse_v, psnr_y, psnr_u, "
                          "psnr_v, ssim_y, ssim_u, ssim_v.\n");
    QTest::newRow("value not a number: 2")
            << gray << QStringList {"--fail-above", "mse_y=ten"} << 2
            << QByteArray("rawcompare: Invalid value 'ten' for mse_y of --fail-above: expected a "
                          "number.\n");
    QTest::newRow("main file unreadable: 1")
            << QStringList {"--size", "8x8", "--gray", "none.gray", "--ref1", "long_b.gray"}
            << QStringList {"--fail-below", "psnr_y=40"} << 1
            << QByteArray("rawcompare: none.gray: no such file\n");
}

void TestMetricsRunner::gate()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, bounds);
    QFETCH(int, status);
    QFETCH(QByteArray, err);

    const Outcome outcome = runRawcompare(files + bounds, m_folder.path());
    QCOMPARE(outcome.status, status);
    QVERIFY2(status == 3 ? outcome.err.endsWith(err) : outcome.err.contains(err),
             outcome.err.constData());
    QCOMPARE(outcome.err.contains("broke a bound"), status == 3);
    // The output is written whole, as without the bounds.
    if (status == 0 || status == 3)
        QCOMPARE(outcome.out, runRawcompare(files, m_folder.path()).out);
    else
        QVERIFY(outcome.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestMetricsRunner)
#include "tst_metricsrunner.moc"

void TestMetricsRunner::findOffset_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QByteArray>("expected"); // how the line starts

    // The reference's frame g shows the main movie's frame g + shift: it starts at main frame
    // shift.
    QTest::newRow("shift -7") << "shift_-7.gray" << QStringList {"--find-offset"}
                              << QByteArray("ref1: offset -7 (");
    QTest::newRow("shift 0") << "shift_0.gray" << QStringList {"--find-offset=5"}
                             << QByteArray("ref1: offset 0 (");
    QTest::newRow("shift 12") << "shift_12.gray" << QStringList {"--find-offset=20"}
                              << QByteArray("ref1: offset 12 (");
    QTest::newRow("unrelated noise") << "other_noise.gray" << QStringList {"--find-offset"}
                                     << QByteArray("ref1: no clear offset (best ");
}

void TestMetricsRunner::findOffset()
{
    QFETCH(QString, reference);
    QFETCH(QStringList, option);
    QFETCH(QByteArray, expected);

    const QString f = m_folder.path() + QLatin1Char('/');
    const bool unrelated = reference == "other_noise.gray";
    QVERIFY(writeFile(f + "moving.gray", movingFrames(0, 0, 1, unrelated)));
    const int shift = unrelated ? 0 : reference.section('_', 1).section('.', 0, 0).toInt();
    QVERIFY(writeFile(f + reference, movingFrames(shift, 8, 2, unrelated)));
    const Outcome outcome = runRawcompare(
            option + QStringList {"--size", "96x64", "--gray", "moving.gray", "--ref1", reference},
            m_folder.path());
    QCOMPARE(outcome.status, 0);
    QVERIFY2(outcome.out.startsWith(expected), outcome.out.constData());
    QCOMPARE(outcome.out.count('\n'), 1);
}

void TestMetricsRunner::regionEqualsCroppedFiles_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("crop"); // ffmpeg's crop=W:H:X:Y of the same samples

    QTest::newRow("middle") << "30,20,32,24"
                            << "32:24:30:20";
    QTest::newRow("top left") << "0,0,16,16"
                              << "16:16:0:0";
    QTest::newRow("bottom right") << "56,44,40,20"
                                  << "40:20:56:44";
    QTest::newRow("cut at the frame's edge") << "80,40,40,40"
                                             << "16:24:80:40";
}

// The measures of a region are those of files cropped to it: every sample, every SSIM window
// inside it, U and V over the chroma samples that cover it.
void TestMetricsRunner::regionEqualsCroppedFiles()
{
    QFETCH(QString, region);
    QFETCH(QString, crop);

    const QString f = m_folder.path() + QLatin1Char('/');
    const auto ffmpeg = [&](const QStringList &arguments) {
        QProcess process;
        process.setWorkingDirectory(m_folder.path());
        process.start("ffmpeg", QStringList {"-loglevel", "error", "-y"} + arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    const QStringList raw {"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "96x64"};
    if (!QFile::exists(f + "clip_a.yuv")) {
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25", "-frames", "3",
                        "-pix_fmt", "yuv420p", "clip_a.yuv"}));
        QVERIFY(ffmpeg(raw
                       + QStringList {"-i", "clip_a.yuv", "-vf", "noise=alls=24:allf=t", "-pix_fmt",
                                      "yuv420p", "clip_b.yuv"}));
    }
    for (const char *name : {"clip_a", "clip_b"})
        QVERIFY(ffmpeg(raw
                       + QStringList {"-i", QString(name) + ".yuv", "-vf", "crop=" + crop, "-f",
                                      "rawvideo", QString(name) + "_crop.yuv"}));
    const QString cropSize = crop.section(':', 0, 0) + "x" + crop.section(':', 1, 1);
    const Outcome whole = runRawcompare(
            {"--size", "96x64", "--region", region, "clip_a.yuv", "--ref1", "clip_b.yuv"},
            m_folder.path());
    const Outcome cropped = runRawcompare(
            {"--size", cropSize, "clip_a_crop.yuv", "--ref1", "clip_b_crop.yuv"}, m_folder.path());
    QCOMPARE(whole.status, 0);
    QCOMPARE(cropped.status, 0);
    QCOMPARE(csvLines(whole.out).size(), 4);
    QCOMPARE(whole.out, cropped.out);
}
