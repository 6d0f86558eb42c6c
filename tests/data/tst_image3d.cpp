#include "image3d.h"
#include "pixelformat.h"
#include "rawfile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <memory>
#include <cmath>

#include <sys/stat.h>

class tst_Image3D : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    static QByteArray counting(int count)
    {
        QByteArray bytes(count, '\0');
        for (int i = 0; i < count; ++i)
            bytes[i] = char((i * 7 + 3) & 0xff);
        return bytes;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void constructionSizesAndZeroes_data();
    void constructionSizesAndZeroes();
    void indexFormula();
    void setDimensionsKeepsSamples();
    void errorTextReplacedNotAppended();

    void loadOutcome_data();
    void loadOutcome();
    void rowsAreFlippedAndBytesUnsigned_data();
    void rowsAreFlippedAndBytesUnsigned();
    void yuvChromaIgnoredAcrossFrames();
    void missingFileNamesIt();
    void unusualFileNames_data();
    void unusualFileNames();
    void notARegularFileIsRefused_data();
    void notARegularFileIsRefused();
    void fileShorterThanItsSizeSays();
    void frameCountBeyondIntIsRefused();
    void reusableAfterFailure();
    void sizeThatReadsAsZero();
    void framesFromMemoryAndOnDemandAgree();
    void productBeyond64BitsRefused_data();
    void productBeyond64BitsRefused();

    void loadPlaneOfFormat_data();
    void loadPlaneOfFormat();
    void openedFileChangesUnderneath();
    void messagesNameTheFile_data();
    void messagesNameTheFile();
};

void tst_Image3D::constructionSizesAndZeroes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frames");
    QTest::addColumn<qint64>("samples");
    QTest::newRow("4x2x3: 24 samples") << 4 << 2 << 3 << qint64(24);
    QTest::newRow("zero width: empty") << 0 << 2 << 3 << qint64(0);
    QTest::newRow("zero frames: empty") << 4 << 2 << 0 << qint64(0);
    QTest::newRow("negative product: empty") << -4 << 2 << 3 << qint64(0);
    QTest::newRow("two negatives: positive product") << -2 << -2 << 1 << qint64(4);
    QTest::newRow("odd 3x3x1") << 3 << 3 << 1 << qint64(9);
    QTest::newRow("product below -2^63: empty, no overflow")
            << INT_MIN << -3 << INT_MIN << qint64(0);
}

void tst_Image3D::constructionSizesAndZeroes()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frames);
    QFETCH(qint64, samples);
    Image3D volume(width, height, frames);
    QCOMPARE(volume.getWidth(), width);
    QCOMPARE(volume.getHeight(), height);
    QCOMPARE(volume.getNumFrames(), frames);
    QCOMPARE(volume.getSampleCount(), samples);
    QVERIFY(volume.getErrorString().empty());
    for (qint64 i = 0; i < samples; ++i)
        QCOMPARE(volume.getData()[i], 0.0f);
}

void tst_Image3D::indexFormula()
{
    Image3D volume(4, 2, 3);
    // Sample (1, 1, 2) lies at 1 + 4 * (1 + 2 * 2) = 21; fill through the loader's formula.
    volume.getData()[21] = 5.0f;
    int hits = 0;
    for (int f = 0; f < 3; ++f)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                if (volume.getData()[x + 4 * (y + 2 * f)] == 5.0f) {
                    QCOMPARE(x, 1);
                    QCOMPARE(y, 1);
                    QCOMPARE(f, 2);
                    ++hits;
                }
    QCOMPARE(hits, 1);
}

void tst_Image3D::setDimensionsKeepsSamples()
{
    Image3D volume(2, 2, 1);
    for (int i = 0; i < 4; ++i)
        volume.getData()[i] = float(i + 1);
    QVERIFY(volume.setDimensions(2, 2, 3));
    QCOMPARE(volume.getSampleCount(), qint64(12));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(volume.getData()[i], float(i + 1));
    for (int i = 4; i < 12; ++i)
        QCOMPARE(volume.getData()[i], 0.0f);
    QVERIFY(volume.setDimensions(1, 1, 2));
    QCOMPARE(volume.getSampleCount(), qint64(2));
    QCOMPARE(volume.getData()[1], 2.0f);
}

