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
    void initTestCase();
    void init();
    void cleanup();

    void dropping_data();
    void dropping();
    void severalFilesStackInNameOrder();
    void refusedDrops_data();
    void refusedDrops();
    void recentFilesMenu();
    void recentFileLoadsAgainTheSameWay();
    void missingRecentFile();
    void settingsOutliveTheWindow();

private:
    // A 4x2 gray raw file of one frame, every sample `value`.
    QString writeGray(const QString &name, int value, int width = 4, int height = 2);
    std::unique_ptr<MainWidget> makeWindow();
    QMenu *recentMenu() const;
    // The visible entries of File > Recent files, without the separator and "Clear".
    QList<QAction *> recentEntries() const;
    const Image3D *slot(int index) const;

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<QTemporaryDir> m_pSettingsDir;
    std::unique_ptr<MainWidget> m_pWindow;
    ScriptedDialogs *m_pDialogs = nullptr;
};

namespace {

QMimeData *urlData(const QList<QUrl> &urls)
{
    auto *pData = new QMimeData;
    pData->setUrls(urls);
    return pData;
}

QList<QUrl> localUrls(const QStringList &files)
{
    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(file));
    return urls;
}

// Drags data over target with the modifiers held, checks that the drag is accepted or refused
// and what the status bar said during it, then drops it there.
bool dragAndDrop(QWidget *pTarget, const QMimeData *pData, Qt::KeyboardModifiers modifiers,
                 QString *pStatusDuringDrag)
{
    const QPoint at(pTarget->width() / 2, pTarget->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, pData, Qt::LeftButton, modifiers);
    QApplication::sendEvent(pTarget, &enter);
    QDragMoveEvent move(at + QPoint(1, 1), Qt::CopyAction | Qt::MoveAction, pData, Qt::LeftButton,
                        modifiers);
    QApplication::sendEvent(pTarget, &move);
    *pStatusDuringDrag = pTarget->window()->findChild<QStatusBar *>()->currentMessage();
    if (!enter.isAccepted() || !move.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, pData, Qt::LeftButton, modifiers);
    QApplication::sendEvent(pTarget, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

} // namespace

void TestMainWidgetFiles::initTestCase()
{
    // Settings as the program keeps them; the folder is each test's own (init).
    QCoreApplication::setOrganizationName(QStringLiteral("rawcompare-test"));
    QCoreApplication::setApplicationName(QStringLiteral("rawcompare-test"));
}

void TestMainWidgetFiles::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pSettingsDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid() && m_pSettingsDir->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pSettingsDir->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_pSettingsDir->path());
    QVERIFY(QSettings().fileName().startsWith(m_pSettingsDir->path()));
    m_pWindow = makeWindow();
}

void TestMainWidgetFiles::cleanup()
{
    m_pWindow.reset();
    m_pDialogs = nullptr;
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
    const QString path = m_pDir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QByteArray(width * height, char(value))) != width * height)
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QMenu *TestMainWidgetFiles::recentMenu() const
{
    for (QAction *pAction : m_pWindow->menuBar()->actions().value(0)->menu()->actions()) {
        if (pAction->text() == QLatin1String("Recent files"))
            return pAction->menu();
    }
    return nullptr;
}

QList<QAction *> TestMainWidgetFiles::recentEntries() const
{
    QList<QAction *> entries;
    const QList<QAction *> actions = recentMenu()->actions();
    for (QAction *pAction : actions.mid(0, actions.size() - 2)) {
        if (pAction->isVisible())
            entries.append(pAction);
    }
    return entries;
}

const Image3D *TestMainWidgetFiles::slot(int index) const
{
    return index == 0    ? m_pWindow->getMainMovie()
            : index == 1 ? m_pWindow->getReference1()
                         : m_pWindow->getReference2();
}

void TestMainWidgetFiles::dropping_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("onPicture");
    QTest::addColumn<int>("expectedSlot");
    QTest::addColumn<QString>("expectedStatus");

    QTest::newRow("plain: main movie")
            << int(Qt::NoModifier) << false << 0 << "Drop to load as the main movie";
    QTest::newRow("Shift: reference 1")
            << int(Qt::ShiftModifier) << false << 1 << "Drop to load as reference 1";
    QTest::newRow("Ctrl: reference 2")
            << int(Qt::ControlModifier) << false << 2 << "Drop to load as reference 2";
    QTest::newRow("Ctrl+Shift: reference 2") << int(Qt::ControlModifier | Qt::ShiftModifier)
                                             << false << 2 << "Drop to load as reference 2";
    QTest::newRow("on the picture, Shift: reference 1")
            << int(Qt::ShiftModifier) << true << 1 << "Drop to load as reference 1";
}

