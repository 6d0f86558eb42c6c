#include <cmath>
#include <csignal>
#include <limits>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "formatwriter.h"
#include "image3d.h"
#include "moviewriter.h"
#include "pixelformat.h"
#include "pngwriter.h"

// Set by a test: the file watched, and what it held and how large the file being flushed was
// when Qt's file engine synced that to disk.
namespace {
QString g_syncWatched;
QByteArray g_watchedAtSync;
qint64 g_syncedBytes = -1;
} // namespace

// Seen before the C library's own.
extern "C" int fdatasync(int fd)
{
    struct stat info;
    QFile watched(g_syncWatched);
    if (!g_syncWatched.isEmpty() && fstat(fd, &info) == 0 && watched.open(QIODevice::ReadOnly)) {
        g_syncedBytes = info.st_size;
        g_watchedAtSync = watched.readAll();
    }
    static const auto pReal = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    return pReal(fd);
}

namespace {

void setSample(Image3D &movie, int x, int y, int f, float value)
{
    movie.getData()[x + qint64(movie.getWidth()) * (y + qint64(movie.getHeight()) * f)] = value;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

} // namespace

class TestMovieWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void clampsTruncatesAndFlips();
    void oneSampleConversion_data();
    void oneSampleConversion();
    void wideRowsMatchTheSampleRule_data();
    void wideRowsMatchTheSampleRule();
    void fileSize_data();
    void fileSize();
    void roundTripThroughTheReader();
    void grayFileGrowsByHalf();
    void replacesAnExistingFile();
    void failures_data();
    void failures();
    void savesReplaceSafely_data();
    void savesReplaceSafely();
    void y4mReopensAsTheSameMovie_data();
    void y4mReopensAsTheSameMovie();

private:
    QByteArray readAll(const QString &fileName);

    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestMovieWriter::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
}

QByteArray TestMovieWriter::readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("unreadable");
    return file.readAll();
}

void TestMovieWriter::clampsTruncatesAndFlips()
{
    Image3D movie(2, 2, 1);
    setSample(movie, 0, 0, 0, 300.0f);
    setSample(movie, 1, 0, 0, -5.0f);
    setSample(movie, 0, 1, 0, 12.7f);
    setSample(movie, 1, 1, 0, 40.0f);
    const QString name = m_pDir->filePath(QStringLiteral("out.yuv"));

    QCOMPARE(MovieWriter::writeYUV(movie, name.toStdString()), MovieWriter::Result::Written);
    // The top row (movie row 1) comes first.
    QCOMPARE(readAll(name), bytes({12, 40, 255, 0, 128, 128}));
}

void TestMovieWriter::oneSampleConversion_data()
{
    QTest::addColumn<float>("sample");
    QTest::addColumn<int>("byte");

    QTest::newRow("254.9 truncated to 254") << 254.9f << 254;
    QTest::newRow("0.9 truncated to 0") << 0.9f << 0;
    QTest::newRow("-0.5 clamped to 0") << -0.5f << 0;
    QTest::newRow("255 kept") << 255.0f << 255;
    QTest::newRow("255.5 clamped to 255") << 255.5f << 255;
    QTest::newRow("NaN written as 0") << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("infinity clamped to 255") << std::numeric_limits<float>::infinity() << 255;
    QTest::newRow("minus infinity clamped to 0") << -std::numeric_limits<float>::infinity() << 0;
    QTest::newRow("128.0 exact") << 128.0f << 128;
}

void TestMovieWriter::oneSampleConversion()
{
    QFETCH(float, sample);
    QFETCH(int, byte);

    Image3D movie(2, 2, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            setSample(movie, x, y, 0, sample);
    const QString name = m_pDir->filePath(QStringLiteral("sample.yuv"));
    QCOMPARE(MovieWriter::writeYUV(movie, name.toStdString()), MovieWriter::Result::Written);
    QCOMPARE(readAll(name), bytes({byte, byte, byte, byte, 128, 128}));
}

void TestMovieWriter::wideRowsMatchTheSampleRule_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frames");
    QTest::newRow("odd 17x3x2: one block of sixteen and a tail") << 17 << 3 << 2;
    QTest::newRow("33x2x1: two blocks and a tail") << 33 << 2 << 1;
    QTest::newRow("15x5x1: tail only") << 15 << 5 << 1;
    QTest::newRow("64x4x3: whole blocks") << 64 << 4 << 3;
    QTest::newRow("odd 35x7x9: many frames through both buffers") << 35 << 7 << 9;
    QTest::newRow("odd 1001x33x150: many frames") << 1001 << 33 << 150;
}

