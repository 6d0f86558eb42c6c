#include "rawfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

#include "pixelformat.h"

namespace {

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

// Bytes that cover 0, 255 and everything between, in no simple order.
QByteArray noise(qint64 count)
{
    QByteArray bytes(count, '\0');
    quint32 state = 12345;
    for (qint64 i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 23);
    }
    return bytes;
}

// Sample (x, file row r) of a plane stored top-down with 1 or 2 bytes (little-endian) a sample.
float sampleAt(const QByteArray &plane, qint64 start, int width, int x, int r, int bytesPerSample)
{
    const qint64 i = start + (qint64(r) * width + x) * bytesPerSample;
    unsigned value = quint8(plane[i]);
    if (bytesPerSample == 2)
        value |= unsigned(quint8(plane[i + 1])) << 8;
    return float(value);
}

// Compares one plane as read (row 0 at the bottom) with the same plane stored top-down.
bool samePlane(const std::vector<float> &read, const QByteArray &expected, qint64 start, int width,
               int height, int bytesPerSample, QString *pWhere)
{
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x) {
            const float want = sampleAt(expected, start, width, x, r, bytesPerSample);
            const float got = read[size_t(qint64(height - 1 - r) * width + x)];
            if (got != want) {
                *pWhere = QString("x %1, file row %2: %3, expected %4")
                                  .arg(x)
                                  .arg(r)
                                  .arg(got)
                                  .arg(want);
                return false;
            }
        }
    return true;
}

} // namespace

class tst_RawFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ffmpeg;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    bool ffmpeg(const QStringList &arguments)
    {
        QProcess process;
        process.start(m_ffmpeg,
                      QStringList {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"}
                              + arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            qWarning("ffmpeg %s: %s", qPrintable(arguments.join(' ')),
                     process.readAllStandardError().constData());
            return false;
        }
        return true;
    }

private slots:
    void initTestCase();
    void matchesFfmpeg_data();
    void matchesFfmpeg();
    void chromaRoundedUp_data();
    void chromaRoundedUp();
    void planeLargerThanOneBand_data();
    void planeLargerThanOneBand();
    void y4mFrameHeadersAndTruncation();
    void openFailures_data();
    void openFailures();
    void fileShrinksWhileOpen();
    void concurrentReadsAgree();
};

void tst_RawFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QVERIFY2(!m_ffmpeg.isEmpty(), "ffmpeg is needed for the comparison (tools/test installs it)");
}

void tst_RawFile::matchesFfmpeg_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("hasY4m"); // ffmpeg writes the format as y4m too
    for (const QString &name : PixelFormat::names())
        QTest::newRow(qPrintable(name)) << name << !name.startsWith(QLatin1String("nv"));
}

