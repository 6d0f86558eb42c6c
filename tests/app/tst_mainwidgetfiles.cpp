#include <memory>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "image3d.h"
#include "mainwidget.h"
#include "session.h"
#include "metricsdock.h"
#include "scripteddialogs.h"
#include "slicewidget.h"
#include "sliceview.h"

// Files dropped on the window, File > Recent files, and what the window keeps in its settings
// from one run to the next. Every test has a settings folder of its own.
class TestMainWidgetFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dropping_data();
    void dropping();
    void refusedDrops_data();
    void refusedDrops();
    void recentFiles();
    void settingsOutliveTheWindow();

private:
    // A width x height gray raw file of one frame, every sample `value`.
    QString writeGray(const QString &name, int value, int width = 4, int height = 2);
    // Loads a new such file into slot 0, 1 or 2 through File > Load.
    void loadByMenu(int slot, const QString &name, int width = 4, int height = 2);
    std::unique_ptr<MainWidget> makeWindow();
    // The visible entries of File > Recent files, and its "Clear" last.
    QList<QAction *> recentEntries() const;
    QAction *clearEntry() const { return recentMenu()->actions().last(); }
    QMenu *recentMenu() const { return m_pWindow->findChild<QMenu *>("recentFiles"); }
    QStringList recentTexts() const;
    const Image3D *slot(int index) const;

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<QTemporaryDir> m_pSettingsDir;
    std::unique_ptr<MainWidget> m_pWindow;
    ScriptedDialogs *m_pDialogs = nullptr;
};

void TestMainWidgetFiles::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pSettingsDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid() && m_pSettingsDir->isValid());
    // Settings as the program keeps them, in this test's own folder.
    QCoreApplication::setOrganizationName(QStringLiteral("rawcompare-test"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pSettingsDir->path());
    QVERIFY(QSettings().fileName().startsWith(m_pSettingsDir->path()));
    m_pWindow = makeWindow();
}

void TestMainWidgetFiles::cleanup()
{
    m_pWindow.reset();
    m_pDir.reset();
    m_pSettingsDir.reset();
}

std::unique_ptr<MainWidget> TestMainWidgetFiles::makeWindow()
{
    auto pWindow = std::make_unique<MainWidget>();
    auto pDialogs = std::make_unique<ScriptedDialogs>();
    m_pDialogs = pDialogs.get();
    pWindow->setDialogProvider(std::move(pDialogs));
    return pWindow;
}

QString TestMainWidgetFiles::writeGray(const QString &name, int value, int width, int height)
{
    QFile file(m_pDir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(width * height, char(value))) < 0)
        qWarning("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void TestMainWidgetFiles::loadByMenu(int slot, const QString &name, int width, int height)
{
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {writeGray(name, 9, width, height)}});
    m_pDialogs->dimensionsAnswers.append(
            {1, QString::number(width), QString::number(height), false, false, "gray"});
    const char *entries[3] = {"onLoadMainMovie", "onLoadReference1", "onLoadReference2"};
    QVERIFY(QMetaObject::invokeMethod(m_pWindow.get(), entries[slot]));
}

QList<QAction *> TestMainWidgetFiles::recentEntries() const
{
    QList<QAction *> entries = recentMenu()->actions();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](QAction *pAction) {
                                     return !pAction->isVisible() || pAction->isSeparator()
                                             || pAction->text() == QLatin1String("Clear");
                                 }),
                  entries.end());
    return entries;
}

QStringList TestMainWidgetFiles::recentTexts() const
{
    QStringList texts;
    for (const QAction *pAction : recentEntries())
        texts << pAction->text();
    return texts;
}

const Image3D *TestMainWidgetFiles::slot(int index) const
{
    const Image3D *movies[3] = {m_pWindow->getSession().getMovie(Session::Main),
                                m_pWindow->getSession().getMovie(Session::Reference1),
                                m_pWindow->getSession().getMovie(Session::Reference2)};
    return movies[index];
}