void TestMovieWriter::wideRowsMatchTheSampleRule()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frames);

    // Every awkward kind of sample at every position of a block, between ordinary ones.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float awkward[]
            = {nan,      inf,    -inf,     -0.0f,    0.0f,  0.999f, 254.999f,      255.0f,
               255.001f, 256.0f, -0.5f,    -1.0f,    1e30f, -1e30f, 2147483648.0f, -2147483648.0f,
               127.5f,   1e-30f, 65535.0f, -65536.0f};
    Image3D movie(width, height, frames);
    float *pData = movie.getData();
    for (qint64 i = 0; i < movie.getSampleCount(); ++i)
        pData[i] = i % 3 == 0 ? awkward[(i / 3) % std::size(awkward)]
                              : float((i * 37) % 300) - 20.5f;

    const QString name = m_pDir->filePath(QStringLiteral("wide.yuv"));
    QCOMPARE(MovieWriter::writeYUV(movie, name.toStdString()), MovieWriter::Result::Written);
    const QByteArray file = readAll(name);
    const qint64 frameBytes = MovieWriter::frameBytes(width, height);
    QCOMPARE(qint64(file.size()), frameBytes * frames);
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                // The rule sample by sample: clamp, truncate, NaN as 0.
                const float v = pData[x + qint64(width) * (y + qint64(height) * f)];
                const int expected = v > 255.0f ? 255 : v >= 0.0f ? int(v) : 0;
                const int written
                        = quint8(file[int(f * frameBytes + qint64(height - 1 - y) * width + x)]);
                if (written != expected)
                    QFAIL(qPrintable(
                            QStringLiteral("frame %1, (%2, %3), sample %4: %5, expected %6")
                                    .arg(f)
                                    .arg(x)
                                    .arg(y)
                                    .arg(double(v))
                                    .arg(written)
                                    .arg(expected)));
            }
        }
    }
}

void TestMovieWriter::fileSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frames");
    QTest::addColumn<qint64>("size");

    QTest::newRow("4x2x3: 3 frames of 12 bytes") << 4 << 2 << 3 << qint64(36);
    QTest::newRow("odd 3x3x1: 9 luma and 4 chroma bytes") << 3 << 3 << 1 << qint64(13);
    QTest::newRow("odd 1x1x2: chroma rounds down to nothing") << 1 << 1 << 2 << qint64(2);
    QTest::newRow("352x288x2: CIF") << 352 << 288 << 2 << qint64(2 * 152064);
}

void TestMovieWriter::fileSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frames);
    QFETCH(qint64, size);

    Image3D movie(width, height, frames);
    const QString name = m_pDir->filePath(QStringLiteral("size.yuv"));
    QCOMPARE(MovieWriter::writeYUV(movie, name.toStdString()), MovieWriter::Result::Written);
    const QByteArray written = readAll(name);
    QCOMPARE(written.size(), size);
    // Every frame ends with its chroma bytes.
    const qint64 frameBytes = size / frames;
    const qint64 chroma = qint64(width) * height / 2;
    for (int f = 0; f < frames; ++f) {
        const QByteArray frame = written.mid(f * frameBytes, frameBytes);
        QCOMPARE(frame.right(chroma), QByteArray(chroma, char(128)));
        QCOMPARE(frame.left(frameBytes - chroma), QByteArray(frameBytes - chroma, char(0)));
    }
}

void TestMovieWriter::roundTripThroughTheReader()
{
    Image3D movie(4, 2, 3);
    for (qint64 i = 0; i < movie.getSampleCount(); ++i)
        movie.getData()[i] = float((i * 37) % 256);
    // A non-ASCII name on the way out and back in.
    const std::string name = m_pDir->filePath(QStringLiteral("rück fahrt.yuv")).toStdString();
    QCOMPARE(MovieWriter::writeYUV(movie, name), MovieWriter::Result::Written);

    Image3D back;
    QVERIFY(back.loadRaw(name, 4, 2, true));
    QCOMPARE(back.getWidth(), 4);
    QCOMPARE(back.getHeight(), 2);
    QCOMPARE(back.getNumFrames(), 3);
    for (qint64 i = 0; i < movie.getSampleCount(); ++i)
        QCOMPARE(back.getData()[i], movie.getData()[i]);
}

