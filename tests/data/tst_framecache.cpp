#include "framecache.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr qint64 kSamples = 6; // a 3 x 2 frame
constexpr qint64 kFrameBytes = kSamples * sizeof(float);

// A movie whose sample i of frame f is 100 f + i; counts the reads of every frame and fails
// the frames from `failFrom` on.
struct CountingMovie
{
    explicit CountingMovie(int frames) : reads(size_t(frames)) { }

    FrameCache::Loader loader()
    {
        return [this](int frame, float *pSamples, std::string &error) {
            ++reads[size_t(frame)];
            if (frame >= failFrom) {
                error = "frame " + std::to_string(frame) + " is gone";
                return false;
            }
            for (qint64 i = 0; i < kSamples; ++i)
                pSamples[i] = float(100 * frame + i);
            return true;
        };
    }
    int totalReads() const
    {
        int total = 0;
        for (const auto &count : reads)
            total += count;
        return total;
    }

    std::vector<std::atomic<int>> reads;
    std::atomic<int> failFrom {1 << 30};
};

bool holdsFrame(const FrameCache::Frame &samples, int frame)
{
    if (!samples)
        return false;
    for (qint64 i = 0; i < kSamples; ++i) {
        if (samples.get()[i] != float(100 * frame + i))
            return false;
    }
    return true;
}

QList<int> listOf(const QString &text)
{
    QList<int> list;
    for (const QString &part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list.append(part.toInt());
    return list;
}

} // namespace

class TestFrameCache : public QObject
{
    Q_OBJECT

private slots:
    void accessesReadOnlyWhatIsMissing_data();
    void accessesReadOnlyWhatIsMissing();
    void frameOutlivesEviction();
    void failedFrameIsReportedAndRetried();
    void readAhead_data();
    void readAhead();
    void concurrentReadersReadEachFrameOnce();
    void budgetChangeTrims();
};

void TestFrameCache::accessesReadOnlyWhatIsMissing_data()
{
    QTest::addColumn<int>("budgetFrames");
    QTest::addColumn<QString>("accesses");
    QTest::addColumn<QString>("expectedReads"); // reads per frame 0..5 afterwards

    QTest::newRow("everything fits: each frame read once") << 6 << "0 1 2 0 1 2 5"
                                                           << "1 1 1 0 0 1";
    QTest::newRow("three fit: least recently used leaves first") << 3 << "0 1 2 0 3 1 0"
                                                                 << "1 2 1 1 0 0";
    QTest::newRow("one fits: every change of frame reads again") << 1 << "0 0 1 0 1"
                                                                 << "2 2 0 0 0 0";
    QTest::newRow("budget below one frame still keeps the latest") << 0 << "2 2 2"
                                                                   << "0 0 1 0 0 0";
}

void TestFrameCache::accessesReadOnlyWhatIsMissing()
{
    QFETCH(int, budgetFrames);
    QFETCH(QString, accesses);
    QFETCH(QString, expectedReads);

    CountingMovie movie(6);
    FrameCache cache(movie.loader(), kSamples, 6, budgetFrames * kFrameBytes);
    for (int frame : listOf(accesses)) {
        QVERIFY2(holdsFrame(cache.getFrame(frame), frame), qPrintable(QString::number(frame)));
        QVERIFY(cache.getHeldBytes() <= std::max(budgetFrames, 1) * kFrameBytes);
    }
    QList<int> reads;
    for (const auto &count : movie.reads)
        reads.append(count);
    QCOMPARE(reads, listOf(expectedReads));
}

void TestFrameCache::frameOutlivesEviction()
{
    CountingMovie movie(4);
    FrameCache cache(movie.loader(), kSamples, 4, kFrameBytes);
    const FrameCache::Frame first = cache.getFrame(0);
    for (int frame = 1; frame < 4; ++frame)
        QVERIFY(holdsFrame(cache.getFrame(frame), frame));
    QCOMPARE(cache.getHeldBytes(), kFrameBytes);
    QVERIFY(holdsFrame(first, 0));
}