void tst_Image3D::errorTextReplacedNotAppended()
{
    Image3D volume;
    QVERIFY(volume.getErrorString().empty());
    QVERIFY(!volume.loadRaw(m_dir.filePath("absent.yuv").toStdString(), 3, 2, true));
    QVERIFY(!volume.loadRaw(m_dir.filePath("absent.yuv").toStdString(), 4, 2, true));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             "Unable to open specified file " + m_dir.filePath("absent.yuv"));
}

void tst_Image3D::loadOutcome_data()
{
    QTest::addColumn<bool>("isYUV");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("fileBytes"); // -1: no file at all
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("error");

    const QString enough = "Not enough data in file for one frame";
    const QString parity = "Both width and height must be a multiple of two";
    QTest::newRow("gray 4x2, 20 bytes: 4 unused")
            << false << 4 << 2 << 20 << false << 2 << "WARNING: 4 bytes unused";
    QTest::newRow("gray 4x2, 16 bytes: complete") << false << 4 << 2 << 16 << true << 2 << "";
    QTest::newRow("yuv 4x2, 12 bytes: one frame") << true << 4 << 2 << 12 << true << 1 << "";
    QTest::newRow("yuv 4x2, 11 bytes: short") << true << 4 << 2 << 11 << false << 0 << enough;
    QTest::newRow("yuv 4x2, 25 bytes: 1 unused")
            << true << 4 << 2 << 25 << false << 2 << "WARNING: 1 bytes unused";
    QTest::newRow("gray, empty file") << false << 4 << 2 << 0 << false << 0 << enough;
    QTest::newRow("gray, one byte short of a frame")
            << false << 4 << 2 << 7 << false << 0 << enough;
    QTest::newRow("odd width, gray") << false << 3 << 2 << 12 << false << 0 << parity;
    QTest::newRow("odd height, yuv") << true << 4 << 3 << 36 << false << 0 << parity;
    QTest::newRow("odd width, missing file") << true << 3 << 2 << -1 << false << 0 << parity;
    QTest::newRow("negative odd width") << false << -3 << 2 << 12 << false << 0 << parity;
    const QString nonPositive = "Invalid frame size %1x%2: width and height must be greater than "
                                "zero";
    QTest::newRow("zero width, missing file not read")
            << false << 0 << 2 << -1 << false << 0 << nonPositive.arg(0).arg(2);
    QTest::newRow("zero height") << true << 4 << 0 << 12 << false << 0 << nonPositive.arg(4).arg(0);
    QTest::newRow("negative even width")
            << false << -2 << 2 << 12 << false << 0 << nonPositive.arg(-2).arg(2);
    QTest::newRow("yuv 352x288, 3 frames") << true << 352 << 288 << 3 * 152064 << true << 3 << "";
    QTest::newRow("width 1: odd") << false << 1 << 2 << 12 << false << 0 << parity;
    QTest::newRow("height 1, missing file: odd") << true << 2 << 1 << -1 << false << 0 << parity;
    QTest::newRow("width INT_MIN: even, below zero")
            << false << INT_MIN << 2 << 12 << false << 0 << nonPositive.arg(INT_MIN).arg(2);
    QTest::newRow("gray 4096x2, one frame") << false << 4096 << 2 << 8192 << true << 1 << "";
    QTest::newRow("gray 2x4096, 1 unused")
            << false << 2 << 4096 << 8193 << false << 1 << "WARNING: 1 bytes unused";
    QTest::newRow("gray 65536x32768: 2^31 bytes a frame, 12 bytes")
            << false << 65536 << 32768 << 12 << false << 0 << enough;
    // width x height is near 2^62: the YUV frame size must not overflow on its way to 1.5 times.
    QTest::newRow("yuv 2147483646x2147483646: no overflow")
            << true << 2147483646 << 2147483646 << 12 << false << 0 << enough;
}