void tst_RawFile::matchesFfmpeg()
{
    QFETCH(QString, format);
    QFETCH(bool, hasY4m);
    const PixelFormat *pFormat = PixelFormat::byName(format);
    QVERIFY(pFormat);
    // 36x22: chroma of 18x11 for 4:2:0, an odd number of chroma rows.
    const int width = 36, height = 22, frames = 3;
    const QStringList source {"-f",        "lavfi",
                              "-i",        "testsrc2=size=36x22:rate=25",
                              "-frames:v", QString::number(frames),
                              "-pix_fmt",  format};
    const QString raw = m_dir.filePath(format + ".raw");
    QVERIFY(ffmpeg(source + QStringList {"-f", "rawvideo", raw}));
    const QString y4m = m_dir.filePath(format + ".y4m");
    if (hasY4m)
        QVERIFY(ffmpeg(source + QStringList {"-strict", "-1", "-f", "yuv4mpegpipe", y4m}));

    const char *planeNames[] = {"y", "u", "v"};
    for (int plane = 0; plane < pFormat->getPlaneCount(); ++plane) {
        // ffmpeg's own idea of the plane: extracted from the raw file, stored top-down.
        const QString planePath = raw + "." + planeNames[plane];
        QVERIFY(ffmpeg({"-f", "rawvideo", "-pix_fmt", format, "-s", "36x22", "-i", raw, "-vf",
                        QString("extractplanes=") + planeNames[plane], "-f", "rawvideo",
                        planePath}));
        QFile planeFile(planePath);
        QVERIFY(planeFile.open(QIODevice::ReadOnly));
        const QByteArray expected = planeFile.readAll();

        for (const QString &path : hasY4m ? QStringList {raw, y4m} : QStringList {raw}) {
            RawFile file;
            QVERIFY2(file.open(path.toStdString(), *pFormat, width, height),
                     file.getErrorString().c_str());
            QCOMPARE(file.getFormat().getName(), format);
            QCOMPARE(file.getFrameRate(), path == y4m ? 25.0 : 0.0); // the y4m header read
            QCOMPARE(file.getNumFrames(), frames);
            QCOMPARE(file.getUnusedBytes(), qint64(0));
            const int planeWidth = file.getPlaneWidth(plane);
            const int planeHeight = file.getPlaneHeight(plane);
            const qint64 planeBytes
                    = qint64(planeWidth) * planeHeight * pFormat->getBytesPerSample();
            QCOMPARE(qint64(expected.size()), planeBytes * frames);
            std::vector<float> samples(size_t(planeWidth) * planeHeight);
            // The whole frame as colour reads it: the planes one after the other, as stored.
            std::vector<char> frame(size_t(file.getFrameBytes()));
            qint64 planeStart = 0;
            for (int p = 0; p < plane; ++p)
                planeStart += qint64(file.getPlaneWidth(p)) * file.getPlaneHeight(p)
                        * pFormat->getBytesPerSample();
            for (int f = 0; f < frames; ++f) {
                QVERIFY(file.readFrame(f, reinterpret_cast<unsigned char *>(frame.data())));
                QVERIFY2(QByteArray(frame.data() + planeStart, planeBytes)
                                 == expected.mid(f * planeBytes, planeBytes),
                         qPrintable(QString("readFrame, plane %1").arg(plane)));
                QVERIFY(file.readPlane(f, plane, samples.data()));
                QString where;
                QVERIFY2(samePlane(samples, expected, f * planeBytes, planeWidth, planeHeight,
                                   pFormat->getBytesPerSample(), &where),
                         qPrintable(QString("%1, frame %2, plane %3: %4")
                                            .arg(path.section('/', -1))
                                            .arg(f)
                                            .arg(plane)
                                            .arg(where)));
            }
        }
    }
}

void tst_RawFile::chromaRoundedUp_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("chromaWidth");
    QTest::addColumn<int>("chromaHeight");
    QTest::addColumn<qint64>("frameBytes");
    QTest::newRow("yuv420p 5x3: chroma 3x2, 15 + 2 * 6 bytes")
            << "yuv420p" << 5 << 3 << 3 << 2 << qint64(27);
    QTest::newRow("yuv422p 5x3: chroma 3x3") << "yuv422p" << 5 << 3 << 3 << 3 << qint64(33);
    QTest::newRow("yuv444p 5x3: chroma 5x3") << "yuv444p" << 5 << 3 << 5 << 3 << qint64(45);
    QTest::newRow("nv12 5x3: one UV plane of 3 pairs x 2 rows")
            << "nv12" << 5 << 3 << 3 << 2 << qint64(27);
    QTest::newRow("yuv420p10le 5x3: 2 bytes a sample")
            << "yuv420p10le" << 5 << 3 << 3 << 2 << qint64(54);
    QTest::newRow("gray12le 5x3") << "gray12le" << 5 << 3 << 0 << 0 << qint64(30);
}

void tst_RawFile::chromaRoundedUp()
{
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, chromaWidth);
    QFETCH(int, chromaHeight);
    QFETCH(qint64, frameBytes);
    const PixelFormat &pixelFormat = *PixelFormat::byName(format);
    QCOMPARE(pixelFormat.getFrameBytes(width, height), frameBytes);
    const QByteArray bytes = noise(frameBytes * 2);
    RawFile file;
    QVERIFY(file.open(writeFile("rounded.raw", bytes).toStdString(), pixelFormat, width, height));
    QCOMPARE(file.getNumFrames(), 2);
    for (int plane = 1; plane < pixelFormat.getPlaneCount(); ++plane) {
        QCOMPARE(file.getPlaneWidth(plane), chromaWidth);
        QCOMPARE(file.getPlaneHeight(plane), chromaHeight);
    }
    if (pixelFormat.getPlaneCount() == 3) {
        // V's last sample (the file's bottom row, last column) is the last sample of the file,
        // in nv12 as much as in the planar formats.
        std::vector<float> samples(size_t(chromaWidth * chromaHeight));
        QVERIFY(file.readPlane(1, 2, samples.data()));
        const qint64 end = 2 * frameBytes;
        const float last = pixelFormat.getBytesPerSample() == 2
                ? float(quint8(bytes[end - 2]) | quint8(bytes[end - 1]) << 8)
                : float(quint8(bytes[end - 1]));
        QCOMPARE(samples[size_t(chromaWidth - 1)], last);
    }
}