void TestMovieWriter::grayFileGrowsByHalf()
{
    const QString grayName = m_pDir->filePath(QStringLiteral("gray.raw"));
    QFile gray(grayName);
    QVERIFY(gray.open(QIODevice::WriteOnly));
    QByteArray grayBytes;
    for (int i = 0; i < 2 * 16; ++i)
        grayBytes.append(char(i * 7));
    gray.write(grayBytes);
    gray.close();

    Image3D movie;
    QVERIFY(movie.loadRaw(grayName.toStdString(), 4, 4, false));
    const QString yuvName = m_pDir->filePath(QStringLiteral("gray.yuv"));
    QCOMPARE(MovieWriter::writeYUV(movie, yuvName.toStdString()), MovieWriter::Result::Written);
    const QByteArray written = readAll(yuvName);
    QCOMPARE(written.size(), grayBytes.size() * 3 / 2);
    // The luma of each frame is the gray frame unchanged.
    QCOMPARE(written.left(16), grayBytes.left(16));
    QCOMPARE(written.mid(24, 16), grayBytes.mid(16, 16));
}

void TestMovieWriter::replacesAnExistingFile()
{
    const QString name = m_pDir->filePath(QStringLiteral("old.yuv"));
    QFile old(name);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100, 'x'));
    old.close();

    Image3D movie(2, 2, 1);
    QCOMPARE(MovieWriter::writeYUV(movie, name.toStdString()), MovieWriter::Result::Written);
    QCOMPARE(readAll(name), bytes({0, 0, 0, 0, 128, 128}));
}

void TestMovieWriter::failures_data()
{
    QTest::addColumn<QString>("fileName"); // %1: a fresh temporary folder
    QTest::addColumn<int>("side");
    QTest::addColumn<MovieWriter::Result>("result");

    QTest::newRow("missing folder: open fails")
            << "%1/no such folder/out.yuv" << 64 << MovieWriter::Result::OpenFailed;
    QTest::newRow("a folder: open fails") << "%1" << 64 << MovieWriter::Result::OpenFailed;
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        // Six bytes stay in the stream's buffer until the close flushes them.
        QTest::newRow("full device, tiny movie: the close reports it")
                << "/dev/full" << 2 << MovieWriter::Result::WriteFailed;
        QTest::newRow("full device, large movie: a write reports it")
                << "/dev/full" << 1024 << MovieWriter::Result::WriteFailed;
    }
    QTest::newRow("/dev/null: written directly, stays a device")
            << "/dev/null" << 2 << MovieWriter::Result::Written;
}

void TestMovieWriter::failures()
{
    QFETCH(QString, fileName);
    QFETCH(int, side);
    QFETCH(MovieWriter::Result, result);

    Image3D movie(side, side, 2);
    if (fileName.contains(QLatin1String("%1")))
        fileName = fileName.arg(m_pDir->path());
    QCOMPARE(MovieWriter::writeYUV(movie, fileName.toStdString()), result);
    Image3D longMovie(side, side, 40);
    QCOMPARE(MovieWriter::writeYUV(longMovie, fileName.toStdString()), result);
    if (fileName.startsWith(QLatin1String("/dev/")))
        QVERIFY(!QFileInfo(fileName).isFile());
}

void TestMovieWriter::savesReplaceSafely_data()
{
    QTest::addColumn<bool>("picture"); // a PNG picture, else a 4x2x3 movie
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<int>("mode"); // of the file replaced
    QTest::addColumn<QString>("failure"); // "cancel", "limit" (writes past 8 bytes fail), none
    QTest::newRow("movie through a link to a 0640 file") << false << true << 0640 << "";
    QTest::newRow("picture through a link to a 0604 file") << true << true << 0604 << "";
    QTest::newRow("movie cancelled after its first frame") << false << true << 0600 << "cancel";
    QTest::newRow("movie meeting the file size limit") << false << false << 0600 << "limit";
    QTest::newRow("picture meeting the file size limit") << true << false << 0644 << "limit";
}