void tst_Image3D::loadOutcome()
{
    QFETCH(bool, isYUV);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, fileBytes);
    QFETCH(bool, result);
    QFETCH(int, frames);
    QFETCH(QString, error);

    const QString path = fileBytes < 0 ? m_dir.filePath("missing.raw")
                                       : writeFile("outcome.raw", counting(fileBytes));
    Image3D volume;
    QCOMPARE(volume.loadRaw(path.toStdString(), width, height, isYUV), result);
    QCOMPARE(QString::fromStdString(volume.getErrorString()), error);
    QCOMPARE(volume.getNumFrames(), frames);
    if (frames > 0) {
        QCOMPARE(volume.getWidth(), width);
        QCOMPARE(volume.getHeight(), height);
        QCOMPARE(volume.getSampleCount(), qint64(width) * height * frames);
    } else {
        QCOMPARE(volume.getSampleCount(), qint64(0));
    }
}

void tst_Image3D::rowsAreFlippedAndBytesUnsigned_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<float>>("samples"); // in index order of the volume
    QTest::newRow("2x2: top row goes to row 1")
            << QByteArray("\x0a\x14\x1e\x28", 4) << QList<float> {30, 40, 10, 20};
    QTest::newRow("bytes 0 and 255 unsigned")
            << QByteArray("\xff\x00\x80\x7f", 4) << QList<float> {128, 127, 255, 0};
}

void tst_Image3D::rowsAreFlippedAndBytesUnsigned()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<float>, samples);
    Image3D volume;
    QVERIFY(volume.loadRaw(writeFile("flip.raw", bytes).toStdString(), 2, 2, false));
    QCOMPARE(volume.getSampleCount(), qint64(samples.size()));
    for (int i = 0; i < samples.size(); ++i)
        QCOMPARE(volume.getData()[i], samples[i]);
}

void tst_Image3D::yuvChromaIgnoredAcrossFrames()
{
    // 6x4 YUV: 24 luma bytes then 12 chroma bytes per frame, three frames.
    const int w = 6, h = 4, frameSize = w * h * 3 / 2;
    QByteArray bytes = counting(frameSize * 3);
    Image3D volume;
    QVERIFY(volume.loadRaw(writeFile("three.yuv", bytes).toStdString(), w, h, true));
    QCOMPARE(volume.getNumFrames(), 3);
    for (int f = 0; f < 3; ++f)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto byte = quint8(bytes[f * frameSize + (h - 1 - y) * w + x]);
                QCOMPARE(volume.getData()[x + w * (y + h * f)], float(byte));
            }
}

void tst_Image3D::missingFileNamesIt()
{
    const QString path = m_dir.filePath("no such file.yuv");
    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), 4, 2, true));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             "Unable to open specified file " + path);
    QCOMPARE(volume.getNumFrames(), 0);
}

void tst_Image3D::unusualFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("non-ASCII and blanks") << QString::fromUtf8("Größe 4×2 «ü».yuv");
    QTest::newRow("quotes") << QString::fromUtf8("it's a \"movie\".yuv");
    QTest::newRow("leading dash, percent signs") << QString::fromUtf8("-%d %s %n.yuv");
    QTest::newRow("backslash and tab") << QString::fromUtf8("a\\b\tc.yuv");
    QTest::newRow("CJK and emoji") << QString::fromUtf8("動画 🎞.yuv");
}

void tst_Image3D::unusualFileNames()
{
    QFETCH(QString, name);
    const QString path = writeFile(name, counting(24));
    Image3D volume;
    QVERIFY(volume.loadRaw(path.toStdString(), 4, 2, true));
    QCOMPARE(volume.getNumFrames(), 2);

    // The name reads back unchanged in the message of a failure.
    QVERIFY(QFile::remove(path));
    QVERIFY(!volume.loadRaw(path.toStdString(), 4, 2, true));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             "Unable to open specified file " + path);
}

void tst_Image3D::notARegularFileIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("a directory") << m_dir.path();
    QTest::newRow("/dev/zero: endless") << QStringLiteral("/dev/zero");
    QTest::newRow("/dev/null: a device") << QStringLiteral("/dev/null");
    const QString fifo = m_dir.filePath("pipe");
    if (QFile::exists(fifo) || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0)
        QTest::newRow("a FIFO without writer: no hang") << fifo;
}

void tst_Image3D::notARegularFileIsRefused()
{
    QFETCH(QString, path);
    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), 4, 2, false));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             "Unable to open specified file " + path);
    QCOMPARE(volume.getNumFrames(), 0);
}