void tst_RawFile::planeLargerThanOneBand_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    // The plane is read in bands of 256 KiB: these need several, the last one partly filled.
    QTest::newRow("gray 1000x700: 3 bands") << "gray" << 1000 << 700;
    QTest::newRow("gray16le 1000x300: 3 bands") << "gray16le" << 1000 << 300;
    QTest::newRow("gray 70000x3: rows longer than a band") << "gray" << 70000 << 3;
}

void tst_RawFile::planeLargerThanOneBand()
{
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    const PixelFormat &pixelFormat = *PixelFormat::byName(format);
    const qint64 frameBytes = pixelFormat.getFrameBytes(width, height);
    const QByteArray bytes = noise(frameBytes * 2);
    RawFile file;
    QVERIFY(file.open(writeFile("bands.raw", bytes).toStdString(), pixelFormat, width, height));
    std::vector<float> samples(size_t(width) * height);
    QVERIFY(file.readPlane(1, 0, samples.data()));
    QString where;
    QVERIFY2(samePlane(samples, bytes, frameBytes, width, height, pixelFormat.getBytesPerSample(),
                       &where),
             qPrintable(where));
}

void tst_RawFile::y4mFrameHeadersAndTruncation()
{
    // Interlace, aspect, comments and a tag of a later version; frame headers of two lengths;
    // the third frame is cut short.
    const QByteArray header = "YUV4MPEG2 W4 H2 F30000:1001 It A128:117 C420mpeg2 XYSCSS=420MPEG2 "
                              "Xcomment Zfuture\n";
    const QByteArray frame0 = noise(12), frame1 = noise(24).right(12);
    const QByteArray bytes
            = header + "FRAME\n" + frame0 + "FRAME Ib XA=1\n" + frame1 + "FRAME\n" + frame0.left(5);
    RawFile file;
    QVERIFY(file.openY4m(writeFile("odd.y4m", bytes).toStdString()));
    QCOMPARE(file.getWidth(), 4);
    QCOMPARE(file.getHeight(), 2);
    QCOMPARE(file.getFormat().getName(), QString("yuv420p"));
    QCOMPARE(file.getNumFrames(), 2);
    QCOMPARE(file.getUnusedBytes(), qint64(11));
    QCOMPARE(QString::fromStdString(file.describeUnusedBytes()),
             QString("odd.y4m: the last frame is cut short (5 of 12 bytes) after 2 frames"));
    std::vector<float> samples(8);
    QVERIFY(file.readPlane(1, 0, samples.data()));
    QCOMPARE(samples[4], float(quint8(frame1[0]))); // top-left: file row 0 is stored row 1
    QVERIFY(file.readPlane(0, 2, samples.data()));
    QCOMPARE(samples[1], float(quint8(frame0[11])));
    QVERIFY(!file.readPlane(2, 0, samples.data()));

    // A frame without its FRAME header ends the movie there.
    QVERIFY(file.open(writeFile("noframe.y4m", header + "FRAME\n" + frame0 + frame1).toStdString(),
                      *PixelFormat::byName("gray"), 2, 2));
    QCOMPARE(file.getFrameRate(), 30000.0 / 1001);
    QCOMPARE(file.getNumFrames(), 1);
    QCOMPARE(file.getUnusedBytes(), qint64(12));
    QVERIFY(QString::fromStdString(file.describeUnusedBytes()).contains("no FRAME header at byte"));
}