void TestFrameCache::failedFrameIsReportedAndRetried()
{
    CountingMovie movie(4);
    FrameCache cache(movie.loader(), kSamples, 4, 4 * kFrameBytes);
    QVERIFY(holdsFrame(cache.getFrame(1), 1));
    movie.failFrom = 2; // the file shrank to two frames
    QVERIFY(!cache.getFrame(3));
    QCOMPARE(cache.getErrorString(), std::string("frame 3 is gone"));
    QVERIFY(!cache.getFrame(3));
    QCOMPARE(int(movie.reads[3]), 2); // not cached as a blank frame
    QVERIFY(holdsFrame(cache.getFrame(1), 1)); // what was read stays readable
    QVERIFY(!cache.getFrame(4));
    QVERIFY(!cache.getFrame(-1));
    movie.failFrom = 1 << 30; // the file is back
    QVERIFY(holdsFrame(cache.getFrame(3), 3));
}

void TestFrameCache::readAhead_data()
{
    QTest::addColumn<int>("budgetFrames");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("dir");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("failFrom");
    QTest::addColumn<QString>("expectedReads"); // reads per frame 0..7

    QTest::newRow("forward") << 8 << 2 << 1 << 3 << 99 << "0 0 0 1 1 1 0 0";
    QTest::newRow("backward") << 8 << 5 << -1 << 3 << 99 << "0 0 1 1 1 0 0 0";
    QTest::newRow("stops at the end") << 8 << 5 << 1 << 6 << 99 << "0 0 0 0 0 0 1 1";
    QTest::newRow("stops at the start") << 8 << 1 << -1 << 6 << 99 << "1 0 0 0 0 0 0 0";
    QTest::newRow("at most budget less two frames") << 4 << 0 << 1 << 6 << 99 << "0 1 1 0 0 0 0 0";
    QTest::newRow("nothing when only the frame in use fits")
            << 2 << 0 << 1 << 6 << 99 << "0 0 0 0 0 0 0 0";
    QTest::newRow("a frame that can't be read ends it")
            << 8 << 0 << 1 << 6 << 3 << "0 1 1 1 0 0 0 0";
}

void TestFrameCache::readAhead()
{
    QFETCH(int, budgetFrames);
    QFETCH(int, from);
    QFETCH(int, dir);
    QFETCH(int, count);
    QFETCH(int, failFrom);
    QFETCH(QString, expectedReads);

    CountingMovie movie(8);
    movie.failFrom = failFrom;
    FrameCache cache(movie.loader(), kSamples, 8, budgetFrames * kFrameBytes);
    cache.readAhead(from, dir, count);
    cache.waitForReadAhead();
    QList<int> reads;
    for (const auto &n : movie.reads)
        reads.append(n);
    QCOMPARE(reads, listOf(expectedReads));
    // A frame read ahead is served without reading it again; failures are not reported ahead.
    const int next = from + dir;
    if (next >= 0 && next < 8 && movie.reads[size_t(next)] == 1) {
        QVERIFY(holdsFrame(cache.getFrame(next), next));
        QCOMPARE(int(movie.reads[size_t(next)]), 1);
    }
    QCOMPARE(cache.getErrorString(), std::string());
}

void TestFrameCache::concurrentReadersReadEachFrameOnce()
{
    constexpr int frames = 64;
    CountingMovie movie(frames);
    FrameCache cache(movie.loader(), kSamples, frames, frames * kFrameBytes);
    cache.readAhead(-1, 1, frames);
    std::atomic<int> wrong {0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&cache, &wrong, t] {
            for (int i = 0; i < frames; ++i) {
                const int frame = t % 2 ? i : frames - 1 - i;
                if (!holdsFrame(cache.getFrame(frame), frame))
                    ++wrong;
            }
        });
    }
    for (std::thread &reader : readers)
        reader.join();
    cache.waitForReadAhead();
    QCOMPARE(int(wrong), 0);
    QCOMPARE(movie.totalReads(), frames);
}

void TestFrameCache::budgetChangeTrims()
{
    CountingMovie movie(5);
    FrameCache cache(movie.loader(), kSamples, 5, 5 * kFrameBytes);
    for (int frame = 0; frame < 5; ++frame)
        cache.getFrame(frame);
    QCOMPARE(cache.getHeldBytes(), 5 * kFrameBytes);
    cache.setBudget(2 * kFrameBytes);
    QCOMPARE(cache.getHeldBytes(), 2 * kFrameBytes);
    QVERIFY(holdsFrame(cache.getFrame(4), 4));
    QVERIFY(holdsFrame(cache.getFrame(3), 3));
    QCOMPARE(movie.totalReads(), 5); // the two most recent stayed
    QVERIFY(FrameCache::defaultBudget() > 0);
    QVERIFY(FrameCache::defaultBudget() <= (qint64(4) << 30));
}

QTEST_GUILESS_MAIN(TestFrameCache)
#include "tst_framecache.moc"
