#include <memory>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>
#include <unistd.h>

#include "image3d.h"
#include "mainwidget.h"
#include "session.h"
#include "scripteddialogs.h"

#if defined(__SANITIZE_ADDRESS__)
#define RAWCOMPARE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAWCOMPARE_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// The main movie: 352x288 gray, 12 frames, 4.9 MB of samples, so that a movie kept by mistake
// shows plainly in the resident size.
const int width = 352;
const int height = 288;
const int frames = 12;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()) - 2; }

float sampleAt(const Image3D &movie, int x, int y, int f)
{
    return movie.getFrame(f).get()[x + qint64(movie.getWidth()) * y];
}

} // namespace

// Hundreds of loads, replacements, failed loads, view changes, saves and clears through the
// window's menus with scripted dialogs: every movie, piece, buffer and file handle must be given
// back. The resident size is compared in the plain build; in the sanitized build,
// AddressSanitizer keeps freed memory in quarantine and LeakSanitizer judges at exit instead.
class TestLongSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void memoryReturnsToItsLevel();

private:
    void writeFile(const QString &name, const QByteArray &bytes);
    QAction *action(const QString &text) const;
    // One round of the session; round decides which movie is loaded and what is cleared.
    void round(int round);

    QTemporaryDir m_dir;
    std::unique_ptr<MainWidget> m_pWindow;
    ScriptedDialogs *m_pDialogs = nullptr;
};

void TestLongSession::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QAction *TestLongSession::action(const QString &text) const
{
    for (QAction *pAction : m_pWindow->findChildren<QAction *>()) {
        if (pAction->text() == text)
            return pAction;
    }
    qFatal("no action %s", qPrintable(text));
}

void TestLongSession::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Two main movies whose frame f, byte i is (i + f + seed) mod 256.
    for (int seed : {0, 100}) {
        QByteArray bytes(qsizetype(width) * height * frames, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i % (width * height) + i / (width * height) + seed) % 256);
        writeFile(QStringLiteral("main%1.raw").arg(seed), bytes);
    }
    writeFile(QStringLiteral("two frames.raw"), QByteArray(qsizetype(width) * height * 2, '\x40'));
    writeFile(QStringLiteral("short.raw"), QByteArray(100, '\x01'));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(90, 90, 90));
    QVERIFY(picture.save(m_dir.filePath(QStringLiteral("picture «ü».png")), "PNG"));

    m_pWindow = std::make_unique<MainWidget>();
    auto pDialogs = std::make_unique<ScriptedDialogs>();
    m_pDialogs = pDialogs.get();
    m_pWindow->setDialogProvider(std::move(pDialogs));
}