void tst_RawFile::openFailures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("detail");
    QTest::newRow("raw: one yuv420p frame short")
            << QByteArray(1000, 'a') << 352 << "Not enough data in file for one frame"
            << "short.bin: 1000 bytes; one 352×288 yuv420p frame needs 152064";
    QTest::newRow("y4m: header only") << QByteArray("YUV4MPEG2 W2 H2 Cmono\n") << 352
                                      << "Not enough data in file for one frame"
                                      << "short.bin: 22 bytes; one 2×2 gray frame needs 4 after a "
                                         "FRAME header";
    QTest::newRow("y4m: unknown colour space")
            << QByteArray("YUV4MPEG2 W2 H2 C411\nFRAME\n123456") << 352
            << "The y4m colour space C411 is not supported"
            << "short.bin";
    QTest::newRow("y4m: no height")
            << QByteArray("YUV4MPEG2 W2 C420\n") << 352 << "Malformed y4m header: no height (H)"
            << "short.bin";
    QTest::newRow("y4m: header without end")
            << QByteArray("YUV4MPEG2 W2 H2") << 352
            << "Malformed y4m header: the file ends inside the header"
            << "short.bin";
    QTest::newRow("zero width") << QByteArray(10, 'a') << 0
                                << "Invalid frame size 0x288: width and height must be greater "
                                   "than zero"
                                << "short.bin";
}

void tst_RawFile::openFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, width);
    QFETCH(QString, error);
    QFETCH(QString, detail);
    RawFile file;
    const int descriptors = openDescriptors();
    QVERIFY(!file.open(writeFile("short.bin", bytes).toStdString(), *PixelFormat::byName("yuv420p"),
                       width, 288));
    QCOMPARE(QString::fromStdString(file.getErrorString()), error);
    QCOMPARE(QString::fromStdString(file.getErrorDetail()), detail);
    QCOMPARE(openDescriptors(), descriptors); // nothing left open
    QCOMPARE(file.getNumFrames(), 0);

    QVERIFY(!file.open(m_dir.filePath("absent").toStdString(), *PixelFormat::byName("gray"), 2, 2));
    QCOMPARE(QString::fromStdString(file.getErrorDetail()),
             QString("absent: No such file or directory"));
}

void tst_RawFile::fileShrinksWhileOpen()
{
    const QString path = writeFile("shrinks.raw", noise(3 * 12));
    RawFile file;
    QVERIFY(file.open(path.toStdString(), *PixelFormat::byName("yuv420p"), 4, 2));
    QCOMPARE(file.getNumFrames(), 3);
    // Frame 1 keeps its luma but loses its last chroma byte.
    QVERIFY(QFile::resize(path, 12 + 11));
    std::vector<float> samples(8);
    QVERIFY(file.readPlane(0, 0, samples.data()));
    QVERIFY(!file.readPlane(1, 0, samples.data()));
    QVERIFY(!file.readPlane(2, 2, samples.data()));
    QVERIFY(!file.readPlane(0, 3, samples.data()));
    QVERIFY(!file.readPlane(-1, 0, samples.data()));
}

void tst_RawFile::concurrentReadsAgree()
{
    const int width = 64, height = 48, frames = 40;
    const PixelFormat &format = *PixelFormat::byName("yuv422p10le");
    RawFile file;
    QVERIFY(file.open(writeFile("shared.raw", noise(format.getFrameBytes(width, height) * frames))
                              .toStdString(),
                      format, width, height));
    const size_t planeSamples = size_t(file.getPlaneWidth(1)) * file.getPlaneHeight(1);
    std::vector<float> alone(planeSamples * frames), shared(planeSamples * frames);
    for (int f = 0; f < frames; ++f)
        QVERIFY(file.readPlane(f, 1, alone.data() + f * planeSamples));
    bool ok[2] = {true, true};
    auto readEvery = [&](int first, bool *pOk) {
        for (int f = first; f < frames; f += 2)
            *pOk = file.readPlane(f, 1, shared.data() + f * planeSamples) && *pOk;
    };
    std::thread other(readEvery, 1, &ok[1]);
    readEvery(0, &ok[0]);
    other.join();
    QVERIFY(ok[0] && ok[1]);
    QVERIFY(alone == shared);
}

QTEST_APPLESS_MAIN(tst_RawFile)
#include "tst_rawfile.moc"
