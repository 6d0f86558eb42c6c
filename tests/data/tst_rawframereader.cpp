#include "image3d.h"
#include "rawframereader.h"
#include "samplearray.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Bytes that cover 0, 255 and everything between, in no simple order.
QByteArray noise(qint64 count)
{
    QByteArray bytes(count, '\0');
    quint32 state = 12345;
    for (qint64 i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 23);
    }
    if (count > 1) {
        bytes[0] = char(0);
        bytes[count - 1] = char(255);
    }
    return bytes;
}

// The reader's rule sample by sample: sample (x, y, f) is byte (height - 1 - y) * width + x of
// frame f for the frames read completely, and 0.0 from the first incomplete frame on.
QVector<float> plainVolume(const QByteArray &file, int width, int height, qint64 frameBytes,
                           int frames)
{
    QVector<float> volume(qsizetype(qint64(width) * height * frames), 0.0f);
    const qint64 complete = qMin<qint64>(frames, file.size() / frameBytes);
    for (qint64 f = 0; f < complete; ++f)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                volume[qsizetype(x + width * (y + qint64(height) * f))]
                        = float(quint8(file[f * frameBytes + qint64(height - 1 - y) * width + x]));
    return volume;
}

class FileHandle
{
public:
    explicit FileHandle(const QString &path) : m_fd(::open(QFile::encodeName(path), O_RDONLY)) { }
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Fails to read one frame, and only after another worker has read a later frame, so that the
// failure arrives when that later frame is already in the volume.
class FailingReader : public RawFrameReader
{
public:
    FailingReader(int fd, int width, int height, qint64 frameBytes, int failing, int later)
        : RawFrameReader(fd, width, height, frameBytes), m_failing(failing), m_later(later)
    { }
    bool laterFrameWasRead() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_laterRead;
    }

protected:
    bool readFrame(unsigned char *pBuffer, int frame) const override
    {
        if (frame == m_failing) {
            // Waits (bounded, in case the later frame never comes) for the other worker.
            std::unique_lock<std::mutex> lock(m_mutex);
            m_laterReadChanged.wait_for(lock, std::chrono::seconds(5),
                                        [this] { return m_laterRead; });
            return false;
        }
        const bool ok = RawFrameReader::readFrame(pBuffer, frame);
        if (frame == m_later) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_laterRead = true;
            m_laterReadChanged.notify_all();
        }
        return ok;
    }

private:
    int m_failing;
    int m_later;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_laterReadChanged;
    mutable bool m_laterRead = false;
};

} // namespace

class tst_RawFrameReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath("frames.raw");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void sharedWorkMatchesPlainRule_data();
    void sharedWorkMatchesPlainRule();
    void framesAfterAFailureAreCleared_data();
    void framesAfterAFailureAreCleared();
    void largeMovieThroughLoadRaw_data();
    void largeMovieThroughLoadRaw();
};

void tst_RawFrameReader::sharedWorkMatchesPlainRule_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qint64>("frameBytes");
    QTest::addColumn<int>("frames");
    QTest::addColumn<qint64>("fileBytes");

    QTest::newRow("odd width 17 (one block and a tail), 5 frames")
            << 17 << 3 << qint64(51) << 5 << qint64(5 * 51);
    QTest::newRow("width 15: tail only") << 15 << 4 << qint64(60) << 4 << qint64(240);
    QTest::newRow("width 32: whole blocks, YUV frame")
            << 32 << 2 << qint64(96) << 6 << qint64(6 * 96);
    QTest::newRow("1x1, 7 frames") << 1 << 1 << qint64(1) << 7 << qint64(7);
    QTest::newRow("one frame, more workers than frames") << 6 << 4 << qint64(36) << 1 << qint64(36);
    QTest::newRow("file ends inside frame 4 of 7")
            << 6 << 4 << qint64(36) << 7 << qint64(4 * 36 + 20);
    QTest::newRow("file ends inside frame 0") << 8 << 2 << qint64(16) << 3 << qint64(9);
    QTest::newRow("YUV: file ends in the chroma of frame 2, its luma whole")
            << 4 << 2 << qint64(12) << 3 << qint64(2 * 12 + 8);
    QTest::newRow("YUV: file ends one byte before the end of frame 2")
            << 4 << 2 << qint64(12) << 3 << qint64(2 * 12 + 11);
    QTest::newRow("empty file") << 4 << 2 << qint64(12) << 2 << qint64(0);
    QTest::newRow("1922x6 gray, 9 frames")
            << 1922 << 6 << qint64(1922 * 6) << 9 << qint64(1922 * 6 * 9);
}