void TestMovieWriter::savesReplaceSafely()
{
    QFETCH(bool, picture);
    QFETCH(bool, throughLink);
    QFETCH(int, mode);
    QFETCH(QString, failure);
    QVERIFY(QDir(m_pDir->path()).mkdir("real"));
    const QString target = m_pDir->filePath("real/old.bin");
    const QString name = throughLink ? m_pDir->filePath("link.bin") : target;
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QVERIFY(chmod(QFile::encodeName(target).constData(), mode_t(mode)) == 0);
    QVERIFY(!throughLink || QFile::link("real/old.bin", name));

    QImage slice(4, 2, QImage::Format_RGB32);
    slice.fill(qRgb(9, 9, 9));
    const rlimit unlimited {RLIM_INFINITY, RLIM_INFINITY};
    const rlimit tight {failure == "limit" ? 8 : RLIM_INFINITY, RLIM_INFINITY};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    g_syncWatched = target;
    g_syncedBytes = -1;
    const bool saved = picture
            ? PngWriter::write(slice, name)
            : MovieWriter::writeYUV(Image3D(4, 2, 3), name.toStdString(), [&](int, int) {
                  return failure != "cancel";
              }) == MovieWriter::Result::Written;
    g_syncWatched.clear();
    setrlimit(RLIMIT_FSIZE, &unlimited);

    QCOMPARE(saved, failure.isEmpty());
    QCOMPARE(readAll(target) == "old", !saved);
    QCOMPARE(QFileInfo(name).isSymLink(), throughLink);
    QCOMPARE(QDir(m_pDir->filePath("real")).entryList(QDir::Files), QStringList {"old.bin"});
    struct stat info;
    QVERIFY(stat(QFile::encodeName(target).constData(), &info) == 0);
    QCOMPARE(int(info.st_mode & 0777), mode);
    // Synced to disk complete, while the old file was still in place.
    QCOMPARE(g_syncedBytes == readAll(target).size() && g_watchedAtSync == "old", saved);
}

void TestMovieWriter::y4mReopensAsTheSameMovie_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<double>("rate"); // 0: unknown
    QTest::addColumn<QByteArray>("tags");
    QTest::newRow("10-bit at 30000:1001") << 10 << 30000.0 / 1001
                                          << QByteArray("F30000:1001 Ip "
                                                        "A1:1 C420p10");
    QTest::newRow("12-bit, rate unknown: 25") << 12 << 0.0 << QByteArray("F25:1 Ip A1:1 C420p12");
    QTest::newRow("16-bit at 50") << 16 << 50.0 << QByteArray("F50:1 Ip A1:1 C420p16");
}

void TestMovieWriter::y4mReopensAsTheSameMovie()
{
    QFETCH(int, depth);
    QFETCH(double, rate);
    QFETCH(QByteArray, tags);
    // Odd width, two frames, samples spread over the depth up to its largest value.
    Image3D movie(3, 2, 2);
    for (qint64 i = 0; i < movie.getSampleCount(); ++i)
        movie.getData()[i] = float(i == 5 ? (1 << depth) - 1 : (i * 7919) % (1 << depth));
    movie.setDepth(depth);
    movie.setFrameRate(rate);
    const std::string name = m_pDir->filePath("again.y4m").toStdString();
    QCOMPARE(FormatWriter::writeY4m(movie, name, true), MovieWriter::Result::Written);
    QVERIFY(readAll(QString::fromStdString(name)).startsWith("YUV4MPEG2 W3 H2 " + tags));
    Image3D back;
    QVERIFY(back.openRaw(name, *PixelFormat::byName("gray"), 8, 8));
    QCOMPARE(back.getDepth(), depth);
    QCOMPARE(back.getFrameRate(), rate > 0 ? rate : 25.0);
    QCOMPARE(back.getNumFrames(), 2);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(back.getFrame(i / 6).get()[i % 6], movie.getData()[i]);
}

QTEST_GUILESS_MAIN(TestMovieWriter)
#include "tst_moviewriter.moc"