void TestMainWidgetFiles::dropping()
{
    QFETCH(int, modifiers);
    QFETCH(bool, onPicture);
    QFETCH(int, expectedSlot);
    QFETCH(QString, expectedStatus);

    const QString file = writeGray(QStringLiteral("dropped.gray"), 77);
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false, "gray"});
    QWidget *pTarget = onPicture ? m_pWindow->findChild<SliceWidget *>()->getView()->viewport()
                                 : static_cast<QWidget *>(m_pWindow.get());
    std::unique_ptr<QMimeData> pData(urlData(localUrls({file})));
    // A drag that leaves again leaves the status bar as it was, and loads nothing.
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, pData.get(), Qt::LeftButton,
                          Qt::KeyboardModifiers(modifiers));
    QApplication::sendEvent(pTarget, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), expectedStatus);
    QDragLeaveEvent leave;
    QApplication::sendEvent(pTarget, &leave);
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), QString());

    QString status;
    QVERIFY(dragAndDrop(pTarget, pData.get(), Qt::KeyboardModifiers(modifiers), &status));
    QCOMPARE(status, expectedStatus);
    // The status bar is itself again once the files are dropped.
    QCOMPARE(m_pWindow->statusBar()->currentMessage(), QString());

    // Read after the drop returns, through the dimensions question as from the menu.
    QTRY_VERIFY(slot(expectedSlot));
    QCOMPARE(m_pDialogs->log, QStringList {"dimensions"});
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).title,
             QStringLiteral("Enter frame dimensions: dropped.gray"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(slot(i) != nullptr, i == expectedSlot);
    const Image3D *pMovie = slot(expectedSlot);
    QCOMPARE(pMovie->getName(), QStringLiteral("dropped.gray"));
    QCOMPARE(pMovie->getWidth(), 4);
    QCOMPARE(pMovie->getFrame(0).get()[0], 77.0f);
    QCOMPARE(recentEntries().value(0)->text(),
             QStringList({"main", "reference 1", "reference 2"}).at(expectedSlot)
                     + QStringLiteral(": dropped.gray"));
}

void TestMainWidgetFiles::severalFilesStackInNameOrder()
{
    // Dragged in another order; numbers in names count by value.
    const QStringList files = {writeGray("c.gray", 40), writeGray("b10.gray", 30),
                               writeGray("a.gray", 10), writeGray("b2.gray", 20)};
    // One question, answered for all.
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, true, "gray"});
    std::unique_ptr<QMimeData> pData(urlData(localUrls(files)));
    QString status;
    QVERIFY(dragAndDrop(m_pWindow.get(), pData.get(), Qt::NoModifier, &status));
    QTRY_VERIFY(m_pWindow->getMainMovie());
    QCOMPARE(m_pDialogs->log, QStringList {"dimensions"});
    const Image3D *pMovie = m_pWindow->getMainMovie();
    QCOMPARE(pMovie->getNumFrames(), 4);
    const float firsts[4] = {10, 20, 30, 40};
    for (int f = 0; f < 4; ++f)
        QCOMPARE(pMovie->getFrame(f).get()[0], firsts[f]);
    QCOMPARE(pMovie->getName(), QStringLiteral("a.gray +3"));
    QCOMPARE(recentEntries().value(0)->text(), QStringLiteral("main: a.gray +3"));
}

void TestMainWidgetFiles::refusedDrops_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a web address") << "web";
    QTest::newRow("a local file with a web address") << "mixed";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("text, no addresses") << "text";
}