void tst_RawFrameReader::sharedWorkMatchesPlainRule()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qint64, frameBytes);
    QFETCH(int, frames);
    QFETCH(qint64, fileBytes);

    const QByteArray bytes = noise(fileBytes);
    const FileHandle file(writeFile(bytes));
    QVERIFY(file.fd() >= 0);
    const QVector<float> expected = plainVolume(bytes, width, height, frameBytes, frames);
    const int complete = int(qMin<qint64>(frames, fileBytes / frameBytes));

    for (int workers = 1; workers <= 3; ++workers) {
        SampleArray volume;
        QVERIFY(volume.allocateZeroed(qint64(width) * height * frames));
        const RawFrameReader reader(file.fd(), width, height, frameBytes);
        QCOMPARE(reader.read(volume.data(), frames, workers), complete);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (volume.data()[i] != expected[i])
                QFAIL(qPrintable(QString("%1 workers: sample %2 is %3, expected %4")
                                         .arg(workers)
                                         .arg(i)
                                         .arg(volume.data()[i])
                                         .arg(expected[i])));
        }
    }
}

void tst_RawFrameReader::framesAfterAFailureAreCleared_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("failing");
    QTest::addColumn<int>("later"); // a frame after the failing one, read by another worker

    QTest::newRow("2 workers, frame 2 fails after frame 5 was read") << 2 << 2 << 5;
    QTest::newRow("2 workers, frame 0 fails after frame 7 was read") << 2 << 0 << 7;
    QTest::newRow("3 workers, frame 4 fails after frame 6 was read") << 3 << 4 << 6;
}

void tst_RawFrameReader::framesAfterAFailureAreCleared()
{
    QFETCH(int, workers);
    QFETCH(int, failing);
    QFETCH(int, later);

    const int width = 18, height = 2, frames = 8;
    const qint64 frameBytes = qint64(width) * height * 3 / 2;
    const QByteArray bytes = noise(frameBytes * frames);
    const FileHandle file(writeFile(bytes));
    QVERIFY(file.fd() >= 0);

    SampleArray volume;
    QVERIFY(volume.allocateZeroed(qint64(width) * height * frames));
    const FailingReader reader(file.fd(), width, height, frameBytes, failing, later);
    QCOMPARE(reader.read(volume.data(), frames, workers), failing);
    QVERIFY(reader.laterFrameWasRead());

    // As if read one frame after the other: data before the failing frame, 0.0 from it on.
    const QVector<float> expected
            = plainVolume(bytes.left(frameBytes * failing), width, height, frameBytes, frames);
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(volume.data()[i], expected[i]);
}

void tst_RawFrameReader::largeMovieThroughLoadRaw_data()
{
    QTest::addColumn<bool>("isYUV");
    QTest::addColumn<int>("frames");
    // 1024x1024 frames: from four of them on the reader shares the work among threads.
    QTest::newRow("gray 1024x1024, 5 frames") << false << 5;
    QTest::newRow("yuv 1024x1024, 6 frames") << true << 6;
}

void tst_RawFrameReader::largeMovieThroughLoadRaw()
{
    QFETCH(bool, isYUV);
    QFETCH(int, frames);
    const int width = 1024, height = 1024;
    const qint64 frameBytes = qint64(width) * height * (isYUV ? 3 : 2) / 2;
    const QByteArray bytes = noise(frameBytes * frames + 3);
    const QString path = writeFile(bytes);

    Image3D volume;
    QVERIFY(!volume.loadRaw(path.toStdString(), width, height, isYUV));
    QCOMPARE(QString::fromStdString(volume.getErrorString()), QString("WARNING: 3 bytes unused"));
    QCOMPARE(volume.getNumFrames(), frames);
    const QVector<float> expected = plainVolume(bytes, width, height, frameBytes, frames);
    QCOMPARE(volume.getSampleCount(), qint64(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (volume.getData()[i] != expected[i])
            QFAIL(qPrintable(QString("sample %1 differs").arg(i)));
    }
}

QTEST_APPLESS_MAIN(tst_RawFrameReader)
#include "tst_rawframereader.moc"