void TestMainWidgetFiles::dropping_data()
{
    QTest::addColumn<QStringList>("files"); // "name=value"
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("onPicture");
    QTest::addColumn<int>("expectedSlot");
    QTest::addColumn<QString>("expectedStatus");
    QTest::addColumn<QString>("expectedName");

    const QStringList one = {"clip.gray=77"};
    QTest::newRow("plain: main movie")
            << one << int(Qt::NoModifier) << false << 0 << "Drop to load as the main movie"
            << "clip.gray";
    QTest::newRow("Shift: reference 1")
            << one << int(Qt::ShiftModifier) << false << 1 << "Drop to load as reference 1"
            << "clip.gray";
    QTest::newRow("Ctrl: reference 2")
            << one << int(Qt::ControlModifier) << false << 2 << "Drop to load as reference 2"
            << "clip.gray";
    QTest::newRow("on the picture, Shift: reference 1")
            << one << int(Qt::ShiftModifier) << true << 1 << "Drop to load as reference 1"
            << "clip.gray";
    // Numbers in names count by value.
    QTest::newRow("several stack in name order")
            << QStringList {"c.gray=40", "b10.gray=30", "a.gray=10", "b2.gray=20"}
            << int(Qt::NoModifier) << true << 0 << "Drop to load as the main movie"
            << "a.gray +3";
}

void TestMainWidgetFiles::dropping()
{
    QFETCH(QStringList, files);
    QFETCH(int, modifiers);
    QFETCH(bool, onPicture);
    QFETCH(int, expectedSlot);
    QFETCH(QString, expectedStatus);
    QFETCH(QString, expectedName);

    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(
                writeGray(file.section('=', 0, 0), file.section('=', 1).toInt()));
    QMimeData data;
    data.setUrls(urls);
    QWidget *pTarget = onPicture ? m_pWindow->findChild<SliceWidget *>()->getView()->viewport()
                                 : static_cast<QWidget *>(m_pWindow.get());
    const Qt::KeyboardModifiers keys(modifiers);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    // Dragged in and out again: the status bar says what a drop would do, then is as before.
    QDragEnterEvent enter(QPoint(5, 5), actions, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(pTarget, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), expectedStatus);
    QDragLeaveEvent leave;
    QApplication::sendEvent(pTarget, &leave);
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), QString());

    QApplication::sendEvent(pTarget, &enter);
    QDragMoveEvent move(QPoint(6, 6), actions, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(pTarget, &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), expectedStatus);
    QDropEvent drop(QPointF(6, 6), actions, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(pTarget, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), QString());

    // Read once the drop has returned, with the question File > Load asks (answered for all).
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, true, "gray"});
    QTRY_VERIFY(slot(expectedSlot));
    QCOMPARE(m_pDialogs->log, QStringList {"dimensions"});
    for (int i = 0; i < 3; ++i)
        QCOMPARE(slot(i) != nullptr, i == expectedSlot);
    const Image3D *pMovie = slot(expectedSlot);
    QCOMPARE(pMovie->getName(), expectedName);
    QCOMPARE(pMovie->getNumFrames(), int(files.size()));
    QStringList sorted = files;
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.section('=', 1).toInt() < b.section('=', 1).toInt();
    });
    for (int f = 0; f < files.size(); ++f)
        QCOMPARE(pMovie->getFrame(f).get()[0], sorted.at(f).section('=', 1).toFloat());
    const char *slotNames[3] = {"main", "reference 1", "reference 2"};
    QCOMPARE(recentTexts(),
             QStringList {slotNames[expectedSlot] + QStringLiteral(": ") + expectedName});
}

void TestMainWidgetFiles::refusedDrops_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    const QUrl web(QStringLiteral("https://example.org/clip.yuv"));
    QTest::newRow("a web address") << QList<QUrl> {web};
    QTest::newRow("a local file with a web address")
            << QList<QUrl> {QUrl::fromLocalFile(QDir::tempPath() + "/a.yuv"), web};
    QTest::newRow("a folder") << QList<QUrl> {QUrl::fromLocalFile(QDir::tempPath())};
    QTest::newRow("text, no addresses") << QList<QUrl>();
}

void TestMainWidgetFiles::refusedDrops()
{
    QFETCH(QList<QUrl>, urls);
    QMimeData data;
    data.setUrls(urls);
    data.setText(QDir::tempPath());
    QWidget *pView = m_pWindow->findChild<SliceWidget *>()->getView()->viewport();
    for (QWidget *pTarget : {static_cast<QWidget *>(m_pWindow.get()), pView}) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTarget, &enter);
        QVERIFY(!enter.isAccepted());
        QCOMPARE(m_pWindow->statusBar()->currentMessage(), QString());
        // Dropped anyway: nothing happens.
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTarget, &drop);
        QVERIFY(!drop.isAccepted());
    }
    QCoreApplication::processEvents();
    QVERIFY(!slot(0) && !slot(1) && !slot(2));
    QCOMPARE(m_pDialogs->log, QStringList());
}