void TestLongSession::round(int round)
{
    const QString dir = m_dir.path();
    auto file = [&](const QString &name) { return m_dir.filePath(name); };
    const ScriptedDialogs::DimensionsAnswer gray {1, QString::number(width),
                                                  QString::number(height), false, true};
    const ScriptedDialogs::DimensionsAnswer yuv {1, QString::number(width), QString::number(height),
                                                 true, false};
    const int seed = round % 2 ? 100 : 0;

    // Main movie, replacing the one before.
    m_pDialogs->openAnswers.append({true, dir, {file(QStringLiteral("main%1.raw").arg(seed))}});
    m_pDialogs->dimensionsAnswers.append(gray);
    action(QStringLiteral("Load main movie"))->trigger();
    const Image3D *pMain = m_pWindow->getSession().getMovie(Session::Main);
    QVERIFY(pMain);
    QCOMPARE(pMain->getNumFrames(), frames);
    QCOMPARE(sampleAt(*pMain, 0, height - 1, 1), float(1 + seed));

    // A still image, and a stack of an image and a raw file.
    m_pDialogs->openAnswers.append({true, dir, {file(QStringLiteral("picture «ü».png"))}});
    action(QStringLiteral("Load reference movie 1"))->trigger();
    m_pDialogs->openAnswers.append(
            {true,
             dir,
             {file(QStringLiteral("picture «ü».png")), file(QStringLiteral("two frames.raw"))}});
    m_pDialogs->dimensionsAnswers.append(gray);
    action(QStringLiteral("Load reference movie 2"))->trigger();
    QVERIFY(m_pWindow->getSession().getMovie(Session::Reference1));
    QVERIFY(m_pWindow->getSession().getMovie(Session::Reference2));
    QCOMPARE(m_pWindow->getSession().getMovie(Session::Reference2)->getNumFrames(), 3);

    // A load that fails leaves the main movie in place.
    m_pDialogs->openAnswers.append({true, dir, {file(QStringLiteral("short.raw"))}});
    m_pDialogs->dimensionsAnswers.append(gray);
    action(QStringLiteral("Load main movie"))->trigger();
    QCOMPARE(m_pDialogs->warnings.size(), 1);
    QCOMPARE(m_pDialogs->warnings.takeFirst().text.section('\n', 0, 1),
             QStringLiteral("Loading not successful:\nNot enough data in file for one frame"));
    QCOMPARE(m_pWindow->getSession().getMovie(Session::Main), pMain);

    // Every view drawn once.
    for (const char *view : {"Reference movie 1", "Reference movie 2", "Difference: main-ref1",
                             "Difference: main-ref2", "Main movie"})
        action(QString::fromUtf8(view))->trigger();

    // Saved, and read back over the main movie.
    const QString saved = file(QStringLiteral("saved.yuv"));
    m_pDialogs->saveAnswers.append(saved);
    action(QStringLiteral("Save main movie"))->trigger();
    QCOMPARE(QFileInfo(saved).size(), qint64(frames) * width * height * 3 / 2);
    m_pDialogs->openAnswers.append({true, dir, {saved}});
    m_pDialogs->dimensionsAnswers.append(yuv);
    action(QStringLiteral("Load main movie"))->trigger();
    QCOMPARE(m_pWindow->getSession().getMovie(Session::Main)->getNumFrames(), frames);
    QCOMPARE(sampleAt(*m_pWindow->getSession().getMovie(Session::Main), 0, height - 1, 1),
             float(1 + seed));

    action(QStringLiteral("Clear reference movie 1"))->trigger();
    action(QStringLiteral("Clear reference movie 2"))->trigger();
    if (round % 3 == 0)
        action(QStringLiteral("Clear main movie"))->trigger();
    QVERIFY(!m_pWindow->getSession().getMovie(Session::Reference1));
    QVERIFY(!m_pWindow->getSession().getMovie(Session::Reference2));

    QVERIFY(m_pDialogs->openAnswers.isEmpty());
    QVERIFY(m_pDialogs->dimensionsAnswers.isEmpty());
    QVERIFY(m_pDialogs->warnings.isEmpty());
    QVERIFY(!m_pDialogs->log.contains(QStringLiteral("unexpected open")));
    m_pDialogs->log.clear();
    m_pDialogs->openCalls.clear();
    m_pDialogs->dimensionsShown.clear();
    m_pDialogs->saveCalls.clear();
}

void TestLongSession::memoryReturnsToItsLevel()
{
    // Warm-up: fonts, caches and the allocator's pools reach their working size.
    for (int i = 0; i < 20; ++i) {
        round(i);
        if (QTest::currentTestFailed())
            return;
    }
    malloc_trim(0);
    const qint64 baseline = residentBytes();
    const int descriptors = openDescriptors();
    QVERIFY(baseline > 0);

    for (int i = 20; i < 320; ++i) {
        round(i);
        if (QTest::currentTestFailed())
            return;
    }
    malloc_trim(0);
    const qint64 growth = residentBytes() - baseline;
    qInfo("resident size after 300 rounds: %+lld kB against the level after 20", growth / 1024);
    QCOMPARE(openDescriptors(), descriptors);
#ifdef RAWCOMPARE_ADDRESS_SANITIZER
    qInfo("sanitized build: freed memory stays in quarantine; LeakSanitizer checks at exit");
#else
    // What this hunts is a movie (4.9 MB of samples) or a piece of one kept by mistake: one
    // per round would add 1.5 GB, one every thirty rounds still ten movies. The allocator's and
    // Qt's caches drift by far less than ten movies on any machine.
    const qint64 movieBytes = qint64(width) * height * frames * qint64(sizeof(float));
    QVERIFY2(growth < 10 * movieBytes,
             qPrintable(QStringLiteral("%1 bytes, ten movies are %2")
                                .arg(growth)
                                .arg(10 * movieBytes)));
#endif
}

QTEST_MAIN(TestLongSession)
#include "tst_longsession.moc"