void tst_Image3D::fileShorterThanItsSizeSays()
{
    // sysfs reports 4096 bytes for this file but delivers a short line: the size is taken,
    // then a frame can't be read, as when a file shrinks while it is read.
    const QString path = QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != 4096)
        QSKIP("no sysfs attribute with a size larger than its contents here");
    const QByteArray content = file.readAll();
    QVERIFY(content.size() > 0 && content.size() < 4096);

    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), 2, 2, false));
    QCOMPARE(QString::fromStdString(volume.getErrorString()), QString("Unable to read a frame"));
    QCOMPARE(volume.getNumFrames(), 1024);
    const int complete = int(content.size()) / 4;
    for (int f = 0; f < 1024; ++f)
        for (int i = 0; i < 4; ++i) {
            const int y = i / 2, x = i % 2;
            const float expected
                    = f < complete ? float(quint8(content[f * 4 + (1 - y) * 2 + x])) : 0.0f;
            QCOMPARE(volume.getData()[x + 2 * (y + 2 * f)], expected);
        }
}

void tst_Image3D::frameCountBeyondIntIsRefused()
{
    // A sparse file of 8 GiB + 3 bytes: 2^31 gray frames of 2x2, one more than an int holds.
    const QString path = m_dir.filePath("huge.raw");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (!file.resize((qint64(1) << 33) + 3))
        QSKIP("no sparse files here");
    file.close();
    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), 2, 2, false));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             QString("Too many frames in file: %1 (at most %2 can be loaded)")
                     .arg(qint64(1) << 31)
                     .arg(INT_MAX));
    QCOMPARE(volume.getNumFrames(), 0);
    QVERIFY(QFile::remove(path));
}

void tst_Image3D::reusableAfterFailure()
{
    Image3D volume;
    QVERIFY(volume.loadRaw(writeFile("first.raw", counting(16)).toStdString(), 2, 2, false));
    QCOMPARE(volume.getNumFrames(), 4);
    QVERIFY(!volume.loadRaw(writeFile("short.raw", counting(3)).toStdString(), 2, 2, false));
    QCOMPARE(volume.getNumFrames(), 0);
    QCOMPARE(volume.getSampleCount(), qint64(0));
    QVERIFY(volume.loadRaw(writeFile("again.raw", counting(8)).toStdString(), 2, 2, false));
    QCOMPARE(volume.getNumFrames(), 2);
    // A success leaves the earlier error text in place.
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             QString("Not enough data in file for one frame"));
}

void tst_Image3D::sizeThatReadsAsZero()
{
    // Files under /proc report a size of 0 whatever they hold: the size can't be taken, so the
    // file is refused rather than read without end.
    const QString path = QStringLiteral("/proc/self/status");
    if (!QFile::exists(path))
        QSKIP("no /proc here");
    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), 2, 2, false));
    QCOMPARE(QString::fromStdString(volume.getErrorString()),
             QString("Not enough data in file for one frame"));
    QCOMPARE(volume.getNumFrames(), 0);
}

void tst_Image3D::productBeyond64BitsRefused_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frames");
    QTest::newRow("INT_MAX cubed") << INT_MAX << INT_MAX << INT_MAX;
    QTest::newRow("INT_MIN x INT_MIN x 2: exactly 2^63") << INT_MIN << INT_MIN << 2;
    QTest::newRow("-3 x INT_MIN x INT_MAX") << -3 << INT_MIN << INT_MAX;
}

void tst_Image3D::productBeyond64BitsRefused()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frames);
    const QString message = QString("Not enough memory for a movie of %1x%2x%3")
                                    .arg(width)
                                    .arg(height)
                                    .arg(frames);
    Image3D volume(width, height, frames);
    QCOMPARE(volume.getSampleCount(), qint64(0));
    QCOMPARE(volume.getWidth(), 0);
    QCOMPARE(volume.getNumFrames(), 0);
    QCOMPARE(QString::fromStdString(volume.getErrorString()), message);

    Image3D resized(2, 2, 1);
    QVERIFY(!resized.setDimensions(width, height, frames));
    QCOMPARE(resized.getSampleCount(), qint64(0));
    QCOMPARE(resized.getHeight(), 0);
    QCOMPARE(QString::fromStdString(resized.getErrorString()), message);
}

