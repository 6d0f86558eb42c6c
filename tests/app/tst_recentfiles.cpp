#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "recentfiles.h"

namespace {

// "m:a.yuv" main, "1:a.yuv" reference 1, "2:a.png+b.png" a stack as reference 2.
RecentFiles::Entry entry(const QString &description)
{
    RecentFiles::Entry result;
    const QString slot = description.section(QLatin1Char(':'), 0, 0);
    result.slot = slot == QLatin1String("m") ? 0 : slot.toInt();
    for (const QString &name : description.section(QLatin1Char(':'), 1).split(QLatin1Char('+')))
        result.files.append(QStringLiteral("/movies/") + name);
    return result;
}

QStringList texts(const RecentFiles &recent)
{
    QStringList result;
    for (const RecentFiles::Entry &e : recent.getEntries())
        result.append(RecentFiles::describe(e));
    return result;
}

} // namespace

class TestRecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void adding_data();
    void adding();
    void removing();
    void settingsRoundTrip();
    void damagedSettings();
};

void TestRecentFiles::adding_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("newest first, slot named")
            << QStringList {"m:a.yuv", "1:b.yuv", "2:c.png+d.png+e.png"}
            << QStringList {"reference 2: c.png +2", "reference 1: b.yuv", "main: a.yuv"};
    QTest::newRow("a file again in its slot moves to the top, once")
            << QStringList {"m:a.yuv", "m:b.yuv", "m:c.yuv", "m:a.yuv"}
            << QStringList {"main: a.yuv", "main: c.yuv", "main: b.yuv"};
    QTest::newRow("the same file in another slot is another entry")
            << QStringList {"m:a.yuv", "1:a.yuv"}
            << QStringList {"reference 1: a.yuv", "main: a.yuv"};
    QTest::newRow("a stack differs from its first file")
            << QStringList {"m:a.png", "m:a.png+b.png"}
            << QStringList {"main: a.png +1", "main: a.png"};
    QStringList twelve;
    QStringList lastTen;
    for (int i = 1; i <= 12; ++i) {
        twelve << QStringLiteral("m:%1.yuv").arg(i);
        if (i > 2)
            lastTen.prepend(QStringLiteral("main: %1.yuv").arg(i));
    }
    QTest::newRow("ten kept, the oldest go") << twelve << lastTen;
    QStringList again = twelve;
    again << QStringLiteral("m:5.yuv");
    QStringList expected = lastTen;
    expected.removeAll(QStringLiteral("main: 5.yuv"));
    expected.prepend(QStringLiteral("main: 5.yuv"));
    QTest::newRow("a full list with one moved up keeps ten") << again << expected;
}

void TestRecentFiles::adding()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);
    RecentFiles recent;
    for (const QString &description : added)
        recent.add(entry(description));
    QCOMPARE(texts(recent), expected);
    QVERIFY(recent.getEntries().size() <= RecentFiles::maxCount);
}

void TestRecentFiles::removing()
{
    RecentFiles recent;
    for (const char *description : {"m:a.yuv", "m:b.yuv", "m:c.yuv"})
        recent.add(entry(QString::fromLatin1(description)));
    recent.remove(1);
    recent.remove(7); // outside: nothing
    recent.remove(-1);
    QCOMPARE(texts(recent), (QStringList {"main: c.yuv", "main: a.yuv"}));
    recent.clear();
    QVERIFY(recent.getEntries().isEmpty());
}

void TestRecentFiles::settingsRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    RecentFiles written;
    RecentFiles::Entry stack = entry(QStringLiteral("2:x 1.png+x 2.png"));
    written.add(stack);
    RecentFiles::Entry raw = entry(QStringLiteral("m:clip.yuv"));
    raw.frameWidth = 1920;
    raw.frameHeight = 1080;
    raw.pixelFormat = QStringLiteral("yuv420p10le");
    raw.plane = 2;
    raw.firstFrame = 5;
    raw.frameCount = 7;
    raw.sizeFromName = true;
    written.add(raw);
    {
        QSettings settings(dir.filePath("a.ini"), QSettings::IniFormat);
        written.write(settings);
    }
    // A shorter list written over a longer one leaves none of the old entries.
    RecentFiles shorter;
    shorter.add(raw);
    {
        QSettings settings(dir.filePath("b.ini"), QSettings::IniFormat);
        written.write(settings);
        shorter.write(settings);
    }

    RecentFiles read;
    QSettings settings(dir.filePath("a.ini"), QSettings::IniFormat);
    read.read(settings);
    QCOMPARE(read.getEntries().size(), 2);
    const RecentFiles::Entry &first = read.getEntries().at(0);
    QCOMPARE(first.slot, 0);
    QCOMPARE(first.files, QStringList {"/movies/clip.yuv"});
    QCOMPARE(first.frameWidth, 1920);
    QCOMPARE(first.frameHeight, 1080);
    QCOMPARE(first.pixelFormat, QStringLiteral("yuv420p10le"));
    QCOMPARE(first.plane, 2);
    QCOMPARE(first.firstFrame, 5);
    QCOMPARE(first.frameCount, 7);
    QVERIFY(first.sizeFromName);
    QCOMPARE(read.getEntries().at(1).slot, 2);
    QCOMPARE(read.getEntries().at(1).files, (QStringList {"/movies/x 1.png", "/movies/x 2.png"}));
    QVERIFY(!read.getEntries().at(1).sizeFromName);

    QSettings other(dir.filePath("b.ini"), QSettings::IniFormat);
    read.read(other);
    QCOMPARE(texts(read), QStringList {"main: clip.yuv"});
}

void TestRecentFiles::damagedSettings()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSettings settings(dir.filePath("damaged.ini"), QSettings::IniFormat);
    settings.beginWriteArray(QStringLiteral("recentFiles"), 14);
    for (int i = 0; i < 14; ++i) {
        settings.setArrayIndex(i);
        // Entries 0 and 1 name no slot the window has, entry 2 no file.
        settings.setValue(QStringLiteral("slot"), i == 0 ? 3 : i == 1 ? -1 : 1);
        if (i != 2)
            settings.setValue(QStringLiteral("files"),
                              QStringList {QStringLiteral("/m/%1").arg(i)});
    }
    settings.endArray();

    RecentFiles read;
    read.read(settings);
    QCOMPARE(read.getEntries().size(), RecentFiles::maxCount);
    QCOMPARE(read.getEntries().first().files, QStringList {"/m/3"});
    QCOMPARE(read.getEntries().last().files, QStringList {"/m/12"});
}

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