void TestMainWidgetFiles::refusedDrops()
{
    QFETCH(QString, kind);
    const QString file = writeGray(QStringLiteral("ok.gray"), 5);
    auto pData = std::make_unique<QMimeData>();
    if (kind == QLatin1String("web"))
        pData->setUrls({QUrl(QStringLiteral("https://example.org/clip.yuv"))});
    else if (kind == QLatin1String("mixed"))
        pData->setUrls({QUrl::fromLocalFile(file), QUrl(QStringLiteral("https://example.org/a"))});
    else if (kind == QLatin1String("folder"))
        pData->setUrls({QUrl::fromLocalFile(m_pDir->path())});
    else
        pData->setText(file);

    for (QWidget *pTarget : {static_cast<QWidget *>(m_pWindow.get()),
                             m_pWindow->findChild<SliceWidget *>()->getView()->viewport()}) {
        QString status;
        QVERIFY(!dragAndDrop(pTarget, pData.get(), Qt::ShiftModifier, &status));
        QCOMPARE(status, QString());
        // Dropped anyway (a drag source may insist): nothing happens.
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, pData.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTarget, &drop);
        QVERIFY(!drop.isAccepted());
    }
    QCoreApplication::processEvents();
    QVERIFY(!m_pWindow->getMainMovie() && !m_pWindow->getReference1());
    QCOMPARE(m_pDialogs->log, QStringList());
    QVERIFY(recentEntries().isEmpty());
}

void TestMainWidgetFiles::recentFilesMenu()
{
    QVERIFY(recentEntries().isEmpty());
    QAction *pClear = recentMenu()->actions().last();
    QCOMPARE(pClear->text(), QStringLiteral("Clear"));
    QVERIFY(!pClear->isEnabled());

    // By menu: main, reference 1, then main again with another file, reference 1 again.
    const char *loads[4][2] = {{"Load main movie", "m&m.gray"},
                               {"Load reference movie 1", "r1.gray"},
                               {"Load main movie", "m2.gray"},
                               {"Load reference movie 1", "r1.gray"}};
    for (const auto &load : loads) {
        const QString file = writeGray(QString::fromLatin1(load[1]), 9);
        m_pDialogs->openAnswers.append({true, m_pDir->path(), {file}});
        m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false, "gray"});
        for (QAction *pAction : m_pWindow->menuBar()->actions().value(0)->menu()->actions()) {
            if (pAction->text() == QLatin1String(load[0]))
                pAction->trigger();
        }
    }
    QVERIFY(m_pDialogs->openAnswers.isEmpty());
    QStringList texts;
    for (const QAction *pAction : recentEntries())
        texts << pAction->text();
    // A '&' of a name is doubled, so that the menu shows it.
    QCOMPARE(texts, (QStringList {"reference 1: r1.gray", "main: m2.gray", "main: m&&m.gray"}));
    QCOMPARE(recentEntries().at(2)->toolTip(), m_pDir->filePath("m&m.gray"));
    QVERIFY(pClear->isEnabled());

    pClear->trigger();
    QVERIFY(recentEntries().isEmpty());
    QVERIFY(!pClear->isEnabled());
    // Cleared for the next run too.
    m_pWindow = makeWindow();
    QVERIFY(recentEntries().isEmpty());
}

void TestMainWidgetFiles::recentFileLoadsAgainTheSameWay()
{
    // A 6x4 gray file as the main movie, then a 4x2 one as reference 2.
    const QString first = writeGray(QStringLiteral("six.gray"), 60, 6, 4);
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {first}});
    m_pDialogs->dimensionsAnswers.append({1, "6", "4", false, false, "gray"});
    m_pWindow->onLoadMainMovie();
    const QString second = writeGray(QStringLiteral("four.gray"), 40);
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {second}});
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false, "gray"});
    m_pWindow->onLoadReference2();
    m_pWindow->onClearMainMovie();
    QVERIFY(!m_pWindow->getMainMovie());
    m_pDialogs->log.clear();

    // Loaded again as the main movie, at 6x4, without a question.
    QCOMPARE(recentEntries().at(1)->text(), QStringLiteral("main: six.gray"));
    recentEntries().at(1)->trigger();
    QCOMPARE(m_pDialogs->log, QStringList());
    QVERIFY(m_pWindow->getMainMovie());
    QCOMPARE(m_pWindow->getMainMovie()->getWidth(), 6);
    QCOMPARE(m_pWindow->getMainMovie()->getHeight(), 4);
    QCOMPARE(m_pWindow->getMainMovie()->getFrame(0).get()[0], 60.0f);
    QCOMPARE(m_pWindow->getReference2()->getWidth(), 4);
    // And on top of the list now.
    QCOMPARE(recentEntries().at(0)->text(), QStringLiteral("main: six.gray"));
    QCOMPARE(recentEntries().size(), 2);
}

