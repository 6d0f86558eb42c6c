#include <QTest>

#include "recentfiles.h"

class TestRecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void adding_data();
    void adding();
};

void TestRecentFiles::adding_data()
{
    // Added in order: "m:a.yuv" a main movie, "1:a.yuv" reference 1, "2:a.png+b.png" a stack.
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("newest first, slot named")
            << QStringList {"m:a.yuv", "1:b.yuv", "2:c.png+d.png+e.png"}
            << QStringList {"reference 2: c.png +2", "reference 1: b.yuv", "main: a.yuv"};
    QTest::newRow("again in its slot: moved to the top")
            << QStringList {"m:a.yuv", "m:b.yuv", "m:c.yuv", "m:a.yuv"}
            << QStringList {"main: a.yuv", "main: c.yuv", "main: b.yuv"};
    QTest::newRow("in another slot, or stacked: another entry")
            << QStringList {"m:a.yuv", "1:a.yuv", "1:a.yuv+b.yuv"}
            << QStringList {"reference 1: a.yuv +1", "reference 1: a.yuv", "main: a.yuv"};
    QStringList twelve;
    QStringList lastTen;
    for (int i = 1; i <= 12; ++i) {
        twelve << QStringLiteral("m:%1.yuv").arg(i);
        if (i > 2)
            lastTen.prepend(QStringLiteral("main: %1.yuv").arg(i));
    }
    QTest::newRow("ten kept, the oldest go") << twelve << lastTen;
    lastTen.move(lastTen.indexOf("main: 5.yuv"), 0);
    QTest::newRow("a full list with one moved up keeps ten")
            << twelve + QStringList {"m:5.yuv"} << lastTen;
}

void TestRecentFiles::adding()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);
    RecentFiles recent;
    for (const QString &description : added) {
        RecentFiles::Entry entry;
        entry.slot = description.startsWith('m') ? 0 : description.left(1).toInt();
        for (const QString &name : description.mid(2).split('+'))
            entry.files << QStringLiteral("/movies/") + name;
        recent.add(entry);
    }
    QStringList texts;
    for (const RecentFiles::Entry &entry : recent.getEntries())
        texts << RecentFiles::describe(entry);
    QCOMPARE(texts, expected);
}

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