void TestMainWidgetFiles::recentFiles()
{
    QVERIFY(recentEntries().isEmpty());
    QVERIFY(!clearEntry()->isEnabled());
    loadByMenu(0, "m&m.gray", 6, 4);
    loadByMenu(1, "gone.gray");
    loadByMenu(1, "r1.gray");
    loadByMenu(2, "r1.gray");
    // The most recent first; a '&' of a name doubled, so that the menu shows it.
    QCOMPARE(recentTexts(),
             (QStringList {"reference 2: r1.gray", "reference 1: r1.gray", "reference 1: gone.gray",
                           "main: m&&m.gray"}));
    QCOMPARE(recentEntries().at(3)->toolTip(), m_pDir->filePath("m&m.gray"));
    QVERIFY(clearEntry()->isEnabled());

    // A file that is gone: the loader's message, and the entry leaves the list.
    QVERIFY(QFile::remove(m_pDir->filePath("gone.gray")));
    m_pDialogs->log.clear();
    recentEntries().at(2)->trigger();
    QCOMPARE(m_pDialogs->log, QStringList {"warning"});
    QVERIFY(m_pDialogs->warnings.first().text.startsWith("Loading not successful:\n"));
    QCOMPARE(slot(1)->getName(), QStringLiteral("r1.gray"));
    QCOMPARE(recentTexts().size(), 3);

    // Read again into its slot at its 6x4, without a question, and on top now.
    m_pWindow->onClearMainMovie();
    m_pDialogs->log.clear();
    recentEntries().at(2)->trigger();
    QCOMPARE(m_pDialogs->log, QStringList());
    QCOMPARE(slot(0)->getName(), QStringLiteral("m&m.gray"));
    QCOMPARE(slot(0)->getWidth(), 6);
    QCOMPARE(slot(0)->getHeight(), 4);
    QCOMPARE(recentTexts(),
             (QStringList {"main: m&&m.gray", "reference 2: r1.gray", "reference 1: r1.gray"}));

    clearEntry()->trigger();
    QVERIFY(recentEntries().isEmpty());
    QVERIFY(!clearEntry()->isEnabled());
}

void TestMainWidgetFiles::settingsOutliveTheWindow()
{
    // Nothing stored: the first main movie sizes the window (at 100 %).
    loadByMenu(0, "first.gray", 6, 4);
    loadByMenu(1, "ref.gray");
    const QSize fitted = m_pWindow->size();
    QCOMPARE(m_pWindow->findChild<SliceWidget *>()->getView()->getZoom(), 1.0);
    m_pWindow->findChild<MetricsDock *>()->toggleViewAction()->trigger();
    m_pWindow->resize(fitted + QSize(123, 45));
    const QSize chosen = m_pWindow->size();
    QVERIFY(chosen != fitted);
    m_pDialogs->integerAnswers.append(321);
    for (QAction *pAction : m_pWindow->menuBar()->actions().at(1)->menu()->actions()) {
        if (pAction->text() == QStringLiteral("Frame cache size…"))
            pAction->trigger();
    }
    QCOMPARE(m_pWindow->getSession().getFrameCacheBudget(), qint64(321) << 20);
    m_pDialogs->questionAnswers.append(QMessageBox::Yes);
    QVERIFY(m_pWindow->close());

    // The next run: the same size, dock, list, folder and dimensions answers.
    m_pWindow = makeWindow();
    QCOMPARE(m_pWindow->size(), chosen);
    QVERIFY(m_pWindow->findChild<MetricsDock *>()->isVisible());
    QCOMPARE(m_pWindow->getSession().getFrameCacheBudget(), qint64(321) << 20);
    QCOMPARE(recentTexts(), (QStringList {"reference 1: ref.gray", "main: first.gray"}));
    m_pDialogs->openAnswers.append({true, QDir::tempPath(), {writeGray("other.gray", 1, 4, 2)}});
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false, "gray"});
    m_pWindow->onLoadMainMovie();
    QCOMPARE(m_pDialogs->openCalls.value(0).directory, m_pDir->path());
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).width, QStringLiteral("4"));
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).height, QStringLiteral("2"));
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).format, QStringLiteral("gray"));
    // A stored size stays when the first movie comes.
    QVERIFY(slot(0));
    QCOMPARE(m_pWindow->size(), chosen);

    // The folder the file dialog ended in is the next run's, without a close.
    m_pWindow = makeWindow();
    m_pDialogs->openAnswers.append({false, QString(), {}});
    m_pWindow->onLoadMainMovie();
    QCOMPARE(m_pDialogs->openCalls.value(0).directory, QDir::tempPath());
    QCOMPARE(recentTexts().size(), 3);
}

QTEST_MAIN(TestMainWidgetFiles)
#include "tst_mainwidgetfiles.moc"