void TestMainWidgetFiles::missingRecentFile()
{
    const QString file = writeGray(QStringLiteral("gone.gray"), 1);
    const QString kept = writeGray(QStringLiteral("kept.gray"), 2);
    for (const QString &name : {file, kept}) {
        m_pDialogs->openAnswers.append({true, m_pDir->path(), {name}});
        m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false, "gray"});
        m_pWindow->onLoadReference1();
    }
    QVERIFY(QFile::remove(file));
    m_pDialogs->log.clear();

    QCOMPARE(recentEntries().at(1)->text(), QStringLiteral("reference 1: gone.gray"));
    recentEntries().at(1)->trigger();
    // The loader's own message, and the entry goes (from the next run's list too).
    QCOMPARE(m_pDialogs->log, QStringList {"warning"});
    QVERIFY(m_pDialogs->warnings.first().text.startsWith(
            QStringLiteral("Loading not successful:\n")));
    QCOMPARE(m_pWindow->getReference1()->getName(), QStringLiteral("kept.gray"));
    QCOMPARE(recentEntries().size(), 1);
    QCOMPARE(recentEntries().at(0)->text(), QStringLiteral("reference 1: kept.gray"));
    m_pWindow = makeWindow();
    QCOMPARE(recentEntries().size(), 1);
}

void TestMainWidgetFiles::settingsOutliveTheWindow()
{
    // No stored geometry: the first main movie sizes the window (at 100 %).
    const QString file = writeGray(QStringLiteral("first.gray"), 50, 6, 4);
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {file}});
    m_pDialogs->dimensionsAnswers.append({1, "6", "4", false, false, "gray"});
    m_pWindow->onLoadMainMovie();
    QVERIFY(m_pWindow->getMainMovie());
    const QSize fitted = m_pWindow->size();
    QCOMPARE(m_pWindow->findChild<SliceWidget *>()->getView()->getZoom(), 1.0);

    // The metrics dock shown, and the window wider.
    m_pWindow->getMetricsDock()->toggleViewAction()->trigger();
    QVERIFY(m_pWindow->getMetricsDock()->isVisible());
    m_pWindow->resize(fitted + QSize(123, 45));
    const QSize chosen = m_pWindow->size();
    QVERIFY(chosen != fitted);
    m_pDialogs->questionAnswers.append(QMessageBox::Yes);
    QVERIFY(m_pWindow->close());

    // The next run: the same size, list, folder and dimensions answers.
    m_pWindow = makeWindow();
    QCOMPARE(m_pWindow->size(), chosen);
    QVERIFY(m_pWindow->getMetricsDock()->isVisible());
    QCOMPARE(recentEntries().size(), 1);
    QCOMPARE(recentEntries().at(0)->text(), QStringLiteral("main: first.gray"));
    const QString other = writeGray(QStringLiteral("other.gray"), 50, 6, 4);
    m_pDialogs->openAnswers.append({true, QDir::tempPath(), {other}});
    m_pDialogs->dimensionsAnswers.append({1, "6", "4", false, false, "gray"});
    m_pWindow->onLoadMainMovie();
    QCOMPARE(m_pDialogs->openCalls.value(0).directory, m_pDir->path());
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).width, QStringLiteral("6"));
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).height, QStringLiteral("4"));
    QCOMPARE(m_pDialogs->dimensionsShown.value(0).format, QStringLiteral("gray"));
    // A stored geometry is kept when the first movie comes.
    QVERIFY(m_pWindow->getMainMovie());
    QCOMPARE(m_pWindow->size(), chosen);

    // The folder the file dialog ended in is the next run's.
    m_pWindow = makeWindow();
    m_pDialogs->openAnswers.append({false, QString(), {}});
    m_pWindow->onLoadMainMovie();
    QCOMPARE(m_pDialogs->openCalls.value(0).directory, QDir::tempPath());
}

QTEST_MAIN(TestMainWidgetFiles)
#include "tst_mainwidgetfiles.moc"