void tst_Image3D::framesFromMemoryAndOnDemandAgree()
{
    // 2 x 2 x 3 of a gray file, once loaded whole and once read frame by frame.
    Image3D loaded;
    QVERIFY(loaded.loadRaw(writeFile(QStringLiteral("ondemand.gray"), counting(12)).toStdString(),
                           2, 2, false));
    Image3D onDemand;
    int reads = 0;
    QVERIFY(onDemand.setFrameSource(
            2, 2, 3,
            [&loaded, &reads](int frame, float *pSamples, std::string &) {
                ++reads;
                std::copy_n(loaded.getData() + 4 * frame, 4, pSamples);
                return true;
            },
            1 << 20));
    QVERIFY(onDemand.getFrameCache());
    QCOMPARE(onDemand.getData(), nullptr);
    for (int frame = 0; frame < 3; ++frame) {
        const FrameCache::Frame a = loaded.getFrame(frame);
        const FrameCache::Frame b = onDemand.getFrame(frame);
        QVERIFY(a && b);
        QCOMPARE(a.get(), loaded.getData() + 4 * frame); // borrowed, not copied
        for (int i = 0; i < 4; ++i)
            QCOMPARE(b.get()[i], a.get()[i]);
    }
    QCOMPARE(reads, 3);
    QVERIFY(!loaded.getFrame(3) && !loaded.getFrame(-1) && !onDemand.getFrame(3));
    QVERIFY(!onDemand.setFrameSource(0, 2, 3, nullptr, 0)); // refused, nothing changed
    QVERIFY(onDemand.getFrameCache());
    // Giving the movie an array of its own ends reading on demand.
    QVERIFY(onDemand.setDimensions(2, 2, 1));
    QVERIFY(!onDemand.getFrameCache());
    QVERIFY(onDemand.getFrame(0) && onDemand.getFrame(0).get()[3] == 0.0f);
}

void tst_Image3D::loadPlaneOfFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("plane");
    QTest::addColumn<int>("planeWidth");
    QTest::addColumn<int>("planeHeight");
    QTest::addColumn<int>("depth");
    QTest::addColumn<float>("topLeft"); // the plane's first sample in the file of frame 1
    // 6x4 frames, two of them, of the counting bytes below.
    QTest::newRow("yuv420p U: 3x2 at byte 24")
            << "yuv420p" << 1 << 3 << 2 << 8 << float(((36 + 24) * 7 + 3) & 0xff);
    QTest::newRow("yuv422p V: 3x4 at byte 36")
            << "yuv422p" << 2 << 3 << 4 << 8 << float(((48 + 36) * 7 + 3) & 0xff);
    QTest::newRow("nv21 U: the second byte of each pair")
            << "nv21" << 1 << 3 << 2 << 8 << float(((36 + 25) * 7 + 3) & 0xff);
    QTest::newRow("yuv420p10le Y: two bytes, little-endian")
            << "yuv420p10le" << 0 << 6 << 4 << 10
            << float(((72 * 7 + 3) & 0xff) | ((73 * 7 + 3) & 0xff) << 8);
    QTest::newRow("gray16le Y") << "gray16le" << 0 << 6 << 4 << 16
                                << float(((48 * 7 + 3) & 0xff) | ((49 * 7 + 3) & 0xff) << 8);
}

void tst_Image3D::loadPlaneOfFormat()
{
    QFETCH(QString, format);
    QFETCH(int, plane);
    QFETCH(int, planeWidth);
    QFETCH(int, planeHeight);
    QFETCH(int, depth);
    QFETCH(float, topLeft);
    const PixelFormat &pixelFormat = *PixelFormat::byName(format);
    const QString path = writeFile("plane.raw", counting(int(pixelFormat.getFrameBytes(6, 4)) * 2));
    Image3D volume;
    QVERIFY(volume.loadRaw(path.toStdString(), pixelFormat, 6, 4, plane));
    QCOMPARE(volume.getWidth(), planeWidth);
    QCOMPARE(volume.getHeight(), planeHeight);
    QCOMPARE(volume.getNumFrames(), 2);
    QCOMPARE(volume.getDepth(), depth);
    // The file's top-left sample is in the top row, which is stored last.
    QCOMPARE(volume.getData()[qint64(planeWidth) * (planeHeight + planeHeight - 1)], topLeft);

    // Opened to be read on demand: the same frames, and nothing read before they are asked for.
    auto pFile = std::make_unique<RawFile>();
    QVERIFY(pFile->open(path.toStdString(), pixelFormat, 6, 4));
    Image3D onDemand;
    QVERIFY(onDemand.openRaw(std::move(pFile), plane));
    QCOMPARE(onDemand.getFrameCache()->getHeldBytes(), qint64(0));
    QCOMPARE(onDemand.getWidth(), planeWidth);
    QCOMPARE(onDemand.getHeight(), planeHeight);
    QCOMPARE(onDemand.getNumFrames(), 2);
    QCOMPARE(onDemand.getDepth(), depth);
    for (int f = 0; f < 2; ++f)
        QVERIFY(std::equal(volume.getFrame(f).get(),
                           volume.getFrame(f).get() + planeWidth * planeHeight,
                           onDemand.getFrame(f).get()));
}

