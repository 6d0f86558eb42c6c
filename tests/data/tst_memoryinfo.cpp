#include "memoryinfo.h"

#include <QTest>

#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

class TestMemoryInfo : public QObject
{
    Q_OBJECT

private slots:
    void parseMemAvailable_data();
    void parseMemAvailable();
    void formatBytes_data();
    void formatBytes();
    void addressSpaceLimitBounds();
};

void TestMemoryInfo::parseMemAvailable_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("kB, among other lines")
            << QByteArray("MemTotal:       24000000 kB\nMemFree:  100 kB\n"
                          "MemAvailable:   20000000 kB\nBuffers: 5 kB\n")
            << qint64(20000000) * 1024;
    QTest::newRow("no unit") << QByteArray("MemAvailable: 4096\n") << qint64(4096);
    QTest::newRow("missing (old kernels)")
            << QByteArray("MemTotal: 100 kB\nMemFree: 50 kB\n") << qint64(-1);
    QTest::newRow("not a number") << QByteArray("MemAvailable: lots kB\n") << qint64(-1);
    QTest::newRow("negative") << QByteArray("MemAvailable: -5 kB\n") << qint64(-1);
    QTest::newRow("unknown unit") << QByteArray("MemAvailable: 5 MB\n") << qint64(-1);
    QTest::newRow("overflows 64 bits in bytes")
            << QByteArray("MemAvailable: 9223372036854775807 kB\n") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
}

void TestMemoryInfo::parseMemAvailable()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(qint64, expected);
    QCOMPARE(MemoryInfo::parseMemAvailable(meminfo), expected);
}

void TestMemoryInfo::formatBytes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("bytes") << qint64(1023) << QByteArray("1023 bytes");
    QTest::newRow("KiB") << qint64(1536) << QByteArray("1.5 KiB");
    QTest::newRow("MiB, whole above ten") << qint64(300) * 1024 * 1024 << QByteArray("300 MiB");
    QTest::newRow("GiB") << (qint64(5) << 29) << QByteArray("2.5 GiB");
    QTest::newRow("TiB") << (qint64(20) << 40) << QByteArray("20 TiB");
}

void TestMemoryInfo::formatBytes()
{
    QFETCH(qint64, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(MemoryInfo::formatBytes(bytes), expected);
}

void TestMemoryInfo::addressSpaceLimitBounds()
{
    QVERIFY(MemoryInfo::availableBytes() > 0);
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_AS, &saved), 0);
    // 100 MiB above what the process maps now: nothing near a gigabyte can be taken.
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 mapped = statm.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(mapped + (qint64(100) << 20));
    if (saved.rlim_max != RLIM_INFINITY && lowered.rlim_cur > saved.rlim_max)
        QSKIP("the hard address-space limit is lower than this test needs");
    QCOMPARE(setrlimit(RLIMIT_AS, &lowered), 0);
    const qint64 available = MemoryInfo::availableBytes();
    QCOMPARE(setrlimit(RLIMIT_AS, &saved), 0);
    QVERIFY2(available >= 0 && available <= (qint64(100) << 20),
             qPrintable(QString::number(available)));
    QVERIFY(MemoryInfo::margin(qint64(1) << 30) == qint64(256) << 20);
    QVERIFY(MemoryInfo::margin(qint64(20) << 30) == qint64(1) << 30);
}

QTEST_GUILESS_MAIN(TestMemoryInfo)
#include "tst_memoryinfo.moc"