void tst_Image3D::openedFileChangesUnderneath()
{
    // 4x2 gray, five frames; frames 2 .. 3 are opened.
    const QString path = writeFile("shrinking.gray", counting(40));
    auto pFile = std::make_unique<RawFile>();
    QVERIFY(pFile->open(path.toStdString(), *PixelFormat::byName(QStringLiteral("gray")), 4, 2));
    Image3D movie;
    QVERIFY(movie.openRaw(std::move(pFile), 0, 2, 2, 1024));
    QCOMPARE(movie.getNumFrames(), 2);
    QCOMPARE(movie.getFrame(0).get()[4], float((16 * 7 + 3) & 0xff)); // file row 0 of frame 2
    QVERIFY(QFile::resize(path, 28)); // frame 3 is now cut short
    QVERIFY(movie.getFrame(0)); // read before: still shown
    QVERIFY(!movie.getFrame(1));
    QCOMPARE(QString::fromStdString(movie.getFrameError()),
             QStringLiteral("Unable to read a frame\nshrinking.gray: frame 2 of 2 can't be read "
                            "any more"));
    QVERIFY(QFile::remove(path));
    QVERIFY(!movie.getFrame(1));

    Image3D none;
    auto pOther = std::make_unique<RawFile>();
    QVERIFY(pOther->open(writeFile("five.gray", counting(40)).toStdString(),
                         *PixelFormat::byName(QStringLiteral("gray")), 4, 2));
    QVERIFY(!none.openRaw(std::move(pOther), 0, 5));
    QCOMPARE(none.getNumFrames(), 0);
    QCOMPARE(QString::fromStdString(none.getErrorString()),
             QStringLiteral("No such frames in the file"));
}

void tst_Image3D::messagesNameTheFile_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("plane");
    QTest::addColumn<int>("fileBytes");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("detail");
    QTest::newRow("short") << "yuv420p" << 0 << 1000 << 0 << "Not enough data in file for one frame"
                           << "clip.yuv: 1000 bytes; one 352×288 yuv420p frame needs 152064";
    QTest::newRow("left over") << "yuv420p10le" << 0 << 304128 * 2 + 1234 << 2
                               << "WARNING: 1234 bytes unused"
                               << "clip.yuv: 609490 bytes = 2 frames of 304128 (352×288 "
                                  "yuv420p10le) and 1234 bytes left over";
    QTest::newRow("no chroma in gray") << "gray" << 1 << 101376 << 0 << "The file has no plane U"
                                       << "clip.yuv: gray holds only Y";
}

void tst_Image3D::messagesNameTheFile()
{
    QFETCH(QString, format);
    QFETCH(int, plane);
    QFETCH(int, fileBytes);
    QFETCH(int, frames);
    QFETCH(QString, error);
    QFETCH(QString, detail);
    Image3D volume;
    QVERIFY(!volume.loadRaw(writeFile("clip.yuv", counting(fileBytes)).toStdString(),
                            *PixelFormat::byName(format), 352, 288, plane));
    QCOMPARE(volume.getNumFrames(), frames);
    QCOMPARE(QString::fromStdString(volume.getErrorString()), error);
    QCOMPARE(QString::fromStdString(volume.getErrorDetail()), detail);
}

QTEST_APPLESS_MAIN(tst_Image3D)
#include "tst_image3d.moc"
