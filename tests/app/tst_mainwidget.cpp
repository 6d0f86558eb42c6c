#include <array>
#include <cmath>
#include <memory>

#include <QActionGroup>
#include <QCheckBox>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "commandline.h"
#include "image3d.h"
#include "imagenodetestaccess.h"
#include "mainwidget.h"
#include "session.h"
#include "metricsdock.h"
#include "playback.h"
#include "scalewidget.h"
#include "scripteddialogs.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

namespace {

const char *const viewTexts[5] = {"Main movie", "Reference movie 1", "Reference movie 2",
                                  "Difference: main-ref1", "Difference: main-ref2"};
const char *const editorTitles[5]
        = {"Main", "Reference 1", "Reference 2", "Difference 1", "Difference 2"};

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *pAction : actions)
        texts.append(pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return texts;
}

// Read on demand, width x 2, a frame per word: 0 but pixel (1, 1), the word; column 2, if any,
// 99. Each read counts in reads. No words: no movie.
std::unique_ptr<Image3D> onDemandMovie(int width, const QString &values, int &reads)
{
    if (values.isEmpty())
        return nullptr;
    const QStringList words = values.split(QLatin1Char(' '));
    auto pMovie = std::make_unique<Image3D>();
    pMovie->setFrameSource(
            width, 2, int(words.size()),
            [=, &reads](int f, float *pSamples, std::string &) {
                for (int i = 0; i < 2 * width; ++i)
                    pSamples[i] = i == width + 1 ? words.at(f).toFloat() : i % width > 1 ? 99 : 0;
                return ++reads > 0;
            },
            1 << 20);
    return pMovie;
}

// 30 frames of 32x24 of a pattern moving over time, frame f at the pattern's moment f + shift,
// with noise of up to +-6 from `seed`; patternless: noise only.
std::unique_ptr<Image3D> movingMovie(int shift, quint32 seed, bool patternless)
{
    auto pMovie = std::make_unique<Image3D>(32, 24, 30);
    QRandomGenerator random(seed);
    float *pSample = pMovie->getData();
    for (int f = 0; f < 30; ++f) {
        for (int i = 0; i < 32 * 24; ++i) {
            const double t = f + shift;
            const double pattern = patternless ? random.bounded(256)
                                               : 128
                            + 90 * std::sin(0.3 * (i % 32) + 0.37 * t)
                                    * std::cos(0.2 * (i / 32) - 0.23 * t);
            *pSample++ = float(std::clamp(int(pattern) + random.bounded(13) - 6, 0, 255));
        }
    }
    return pMovie;
}

} // namespace

class TestMainWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void metricsDockFollowsTheMovies();

    void deepMoviesWidenStartingRanges();
    void savingLayouts_data();
    void savingLayouts();

    void menusAndToolbar();
    void editorsLabelAndLayout();
    void viewSwitching_data();
    void viewSwitching();
    void unknownViewActionWarns();
    void positionLabel_data();
    void positionLabel();
    void loadingShowsTheMovieAndKeepsRanges();
    void failedLoadChangesNothing();
    void loadingAReferenceKeepsTheOthers();
    void slicesCountedOverAllMovies();
    void clearing_data();
    void clearing();
    void autoScale_data();
    void autoScale();
    void secondAutoScalePressEmitsNothing();
    void cancelledWorkChangesNothing_data();
    void cancelledWorkChangesNothing();
    void fileShrinkingWhileShownIsToldOnce();
    void renderFailureWarnsAfterTheRedraw();
    void rangesReachOnlyTheirOwnView();
    void computeRangeInMemory_data();
    void computeRangeInMemory();
    void differenceRangeMatchesPlainScan_data();
    void differenceRangeMatchesPlainScan();
    void saving_data();
    void saving();
    void saveNothing_data();
    void saveNothing();
    void quitQuestion_data();
    void quitQuestion();
    void commandLine_data();
    void commandLine();
    void planeAFileLacksIsNotedInTheStatusBar();
    void statusBar_data();
    void statusBar();
    void frameKeysWhereTheFocusIs_data();
    void frameKeysWhereTheFocusIs();
    void enterAppliesTheRangeAndReturnsToThePicture();
    void windowKeys_data();
    void windowKeys();
    void windowFitsTheFirstMainMovie_data();
    void windowFitsTheFirstMainMovie();
    void zoomKeys_data();
    void zoomKeys();
    void frameCacheSharedByTheMovies();
    void referenceOffsets_data();
    void referenceOffsets();
    void referenceOffsetsFromTheCommandLine();
    void referenceFileOptionsFromTheCommandLine_data();
    void referenceFileOptionsFromTheCommandLine();
    void spacePlaysAndPauses_data();
    void spacePlaysAndPauses();
    void playbackShowsEveryFrameInOrderAndLoops();
    void frameRateSetsTheInterval_data();
    void frameRateSetsTheInterval();
    void y4mRateBecomesThePlaybackRate();
    void playbackSurvivesSteppingLoadingAndClearing();
    void autoScaleOptions_data();
    void autoScaleOptions();
    void differenceJumps_data();
    void differenceJumps();
    void findOffsetButton_data();
    void findOffsetButton();

private:
    QString path(const QString &name) const { return m_pDir->filePath(name); }
    // A gray raw file of width x height x frames samples, all `value`, except the samples listed
    // as "index:value" in overrides (indices in sample order, row 0 at the bottom).
    QString writeMovie(const QString &description);
    // Loads a movie described as "WxHxF=v[,i:v...]" or "png:v" (a 1x1 still image) through
    // the File menu entry given.
    void load(const QString &entry, const QString &description);
    QAction *fileAction(const QString &text) const;
    ScaleWidget *editor(int view) const;
    QLabel *label() const;
    SliceWidget *sliceWidget() const { return m_pWindow->findChild<SliceWidget *>(); }
    const Image3D *movie(int slot) const { return m_pWindow->getSession().getMovie(slot); }
    QDoubleSpinBox *frameRateBox() const
    {
        return m_pWindow->findChild<QDoubleSpinBox *>(QStringLiteral("frameRate"));
    }
    QString statusText(const char *name) const
    {
        const auto *pLabel = m_pWindow->statusBar()->findChild<QLabel *>(QString::fromUtf8(name));
        return pLabel ? pLabel->text() : QStringLiteral("(no label %1)").arg(name);
    }
    // Moves the mouse over pixel (x, row) of the slice image, row 0 at the bottom.
    void hover(int x, int row) const
    {
        SliceView *pView = sliceWidget()->getView();
        const QPointF at = pView->mapFromScene(QPointF(x + 0.5, -row - 0.5));
        QMouseEvent move(QEvent::MouseMove, at, pView->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pView->viewport(), &move);
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MainWidget> m_pWindow;
    ScriptedDialogs *m_pDialogs = nullptr;
    int m_fileCount = 0;
};

void TestMainWidget::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    m_pWindow = std::make_unique<MainWidget>();
    auto pDialogs = std::make_unique<ScriptedDialogs>();
    m_pDialogs = pDialogs.get();
    m_pWindow->setDialogProvider(std::move(pDialogs));
}

void TestMainWidget::deepMoviesWidenStartingRanges()
{
    // A 2x2 gray10le main movie of one frame, a 2x2 gray12le reference 2.
    const QString main = m_pDir->filePath("main.raw");
    const QString reference = m_pDir->filePath("ref.raw");
    for (const QString &name : {main, reference}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8, '\x01'));
    }
    editor(ViewType::Ref2)->setValues(1, 2); // set by the user: left alone
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "2x2", "--pix-fmt", "gray10le", main}),
             CommandLine::Action::Run);
    QVERIFY(m_pWindow->openFromCommandLine(commandLine).isEmpty());
    QCOMPARE(movie(Session::Main)->getDepth(), 10);
    auto rangeOf = [this](int view) {
        return QStringLiteral("%1 %2")
                .arg(editor(view)->findChild<QDoubleSpinBox *>("minimum")->value())
                .arg(editor(view)->findChild<QDoubleSpinBox *>("maximum")->value());
    };
    QCOMPARE(rangeOf(ViewType::Main), QStringLiteral("0 1023"));
    QCOMPARE(rangeOf(ViewType::Ref1), QStringLiteral("0 255"));
    QCOMPARE(rangeOf(ViewType::Diff1), QStringLiteral("-512 512"));
    QCOMPARE(rangeOf(ViewType::Diff2), QStringLiteral("-512 512"));

    // A deeper reference widens its difference again only while that is at its start.
    editor(ViewType::Diff1)->setValues(-3, 3);
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "2x2", "--pix-fmt", "gray12le", "--ref1",
                                reference, "--ref2", reference}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QCOMPARE(rangeOf(ViewType::Ref1), QStringLiteral("0 4095"));
    QCOMPARE(rangeOf(ViewType::Ref2), QStringLiteral("1 2"));
    QCOMPARE(rangeOf(ViewType::Diff1), QStringLiteral("-3 3"));
    QCOMPARE(rangeOf(ViewType::Diff2), QStringLiteral("-512 512"));
    QCOMPARE(rangeOf(ViewType::Main), QStringLiteral("0 1023"));
}

void TestMainWidget::savingLayouts_data()
{
    QTest::addColumn<QString>("format"); // of the main movie, 2x2, samples 300 1 / 2 3
    QTest::addColumn<int>("filter"); // the save dialog's entry chosen
    QTest::addColumn<QString>("question"); // "" when none; "cancel": answered Cancel
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray y4m8 = "YUV4MPEG2 W2 H2 F25:1 Ip A1:1 C420jpeg XYSCSS=420JPEG\nFRAME\n";
    QTest::newRow("8-bit with a sample above 255: warned, then clipped")
            << "gray10le" << 0 << "save" << QByteArray("\xff\x01\x02\x03\x80\x80", 6);
    QTest::newRow("8-bit, warning cancelled: nothing written")
            << "gray10le" << 0 << "cancel" << QByteArray();
    QTest::newRow("yuv420p16le: no clipping, chroma 32768")
            << "gray10le" << 1 << ""
            << QByteArray("\x2c\x01\x01\x00\x02\x00\x03\x00\x00\x80\x00\x80", 12);
    QTest::newRow("y4m of a 10-bit movie: 10 bits, chroma 512")
            << "gray10le" << 2 << ""
            << QByteArray("YUV4MPEG2 W2 H2 F25:1 Ip A1:1 C420p10 XYSCSS=420P10\nFRAME\n")
                    + QByteArray("\x2c\x01\x01\x00\x02\x00\x03\x00\x00\x02\x00\x02", 12);
    QTest::newRow("y4m of an 8-bit movie")
            << "gray" << 2 << "" << y4m8 + QByteArray("\x2c\x01\x02\x03\x80\x80", 6);
}

void TestMainWidget::savingLayouts()
{
    QFETCH(QString, format);
    QFETCH(int, filter);
    QFETCH(QString, question);
    QFETCH(QByteArray, bytes);
    const QString source = m_pDir->filePath("deep.raw");
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // File rows top-down: 300 1 / 2 3 (as 16-bit, or the 8-bit bytes 0x2c ...).
    file.write(format == "gray" ? QByteArray("\x2c\x01\x02\x03", 4)
                                : QByteArray("\x2c\x01\x01\x00\x02\x00\x03\x00", 8));
    file.close();
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "2x2", "--pix-fmt", format, source}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QVERIFY(movie(Session::Main));

    const QString target = m_pDir->filePath("saved");
    m_pDialogs->saveAnswers = {target};
    if (!question.isEmpty())
        m_pDialogs->questionAnswers
                = {question == "cancel" ? QMessageBox::Cancel : QMessageBox::Save};
    // The filters offered, the chosen one by its place.
    const QStringList filters = {"YUV files (*.yuv)", "16-bit YUV 4:2:0 files, yuv420p16le (*.yuv)",
                                 "Y4M files (*.y4m)"};
    m_pDialogs->saveFilterAnswers = {filters.at(filter)};
    fileAction(QStringLiteral("Save main movie"))->trigger();
    QCOMPARE(m_pDialogs->saveCalls.first().filter, filters.join(";;"));
    QCOMPARE(m_pDialogs->questions.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(m_pDialogs->questions.first().text,
                 QStringLiteral("The main movie has samples above 255, which the 8-bit file will "
                                "hold as 255.\nSave it clipped?"));
    }
    QVERIFY(m_pDialogs->warnings.isEmpty());
    QFile saved(target);
    if (bytes.isEmpty()) {
        QVERIFY(!saved.exists());
    } else {
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), bytes);
    }
}

void TestMainWidget::cleanup()
{
    m_pWindow.reset();
    m_pDialogs = nullptr;
    m_pDir.reset();
}

QString TestMainWidget::writeMovie(const QString &description)
{
    const QString name = path(QStringLiteral("movie%1.raw").arg(++m_fileCount));
    const QStringList parts = description.split(QLatin1Char(','));
    const QStringList dims = parts.first().section(QLatin1Char('='), 0, 0).split(QLatin1Char('x'));
    const int width = dims.value(0).toInt();
    const int height = dims.value(1).toInt();
    const int frames = dims.value(2).toInt();
    const int value = parts.first().section(QLatin1Char('='), 1).toInt();
    QByteArray bytes(qsizetype(width) * height * frames, char(value));
    for (int i = 1; i < parts.size(); ++i) {
        const int index = parts.at(i).section(QLatin1Char(':'), 0, 0).toInt();
        const int x = index % width;
        const int y = (index / width) % height;
        const int f = index / (width * height);
        // Files hold the top row first.
        bytes[qsizetype(f) * width * height + qsizetype(height - 1 - y) * width + x]
                = char(parts.at(i).section(QLatin1Char(':'), 1).toInt());
    }
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("cannot write %s", qPrintable(name));
    return name;
}

void TestMainWidget::metricsDockFollowsTheMovies()
{
    // 16x16 gray movies: a main movie of 3 frames, a reference of 3, a long one of 400.
    auto write = [this](const QString &name, int frames, int value) {
        QFile file(m_pDir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int f = 0; f < frames; ++f)
            file.write(QByteArray(256, char((value + 7 * f) % 256)));
    };
    write("main.gray", 3, 10);
    write("ref.gray", 3, 12);
    write("long.gray", 400, 11);
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "16x16", "--gray",
                                m_pDir->filePath("main.gray"), "--ref1",
                                m_pDir->filePath("ref.gray")}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);

    MetricsDock *pDock = m_pWindow->findChild<MetricsDock *>();
    QVERIFY(!pDock->isVisible());
    const QAbstractItemModel *pTable = pDock->findChild<QTableView *>()->model();
    QCOMPARE(pTable->rowCount(), 0); // hidden: nothing computed
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(6)->trigger();
    QVERIFY(pDock->isVisible());
    QTRY_VERIFY(pDock->findChild<QProgressBar *>()->isHidden());
    QCOMPARE(pTable->rowCount(), 3);
    QCOMPARE(pTable->index(0, 2).data().toDouble(), 4.0); // MSE 2^2

    // A frame chosen in the dock is shown.
    emit pDock->frameChosen(2);
    QCOMPARE(sliceWidget()->getSlider()->value(), 2);

    // Replaced while computing: the run stops before the old movie goes, then starts again.
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "16x16", "--gray", "--ref1",
                                m_pDir->filePath("long.gray")}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    fileAction(QStringLiteral("Clear reference movie 1"))->trigger();
    QVERIFY(pDock->findChild<QProgressBar *>()->isHidden());
    QCOMPARE(pTable->rowCount(), 0);
    QVERIFY(pDock->findChild<QLabel *>(QStringLiteral("metricsSummary"))
                    ->text()
                    .startsWith(QStringLiteral("Load a main movie")));
}

void TestMainWidget::load(const QString &entry, const QString &description)
{
    if (description.startsWith(QLatin1String("png:"))) {
        const int v = description.mid(4).toInt();
        QImage image(1, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(v, v, v));
        const QString name = path(QStringLiteral("image%1.png").arg(++m_fileCount));
        QVERIFY(image.save(name, "PNG"));
        m_pDialogs->openAnswers.append({true, m_pDir->path(), {name}});
    } else {
        const QString name = writeMovie(description);
        const QStringList dims
                = description.section(QLatin1Char('='), 0, 0).split(QLatin1Char('x'));
        m_pDialogs->openAnswers.append({true, m_pDir->path(), {name}});
        m_pDialogs->dimensionsAnswers.append({1, dims.value(0), dims.value(1), false, false});
    }
    fileAction(entry)->trigger();
    QVERIFY(m_pDialogs->openAnswers.isEmpty());
    QVERIFY(m_pDialogs->dimensionsAnswers.isEmpty());
    QVERIFY2(m_pDialogs->warnings.isEmpty(), qPrintable(m_pDialogs->warnings.value(0).text));
}

QAction *TestMainWidget::fileAction(const QString &text) const
{
    QMenu *pMenu = m_pWindow->menuBar()->actions().value(0)->menu();
    for (QAction *pAction : pMenu->actions()) {
        if (pAction->text() == text)
            return pAction;
    }
    qFatal("no File entry %s", qPrintable(text));
}

ScaleWidget *TestMainWidget::editor(int view) const
{
    QWidget *pColumn = m_pWindow->centralWidget()->layout()->itemAt(1)->widget();
    return qobject_cast<ScaleWidget *>(pColumn->layout()->itemAt(view)->widget());
}

QLabel *TestMainWidget::label() const
{
    QWidget *pColumn = m_pWindow->centralWidget()->layout()->itemAt(1)->widget();
    return qobject_cast<QLabel *>(pColumn->layout()->itemAt(5)->widget());
}

void TestMainWidget::menusAndToolbar()
{
    const QList<QAction *> menus = m_pWindow->menuBar()->actions();
    // Alt+F and Alt+V open them.
    QCOMPARE(actionTexts(menus), (QStringList {"&File", "&View"}));

    const QList<QAction *> fileEntries = menus.at(0)->menu()->actions();
    QCOMPARE(actionTexts(fileEntries),
             (QStringList {"Load main movie", "Load reference movie 1", "Load reference movie 2",
                           "Recent files", "-", "Clear main movie", "Clear reference movie 1",
                           "Clear reference movie 2", "-", "Save main movie",
                           QString::fromUtf8("Export view as PNG\u2026"),
                           QString::fromUtf8("Export layout as PNG\u2026"),
                           QString::fromUtf8("Write report\u2026"), "-", "Quit"}));
    for (const QAction *pAction : fileEntries) {
        QVERIFY(!pAction->isCheckable());
        // Exporting waits for a picture to be shown.
        QCOMPARE(pAction->isEnabled(), !pAction->text().startsWith(QLatin1String("Export")));
        QCOMPARE(pAction->shortcut(),
                 pAction->text() == "Quit" ? QKeySequence(QStringLiteral("Ctrl+Q"))
                                           : QKeySequence());
    }

    const QList<QToolBar *> toolBars = m_pWindow->findChildren<QToolBar *>();
    QCOMPARE(toolBars.size(), 1);
    QCOMPARE(toolBars.first()->windowTitle(), QStringLiteral("View"));
    QCOMPARE(m_pWindow->toolBarArea(toolBars.first()), Qt::TopToolBarArea);

    // The five views, then the entries that show or hide the metrics dock (hidden at first), the
    // region panel and the histogram dock, the frame cache size and the colour choices, then the
    // zoom entries.
    QList<QAction *> viewEntries = menus.at(1)->menu()->actions();
    QCOMPARE(actionTexts(viewEntries.mid(5)),
             (QStringList {"-", "Metrics", "Region", "Histogram", "Frame cache size…", "Colour",
                           "Layout", "-", "Fit to window", "Actual size (100 %)", "Zoom in",
                           "Zoom out", "-", "Next difference", "Previous difference"}));
    QVERIFY(viewEntries.at(6)->isCheckable() && !viewEntries.at(6)->isChecked());
    viewEntries = viewEntries.mid(0, 5);
    // The view buttons, then playback: play / pause and the frame rate.
    QCOMPARE(toolBars.first()->actions().mid(0, 5), viewEntries);
    QCOMPARE(toolBars.first()->actions().size(), 9); // the last: the flicker rate
    QCOMPARE(toolBars.first()->actions().at(6)->text(), QStringLiteral("Play"));
    QCOMPARE(toolBars.first()->widgetForAction(toolBars.first()->actions().at(7)), frameRateBox());
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        QAction *pAction = viewEntries.at(view);
        QCOMPARE(pAction->text(), QString::fromUtf8(viewTexts[view]));
        QVERIFY(pAction->isCheckable());
        QCOMPARE(pAction->isChecked(), view == ViewType::Main);
        QVERIFY(pAction->actionGroup());
        QCOMPARE(pAction->actionGroup()->exclusionPolicy(),
                 QActionGroup::ExclusionPolicy::Exclusive);
        // Ctrl+1 .. Ctrl+5, named in the toolbar button's tooltip.
        const QString keys = QStringLiteral("Ctrl+%1").arg(view + 1);
        QCOMPARE(pAction->shortcut(), QKeySequence(keys));
        QCOMPARE(pAction->toolTip(), QStringLiteral("%1 (%2)").arg(viewTexts[view], keys));
    }
    QCOMPARE(sliceWidget()->getViewType(), int(ViewType::Main));
}

void TestMainWidget::editorsLabelAndLayout()
{
    QLayout *pRow = m_pWindow->centralWidget()->layout();
    QCOMPARE(pRow->count(), 2);
    QVERIFY(pRow->itemAt(0)->widget()->isAncestorOf(sliceWidget()));
    auto *pRowBox = qobject_cast<QBoxLayout *>(pRow);
    QVERIFY(pRowBox);
    QCOMPARE(pRowBox->stretch(0), 1024);
    QCOMPARE(pRowBox->stretch(1), 1);

    QWidget *pColumn = pRow->itemAt(1)->widget();
    QCOMPARE(pColumn->layout()->count(), 6);
    const float initial[5][2] = {{0, 255}, {0, 255}, {0, 255}, {-128, 128}, {-128, 128}};
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        ScaleWidget *pEditor = editor(view);
        QVERIFY(pEditor);
        QCOMPARE(pEditor->findChild<QGroupBox *>()->title(), QString::fromUtf8(editorTitles[view]));
        QCOMPARE(pEditor->findChild<QDoubleSpinBox *>("minimum")->value(),
                 double(initial[view][0]));
        QCOMPARE(pEditor->findChild<QDoubleSpinBox *>("maximum")->value(),
                 double(initial[view][1]));
    }
    QVERIFY(label());
    QCOMPARE(label()->text(), QStringLiteral("0/0"));
    QVERIFY(m_pWindow->isVisible());
    QCOMPARE(m_pWindow->windowTitle(), QStringLiteral("rawcompare — (no main movie)"));
}

void TestMainWidget::viewSwitching_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<bool>("fromToolbar");

    for (int view = ViewType::Diff2; view >= ViewType::Main; --view) {
        QTest::addRow("%s from the toolbar", viewTexts[view]) << view << true;
        QTest::addRow("%s from the menu", viewTexts[view]) << view << false;
    }
}

void TestMainWidget::viewSwitching()
{
    QFETCH(int, view);
    QFETCH(bool, fromToolbar);

    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x1=50"));
    // Start away from the target so that every row changes the view.
    const int start = view == ViewType::Ref1 ? ViewType::Ref2 : ViewType::Ref1;
    QList<QAction *> actions = m_pWindow->menuBar()->actions().at(1)->menu()->actions();
    actions.at(start)->trigger();
    QCOMPARE(sliceWidget()->getViewType(), start);

    QSignalSpy positions(sliceWidget(), &SliceWidget::slicePosition);
    if (fromToolbar) {
        QToolBar *pToolBar = m_pWindow->findChild<QToolBar *>();
        QTest::mouseClick(pToolBar->widgetForAction(actions.at(view)), Qt::LeftButton);
    } else {
        actions.at(view)->trigger();
    }

    QCOMPARE(sliceWidget()->getViewType(), view);
    QVERIFY(positions.count() >= 1);
    int checked = 0;
    for (int i = ViewType::Main; i <= ViewType::Diff2; ++i) {
        checked += actions.at(i)->isChecked();
        QCOMPARE(actions.at(i)->isChecked(), i == view);
    }
    QCOMPARE(checked, 1);
    QCOMPARE(editor(ViewType::Diff2)->findChild<QDoubleSpinBox *>("maximum")->value(), 128.0);
    QVERIFY(m_pDialogs->warnings.isEmpty());
}

void TestMainWidget::unknownViewActionWarns()
{
    QAction stranger(QStringLiteral("Main movie"));
    m_pWindow->onViewChanged(&stranger);
    QCOMPARE(m_pDialogs->warnings.size(), 1);
    QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
    QCOMPARE(m_pDialogs->warnings.first().text, QStringLiteral("Unknown view type"));
    QCOMPARE(m_pDialogs->warnings.first().parent, m_pWindow.get());
    QCOMPARE(sliceWidget()->getViewType(), int(ViewType::Main));
}

void TestMainWidget::positionLabel_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("numSlices");
    QTest::addColumn<QString>("text");

    QTest::newRow("index 4 of 30 reads 5/30") << 4 << 30 << "5/30";
    QTest::newRow("index 0 of 10 reads 1/10") << 0 << 10 << "1/10";
    QTest::newRow("no slices reads 0/0") << 0 << 0 << "0/0";
    QTest::newRow("negative count reads 0/0") << 3 << -1 << "0/0";
}

void TestMainWidget::positionLabel()
{
    QFETCH(int, pos);
    QFETCH(int, numSlices);
    QFETCH(QString, text);

    m_pWindow->onSlicePosition(pos, numSlices);
    QCOMPARE(label()->text(), text);
}

void TestMainWidget::loadingShowsTheMovieAndKeepsRanges()
{
    editor(ViewType::Main)->setValues(10, 20);
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x3=7"));

    QVERIFY(movie(Session::Main));
    QCOMPARE(movie(Session::Main)->getNumFrames(), 3);
    QCOMPARE(label()->text(), QStringLiteral("1/3"));
    QCOMPARE(editor(ViewType::Main)->findChild<QDoubleSpinBox *>("minimum")->value(), 10.0);
    QCOMPARE(editor(ViewType::Main)->findChild<QDoubleSpinBox *>("maximum")->value(), 20.0);
    QCOMPARE(sliceWidget()->getViewType(), int(ViewType::Main));
    // The file dialog belongs to the window.
    QCOMPARE(m_pDialogs->openCalls.first().parent, m_pWindow.get());
}

void TestMainWidget::failedLoadChangesNothing()
{
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x2=7"));
    const Image3D *pBefore = movie(Session::Main);
    QSignalSpy positions(sliceWidget(), &SliceWidget::slicePosition);

    m_pDialogs->openAnswers.append({true, m_pDir->path(), {path("missing.yuv")}});
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", true, false});
    fileAction(QStringLiteral("Load main movie"))->trigger();

    QCOMPARE(m_pDialogs->warnings.size(), 1);
    QVERIFY(m_pDialogs->warnings.first().text.startsWith(
            QStringLiteral("Loading not successful:\nUnable to open specified file ")));
    QCOMPARE(m_pDialogs->warnings.first().parent, m_pWindow.get());
    QCOMPARE(movie(Session::Main), pBefore);
    QCOMPARE(positions.count(), 0);
    QCOMPARE(label()->text(), QStringLiteral("1/2"));
}

void TestMainWidget::loadingAReferenceKeepsTheOthers()
{
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x1=10"));
    load(QStringLiteral("Load reference movie 2"), QStringLiteral("2x2x1=30"));
    const Image3D *pMain = movie(Session::Main);
    const Image3D *pRef2 = movie(Session::Reference2);
    load(QStringLiteral("Load reference movie 1"), QStringLiteral("2x2x1=20"));

    QCOMPARE(movie(Session::Main), pMain);
    QCOMPARE(movie(Session::Reference2), pRef2);
    QVERIFY(movie(Session::Reference1));
    // The slice widget has all three: main - ref2 at the bottom-left sample is 10 - 30.
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Diff2)->trigger();
    editor(ViewType::Diff2)->setValues(-20, -19);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 0);
    editor(ViewType::Diff2)->setValues(-21, -20);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 255);
}

void TestMainWidget::slicesCountedOverAllMovies()
{
    load(QStringLiteral("Load main movie"), QStringLiteral("2x2x10=1"));
    QCOMPARE(label()->text(), QStringLiteral("1/10"));
    load(QStringLiteral("Load reference movie 1"), QStringLiteral("2x2x20=1"));
    QCOMPARE(label()->text(), QStringLiteral("1/20"));
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Ref2)->trigger();
    QCOMPARE(label()->text(), QStringLiteral("1/20"));
    fileAction(QStringLiteral("Clear reference movie 1"))->trigger();
    QCOMPARE(label()->text(), QStringLiteral("1/10"));
}

void TestMainWidget::clearing_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("loaded"); // slots filled before: "m", "1", "2"
    QTest::addColumn<QString>("left");
    QTest::addColumn<bool>("redraw");

    QTest::newRow("main cleared, reference 1 kept") << "Clear main movie"
                                                    << "m1"
                                                    << "1" << true;
    QTest::newRow("reference 1 cleared, main and reference 2 kept") << "Clear reference movie 1"
                                                                    << "m12"
                                                                    << "m2" << true;
    QTest::newRow("reference 2 cleared") << "Clear reference movie 2"
                                         << "2"
                                         << "" << true;
    QTest::newRow("empty reference 1: nothing happens, no redraw") << "Clear reference movie 1"
                                                                   << "m"
                                                                   << "m" << false;
    QTest::newRow("empty main: nothing happens, no redraw") << "Clear main movie"
                                                            << ""
                                                            << "" << false;
}

void TestMainWidget::clearing()
{
    QFETCH(QString, entry);
    QFETCH(QString, loaded);
    QFETCH(QString, left);
    QFETCH(bool, redraw);

    if (loaded.contains(QLatin1Char('m')))
        load(QStringLiteral("Load main movie"), QStringLiteral("2x2x1=1"));
    if (loaded.contains(QLatin1Char('1')))
        load(QStringLiteral("Load reference movie 1"), QStringLiteral("2x2x1=2"));
    if (loaded.contains(QLatin1Char('2')))
        load(QStringLiteral("Load reference movie 2"), QStringLiteral("2x2x1=3"));
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Diff1)->trigger();
    const Image3D *pBefore[3]
            = {movie(Session::Main), movie(Session::Reference1), movie(Session::Reference2)};
    QSignalSpy positions(sliceWidget(), &SliceWidget::slicePosition);

    fileAction(entry)->trigger();

    QCOMPARE(positions.count() > 0, redraw);
    QCOMPARE(movie(Session::Main) != nullptr, left.contains(QLatin1Char('m')));
    QCOMPARE(movie(Session::Reference1) != nullptr, left.contains(QLatin1Char('1')));
    QCOMPARE(movie(Session::Reference2) != nullptr, left.contains(QLatin1Char('2')));
    if (left.contains(QLatin1Char('m')))
        QCOMPARE(movie(Session::Main), pBefore[0]);
    if (left.contains(QLatin1Char('1')))
        QCOMPARE(movie(Session::Reference1), pBefore[1]);
    if (left.contains(QLatin1Char('2')))
        QCOMPARE(movie(Session::Reference2), pBefore[2]);
    QCOMPARE(sliceWidget()->getViewType(), int(ViewType::Diff1));
    QVERIFY(m_pDialogs->log.isEmpty() || !m_pDialogs->log.contains(QStringLiteral("warning")));
}

void TestMainWidget::autoScale_data()
{
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("ref1");
    QTest::addColumn<QString>("ref2");
    QTest::addColumn<int>("view");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    QTest::newRow("Main without a movie: 0..255") << ""
                                                  << ""
                                                  << "" << int(ViewType::Main) << 0.f << 255.f;
    QTest::newRow("Main 16..235, extremes at the first and last sample")
            << "4x2x2=100,0:16,15:235"
            << ""
            << "" << int(ViewType::Main) << 16.f << 235.f;
    QTest::newRow("Main 16..235, maximum in the first sample")
            << "4x2x2=100,0:235,9:16"
            << ""
            << "" << int(ViewType::Main) << 16.f << 235.f;
    QTest::newRow("Main of one sample 7: equal bounds") << "png:7"
                                                        << ""
                                                        << "" << int(ViewType::Main) << 7.f << 7.f;
    QTest::newRow("Main all 100") << "4x2x3=100"
                                  << ""
                                  << "" << int(ViewType::Main) << 100.f << 100.f;
    QTest::newRow("Reference 1 reads its own movie") << "2x2x1=1"
                                                     << "4x2x1=40,3:90"
                                                     << "" << int(ViewType::Ref1) << 40.f << 90.f;
    QTest::newRow("Reference 2 reads its own movie")
            << "2x2x1=1"
            << ""
            << "4x2x1=60,5:0" << int(ViewType::Ref2) << 0.f << 60.f;
    QTest::newRow("Difference 1 with nothing loaded: -128..128")
            << ""
            << ""
            << "" << int(ViewType::Diff1) << -128.f << 128.f;
    QTest::newRow("Difference 1 with only reference 1: negated range")
            << ""
            << "4x2x2=100,0:16,15:235"
            << "" << int(ViewType::Diff1) << -235.f << -16.f;
    QTest::newRow("Difference 2 with only main: the main range")
            << "4x2x2=100,0:16,15:235"
            << ""
            << "" << int(ViewType::Diff2) << 16.f << 235.f;
    QTest::newRow("Difference 1, main larger: 150 inside the reference, 200 outside")
            << "4x4x2=200"
            << "2x2x1=50"
            << "" << int(ViewType::Diff1) << 150.f << 200.f;
    QTest::newRow("Difference 1, reference larger: -20 inside main, -30 outside")
            << "2x2x1=10"
            << "4x4x1=30"
            << "" << int(ViewType::Diff1) << -30.f << -20.f;
    QTest::newRow("Difference 2, one wider, one taller: -10..10")
            << "4x2x1=10"
            << ""
            << "2x4x1=10" << int(ViewType::Diff2) << -10.f << 10.f;
    QTest::newRow("Difference 2 ignores reference 1")
            << "2x2x1=50"
            << "2x2x1=0"
            << "2x2x1=40" << int(ViewType::Diff2) << 10.f << 10.f;
}

void TestMainWidget::cancelledWorkChangesNothing_data()
{
    QTest::addColumn<int>("view"); // -1: saving
    QTest::newRow("auto scale of the main movie") << int(ViewType::Main);
    QTest::newRow("auto scale of a difference") << int(ViewType::Diff1);
    QTest::newRow("saving over an existing file") << -1;
}

void TestMainWidget::cancelledWorkChangesNothing()
{
    QFETCH(int, view);
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x5=7,3:200"));
    load(QStringLiteral("Load reference movie 1"), QStringLiteral("4x2x5=1"));
    // The user cancels after the second of five frames.
    m_pDialogs->cancelProgressAt = 2;
    if (view >= 0) {
        editor(view)->setValues(-1000, 1000);
        QSignalSpy ranges(editor(view), &ScaleWidget::range);
        QTest::mouseClick(editor(view)->findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(ranges.count(), 0);
        QCOMPARE(editor(view)->findChild<QDoubleSpinBox *>("minimum")->value(), -1000.0);
    } else {
        const QString target = path(QStringLiteral("kept.yuv"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        m_pDialogs->saveAnswers.append(target);
        fileAction(QStringLiteral("Save main movie"))->trigger();
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        // No partial file is left beside it either.
        QCOMPARE(QDir(m_pDir->path()).entryList({QStringLiteral("kept.yuv*")}, QDir::Files).size(),
                 1);
    }
    QCOMPARE(m_pDialogs->progressReports.last(), qMakePair(2, 5));
    QVERIFY(m_pDialogs->warnings.isEmpty());
}

void TestMainWidget::fileShrinkingWhileShownIsToldOnce()
{
    // 4x2 gray, three frames of 9; the file is then cut to one frame and a half.
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x3=9"));
    const QString file = QDir(m_pDir->path()).entryList({QStringLiteral("*.raw")}).value(0);
    QVERIFY(QFile::resize(path(file), 12));
    QSignalSpy told(sliceWidget(), &SliceWidget::frameUnreadable);
    sliceWidget()->getSlider()->setValue(1);
    sliceWidget()->getSlider()->setValue(2);
    QCOMPARE(told.count(), 1);
    QTRY_COMPARE(m_pDialogs->warnings.size(), 1);
    QCOMPARE(m_pDialogs->warnings.first().text,
             QStringLiteral("Unable to read a frame\n%1: frame 2 of 3 can't be read any more")
                     .arg(file));
    // Frame 3 shows as absent (black), never as other data; frame 1, read before, still shows.
    QCOMPARE(sliceWidget()->grayAt(0, 0, 2), 0);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 9);
}

void TestMainWidget::autoScale()
{
    QFETCH(QString, main);
    QFETCH(QString, ref1);
    QFETCH(QString, ref2);
    QFETCH(int, view);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    if (!main.isEmpty())
        load(QStringLiteral("Load main movie"), main);
    if (!ref1.isEmpty())
        load(QStringLiteral("Load reference movie 1"), ref1);
    if (!ref2.isEmpty())
        load(QStringLiteral("Load reference movie 2"), ref2);
    // Away from every expected result, so that the press changes both fields.
    editor(view)->setValues(-1000, 1000);
    QSignalSpy ranges(editor(view), &ScaleWidget::range);

    QTest::mouseClick(editor(view)->findChild<QPushButton *>(), Qt::LeftButton);

    QCOMPARE(editor(view)->findChild<QDoubleSpinBox *>("minimum")->value(), double(minValue));
    QCOMPARE(editor(view)->findChild<QDoubleSpinBox *>("maximum")->value(), double(maxValue));
    // Minimum first, then maximum, each change on its way to the slice widget.
    QCOMPARE(ranges.count(), 2);
    QCOMPARE(ranges.at(0).at(0).toFloat(), minValue);
    QCOMPARE(ranges.at(0).at(1).toFloat(), 1000.f);
    QCOMPARE(ranges.at(1).at(0).toFloat(), minValue);
    QCOMPARE(ranges.at(1).at(1).toFloat(), maxValue);
    QVERIFY(m_pDialogs->warnings.isEmpty());
}

void TestMainWidget::secondAutoScalePressEmitsNothing()
{
    load(QStringLiteral("Load main movie"), QStringLiteral("4x2x1=30,2:90"));
    QPushButton *pButton = editor(ViewType::Main)->findChild<QPushButton *>();
    QTest::mouseClick(pButton, Qt::LeftButton);
    QCOMPARE(editor(ViewType::Main)->findChild<QDoubleSpinBox *>("minimum")->value(), 30.0);

    QSignalSpy ranges(editor(ViewType::Main), &ScaleWidget::range);
    QSignalSpy positions(sliceWidget(), &SliceWidget::slicePosition);
    QSignalSpy redraws(sliceWidget(), &SliceWidget::redrawNeeded);
    QTest::mouseClick(pButton, Qt::LeftButton);
    QCOMPARE(ranges.count(), 0);
    QCOMPARE(positions.count(), 0);
    QCOMPARE(redraws.count(), 0);
}

void TestMainWidget::renderFailureWarnsAfterTheRedraw()
{
    emit sliceWidget()->renderFailed();
    // Not inside the slice widget's redraw: the warning comes from the event loop.
    QVERIFY(m_pDialogs->warnings.isEmpty());
    QTRY_COMPARE(m_pDialogs->warnings.size(), 1);
    QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
    QCOMPARE(m_pDialogs->warnings.first().text,
             QStringLiteral("Not enough memory to show this slice"));
}

void TestMainWidget::rangesReachOnlyTheirOwnView()
{
    // Sample (0, 0, 0) is 150 everywhere.
    load(QStringLiteral("Load main movie"), QStringLiteral("2x2x1=150"));
    load(QStringLiteral("Load reference movie 1"), QStringLiteral("2x2x1=150"));
    QActionGroup *pGroup
            = m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(0)->actionGroup();

    editor(ViewType::Main)->setValues(100, 150);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 255);
    // Editing Reference 1 while Main is on screen leaves Main's picture alone.
    editor(ViewType::Ref1)->setValues(150, 200);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 255);
    pGroup->actions().at(ViewType::Ref1)->trigger();
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 0);
    // Difference 1 is 0 at every sample.
    editor(ViewType::Diff1)->setValues(0, 10);
    pGroup->actions().at(ViewType::Diff1)->trigger();
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 0);
    editor(ViewType::Diff1)->setValues(-10, 0);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 255);
}

void TestMainWidget::computeRangeInMemory_data()
{
    // Movies with values the readers cannot make: fractions, negatives and NaN.
    QTest::addColumn<QSize>("sizeA"); // width x height, frames below; empty: no movie
    QTest::addColumn<int>("framesA");
    QTest::addColumn<QList<float>>("samplesA");
    QTest::addColumn<QSize>("sizeB");
    QTest::addColumn<int>("framesB");
    QTest::addColumn<QList<float>>("samplesB");
    QTest::addColumn<float>("rangeMin"); // computeRange of A
    QTest::addColumn<float>("rangeMax");
    QTest::addColumn<float>("diffMin"); // computeDifferenceRange of A and B
    QTest::addColumn<float>("diffMax");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("no movies") << QSize() << 0 << QList<float> {} << QSize() << 0 << QList<float> {}
                               << 0.f << 255.f << -128.f << 128.f;
    QTest::newRow("movie of 0 frames counts as none")
            << QSize(2, 2) << 0 << QList<float> {} << QSize() << 0 << QList<float> {} << 0.f
            << 255.f << -128.f << 128.f;
    QTest::newRow("4x4x0 main against a 2x2x1 reference of 10s: its extent is scanned")
            << QSize(4, 4) << 0 << QList<float> {} << QSize(2, 2) << 1
            << QList<float> {10.f, 10.f, 10.f, 10.f} << 0.f << 255.f << -10.f << 0.f;
    QTest::newRow("fractions and negatives")
            << QSize(2, 1) << 2 << QList<float> {12.7f, -5.f, 300.f, 0.25f} << QSize(2, 1) << 1
            << QList<float> {0.5f, 1.f} << -5.f << 300.f << -6.f << 300.f;
    QTest::newRow("NaN in the middle never replaces a bound")
            << QSize(3, 1) << 1 << QList<float> {4.f, nan, 9.f} << QSize(3, 1) << 1
            << QList<float> {0.f, 0.f, 0.f} << 4.f << 9.f << 4.f << 9.f;
    QTest::newRow("extent of B over A in frames: bare negated samples")
            << QSize(1, 1) << 1 << QList<float> {5.f} << QSize(1, 1) << 3
            << QList<float> {1.f, 2.f, 3.f} << 5.f << 5.f << -3.f << 4.f;
    QTest::newRow("rows of one, columns of the other: zeros where neither")
            << QSize(2, 1) << 1 << QList<float> {7.f, 7.f} << QSize(1, 2) << 1
            << QList<float> {3.f, 3.f} << 7.f << 7.f << -3.f << 7.f;
}

void TestMainWidget::computeRangeInMemory()
{
    QFETCH(QSize, sizeA);
    QFETCH(int, framesA);
    QFETCH(QList<float>, samplesA);
    QFETCH(QSize, sizeB);
    QFETCH(int, framesB);
    QFETCH(QList<float>, samplesB);
    QFETCH(float, rangeMin);
    QFETCH(float, rangeMax);
    QFETCH(float, diffMin);
    QFETCH(float, diffMax);

    std::unique_ptr<Image3D> a;
    std::unique_ptr<Image3D> b;
    if (sizeA.isValid()) {
        a = std::make_unique<Image3D>(sizeA.width(), sizeA.height(), framesA);
        std::copy(samplesA.begin(), samplesA.end(), a->getData());
    }
    if (sizeB.isValid()) {
        b = std::make_unique<Image3D>(sizeB.width(), sizeB.height(), framesB);
        std::copy(samplesB.begin(), samplesB.end(), b->getData());
    }
    float low = 1;
    float high = -1;
    MainWidget::computeRange(a.get(), low, high);
    QCOMPARE(low, rangeMin);
    QCOMPARE(high, rangeMax);
    MainWidget::computeDifferenceRange(a.get(), b.get(), low, high);
    QCOMPARE(low, diffMin);
    QCOMPARE(high, diffMax);
}

namespace {

// A movie of the given size whose samples come from a list, repeated; nullptr for frames < 0.
std::unique_ptr<Image3D> movieOf(int width, int height, int frames, const QList<float> &values)
{
    if (frames < 0)
        return nullptr;
    auto pMovie = std::make_unique<Image3D>(width, height, frames);
    for (qint64 i = 0; i < pMovie->getSampleCount(); ++i)
        pMovie->getData()[i] = values[int(i % values.size())];
    return pMovie;
}

// The difference range sample by sample in memory order, every position tested against both
// movies, as the window computed it before its scan went row by row. A NaN difference is never
// a bound, the first one included.
void plainDifferenceRange(const Image3D *pA, const Image3D *pB, float &low, float &high)
{
    auto dims = [](const Image3D *p) {
        return p ? std::array<int, 3> {p->getWidth(), p->getHeight(), p->getNumFrames()}
                 : std::array<int, 3> {0, 0, 0};
    };
    const auto a = dims(pA);
    const auto b = dims(pB);
    const int width = std::max(a[0], b[0]), height = std::max(a[1], b[1]),
              frames = std::max(a[2], b[2]);
    low = -128;
    high = 128;
    bool first = true;
    auto sample = [](const Image3D *p, const std::array<int, 3> &d, int x, int y, int f) {
        if (x >= d[0] || y >= d[1] || f >= d[2])
            return 0.0f;
        return p->getData()[x + qint64(d[0]) * (y + qint64(d[1]) * f)];
    };
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float d = sample(pA, a, x, y, f) - sample(pB, b, x, y, f);
                if (first && !std::isnan(d)) {
                    low = high = d;
                    first = false;
                }
                if (low > d)
                    low = d;
                if (high < d)
                    high = d;
            }
}

} // namespace

void TestMainWidget::differenceRangeMatchesPlainScan_data()
{
    QTest::addColumn<QList<int>>("shapes"); // width, height, frames of A, then of B; -1: none
    QTest::addColumn<QList<float>>("valuesA");
    QTest::addColumn<QList<float>>("valuesB");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QList<float> mixed = {3.f, -0.f, 250.f, nan, 0.f, -7.5f, 1e30f, 16.f, 0.5f};
    const QList<float> other = {0.f, 5.f, -0.f, 200.f, nan, 1.f, -1e30f};
    QTest::newRow("A wider, B taller with more frames")
            << QList<int> {7, 3, 2, 4, 5, 3} << mixed << other;
    QTest::newRow("same odd size") << QList<int> {5, 5, 2, 5, 5, 2} << mixed << other;
    QTest::newRow("B larger in every direction") << QList<int> {2, 2, 1, 9, 4, 3} << mixed << other;
    QTest::newRow("NaN at the first position")
            << QList<int> {3, 2, 2, 2, 3, 1} << QList<float> {nan, 1.f, 2.f} << other;
    QTest::newRow("only zeros of both signs: the first one found stays")
            << QList<int> {4, 2, 2, 3, 3, 1} << QList<float> {-0.f, 0.f, 0.f}
            << QList<float> {0.f, -0.f};
    QTest::newRow("the minimum is the +0 where neither movie reaches")
            << QList<int> {2, 1, 1, 1, 2, 1} << QList<float> {6.f, 5.f} << QList<float> {5.f, -1.f};
    QTest::newRow("A only") << QList<int> {6, 2, 2, -1, -1, -1} << mixed << QList<float> {};
    QTest::newRow("B only") << QList<int> {-1, -1, -1, 3, 4, 2} << QList<float> {} << other;
    QTest::newRow("A of 0 frames, B present") << QList<int> {4, 4, 0, 3, 2, 2} << mixed << other;
}

void TestMainWidget::differenceRangeMatchesPlainScan()
{
    QFETCH(QList<int>, shapes);
    QFETCH(QList<float>, valuesA);
    QFETCH(QList<float>, valuesB);
    const auto pA = movieOf(shapes[0], shapes[1], shapes[2], valuesA);
    const auto pB = movieOf(shapes[3], shapes[4], shapes[5], valuesB);

    float expectedLow = 0, expectedHigh = 0;
    plainDifferenceRange(pA.get(), pB.get(), expectedLow, expectedHigh);
    float low = 1, high = -1;
    MainWidget::computeDifferenceRange(pA.get(), pB.get(), low, high);
    // Bit for bit: the sign of a zero and NaN count too.
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&low), sizeof low),
             QByteArray(reinterpret_cast<const char *>(&expectedLow), sizeof low));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&high), sizeof high),
             QByteArray(reinterpret_cast<const char *>(&expectedHigh), sizeof high));
}

void TestMainWidget::saving_data()
{
    QTest::addColumn<QString>("answer"); // %1: the temporary folder; "source": the loaded file
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QByteArray>("bytes"); // of the file written; empty: not checked

    QTest::newRow("written top row first, neutral chroma")
            << "%1/out.yuv"
            << "" << QByteArray("\x0a\x0b\x0c\x0d\x05\x06\x07\x08\x80\x80\x80\x80", 12);
    QTest::newRow("non-ASCII name")
            << "%1/Ausgabe ä.yuv"
            << "" << QByteArray("\x0a\x0b\x0c\x0d\x05\x06\x07\x08\x80\x80\x80\x80", 12);
    QTest::newRow("no suffix added")
            << "%1/plain"
            << "" << QByteArray("\x0a\x0b\x0c\x0d\x05\x06\x07\x08\x80\x80\x80\x80", 12);
    QTest::newRow("dialog cancelled: nothing written") << ""
                                                       << "" << QByteArray();
    QTest::newRow("folder missing: cannot open")
            << "%1/none/out.yuv"
            << "Unable to open specified file for writing" << QByteArray();
    QTest::newRow("a folder: cannot open")
            << "%1"
            << "Unable to open specified file for writing" << QByteArray();
    // The movie lives in memory, so its own source can be overwritten with a correct file.
    QTest::newRow("over the file the main movie came from")
            << "source"
            << "" << QByteArray("\x0a\x0b\x0c\x0d\x05\x06\x07\x08\x80\x80\x80\x80", 12);
    if (QFile::exists(QStringLiteral("/dev/full")))
        QTest::newRow("full device: reported with the name")
                << "/dev/full"
                << "The file /dev/full could not be written completely" << QByteArray();
}

void TestMainWidget::saving()
{
    QFETCH(QString, answer);
    QFETCH(QString, warning);
    QFETCH(QByteArray, bytes);

    // File rows top-down: 10 11 12 13 / 5 6 7 8.
    const QString sourceFile = writeMovie("4x2x1=0");
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {sourceFile}});
    QFile::remove(m_pDialogs->openAnswers.first().files.first());
    QFile raw(m_pDialogs->openAnswers.first().files.first());
    QVERIFY(raw.open(QIODevice::WriteOnly));
    raw.write(QByteArray("\x0a\x0b\x0c\x0d\x05\x06\x07\x08", 8));
    raw.close();
    m_pDialogs->dimensionsAnswers.append({1, "4", "2", false, false});
    fileAction(QStringLiteral("Load main movie"))->trigger();
    QVERIFY(movie(Session::Main));
    m_pDialogs->log.clear();

    const bool overSource = answer == QLatin1String("source");
    const QString fileName = overSource            ? sourceFile
            : answer.contains(QLatin1String("%1")) ? answer.arg(m_pDir->path())
                                                   : answer;
    m_pDialogs->saveAnswers.append(answer.isEmpty() ? QString() : fileName);
    fileAction(QStringLiteral("Save main movie"))->trigger();

    QCOMPARE(m_pDialogs->saveCalls.size(), 1);
    const ScriptedDialogs::SaveCall call = m_pDialogs->saveCalls.first();
    QCOMPARE(call.parent, m_pWindow.get());
    QCOMPARE(call.caption, QStringLiteral("Save"));
    QVERIFY(call.directory.isEmpty());
    // 8-bit YUV 4:2:0 is offered first.
    QCOMPARE(call.filter.section(";;", 0, 0), QStringLiteral("YUV files (*.yuv)"));
    if (warning.isEmpty()) {
        QCOMPARE(m_pDialogs->log, QStringList {"save"});
    } else {
        QCOMPARE(m_pDialogs->warnings.size(), 1);
        QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
        QCOMPARE(ScriptedDialogs::describedLines(m_pDialogs->warnings.first().text, warning),
                 warning);
        QCOMPARE(m_pDialogs->warnings.first().parent, m_pWindow.get());
    }
    if (!bytes.isEmpty()) {
        QFile written(fileName);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), bytes);
    }
    QCOMPARE(QDir(m_pDir->path()).entryList(QDir::Files).size(),
             bytes.isEmpty() || overSource ? 1 : 2);
}

void TestMainWidget::saveNothing_data()
{
    QTest::addColumn<bool>("loadReference");

    QTest::newRow("nothing loaded") << false;
    QTest::newRow("only a reference loaded") << true;
}

void TestMainWidget::saveNothing()
{
    QFETCH(bool, loadReference);

    if (loadReference)
        load(QStringLiteral("Load reference movie 1"), QStringLiteral("2x2x1=9"));
    m_pDialogs->log.clear();
    fileAction(QStringLiteral("Save main movie"))->trigger();
    QCOMPARE(m_pDialogs->log, QStringList {"warning"});
    QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
    QCOMPARE(m_pDialogs->warnings.first().text, QStringLiteral("Nothing to save"));
    QCOMPARE(m_pDialogs->warnings.first().parent, m_pWindow.get());
}

void TestMainWidget::quitQuestion_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("closed");

    QTest::newRow("Yes closes") << QMessageBox::Yes << true;
    QTest::newRow("No keeps everything") << QMessageBox::No << false;
    QTest::newRow("Escape (no button) keeps everything") << QMessageBox::NoButton << false;
}

void TestMainWidget::quitQuestion()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, closed);

    load(QStringLiteral("Load main movie"), QStringLiteral("2x2x1=9"));
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Ref1)->trigger();
    editor(ViewType::Main)->setValues(3, 4);
    const Image3D *pMain = movie(Session::Main);
    m_pDialogs->questionAnswers.append(answer);

    QCOMPARE(m_pWindow->close(), closed);

    QCOMPARE(m_pDialogs->questions.size(), 1);
    const ScriptedDialogs::Message question = m_pDialogs->questions.first();
    QCOMPARE(question.parent, m_pWindow.get());
    QCOMPARE(question.title, QStringLiteral("Confirm"));
    QCOMPARE(question.text, QStringLiteral("Are you sure you want to quit?"));
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(question.defaultButton, QMessageBox::No);
    QCOMPARE(m_pWindow->isVisible(), !closed);
    QCOMPARE(movie(Session::Main), pMain);
    QCOMPARE(sliceWidget()->getViewType(), int(ViewType::Ref1));
    QCOMPARE(editor(ViewType::Main)->findChild<QDoubleSpinBox *>("minimum")->value(), 3.0);
}

void TestMainWidget::commandLine_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("dialogsAnswers"); // dimensions answers, "W H gray|yuv"
    QTest::addColumn<QString>("frames"); // main, ref1, ref2 frame counts: "3 0 0"
    QTest::addColumn<QString>("nextDialog"); // shown by the next load: "W H gray|yuv"
    QTest::addColumn<QString>("warning");

    QTest::newRow("size and gray answer for every file; stacked in order")
            << QStringList {"--size", "4x2", "--gray", "@a", "@b", "--ref1", "@c"} << QStringList {}
            << "3 1 0"
            << "4 2 gray"
            << "";
    QTest::newRow("size alone means YUV")
            << QStringList {"--size=4x2", "@yuv"} << QStringList {} << "1 0 0"
            << "4 2 yuv"
            << "";
    QTest::newRow("no size: the dialog is asked from 352x288 YUV")
            << QStringList {"@a"} << QStringList {"4 2 gray"} << "2 0 0"
            << "4 2 gray"
            << "";
    QTest::newRow("gray alone only unchecks YUV in the dialog")
            << QStringList {"--gray", "--ref2", "@a"} << QStringList {"4 2 gray"} << "0 0 2"
            << "4 2 gray"
            << "";
    QTest::newRow("a failing file warns as from the menu; the others still load")
            << QStringList {"--size", "4x2", "--gray", "@missing", "--ref1", "@a"} << QStringList {}
            << "0 2 0"
            << "4 2 gray"
            << "Loading not successful:\nUnable to open specified file %1/missing";
    QTest::newRow("several files, one failing: named in the warning")
            << QStringList {"--size", "4x2", "--gray", "@a", "@missing"} << QStringList {}
            << "0 0 0"
            << "4 2 gray"
            << "Loading %1/missing not successful:\nUnable to open specified file %1/missing";
    QTest::newRow("nothing given: nothing loaded, defaults kept")
            << QStringList {} << QStringList {} << "0 0 0"
            << "352 288 yuv"
            << "";
}

// --plane u on a gray file shows its Y plane: the status bar says so.
void TestMainWidget::planeAFileLacksIsNotedInTheStatusBar()
{
    QFile file(path("g"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(16, char(7)));
    file.close();
    CommandLine commandLine;
    QCOMPARE(
            commandLine.parse({"rawcompare", "--size", "4x2", "--gray", "--plane", "u", path("g")}),
            CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QCOMPARE(movie(Session::Main)->getNumFrames(), 2);
    QVERIFY2(m_pWindow->statusBar()->currentMessage().contains("has no U plane"),
             qPrintable(m_pWindow->statusBar()->currentMessage()));
}

void TestMainWidget::commandLine()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, dialogsAnswers);
    QFETCH(QString, frames);
    QFETCH(QString, nextDialog);
    QFETCH(QString, warning);

    // a: gray 4x2 of 2 frames; b: 1 frame; c: 1 frame; yuv: YUV 4x2 of 1 frame.
    auto write = [this](const QString &name, int bytes) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, char(name.at(0).unicode())));
    };
    write(QStringLiteral("a"), 16);
    write(QStringLiteral("b"), 8);
    write(QStringLiteral("c"), 8);
    write(QStringLiteral("yuv"), 12);
    QStringList arguments {"rawcompare"};
    for (const QString &option : options)
        arguments.append(option.startsWith(QLatin1Char('@')) ? path(option.mid(1)) : option);
    for (const QString &script : dialogsAnswers) {
        const QStringList words = script.split(QLatin1Char(' '));
        m_pDialogs->dimensionsAnswers.append(
                {1, words.at(0), words.at(1), words.at(2) == QLatin1String("yuv"), false});
    }
    CommandLine commandLine;
    QCOMPARE(commandLine.parse(arguments), CommandLine::Action::Run);

    m_pWindow->openFromCommandLine(commandLine);

    QVERIFY(m_pDialogs->openCalls.isEmpty());
    QCOMPARE(m_pDialogs->dimensionsShown.size(), dialogsAnswers.size());
    if (!dialogsAnswers.isEmpty()) {
        QCOMPARE(m_pDialogs->dimensionsShown.first().width, QStringLiteral("352"));
        QCOMPARE(m_pDialogs->dimensionsShown.first().height, QStringLiteral("288"));
        QCOMPARE(m_pDialogs->dimensionsShown.first().isYUV, commandLine.getPixelFormat() != "gray");
    }
    if (warning.isEmpty()) {
        QVERIFY(m_pDialogs->warnings.isEmpty());
    } else {
        QCOMPARE(m_pDialogs->warnings.size(), 1);
        QCOMPARE(ScriptedDialogs::describedLines(m_pDialogs->warnings.first().text,
                                                 warning.arg(m_pDir->path())),
                 warning.arg(m_pDir->path()));
        QCOMPARE(m_pDialogs->warnings.first().parent, m_pWindow.get());
    }
    const Image3D *pMovies[3]
            = {movie(Session::Main), movie(Session::Reference1), movie(Session::Reference2)};
    const QStringList counts = frames.split(QLatin1Char(' '));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(pMovies[i] ? pMovies[i]->getNumFrames() : 0, counts.at(i).toInt());
    if (pMovies[0] && commandLine.getMainFiles().size() == 2) {
        // a's frames first, then b's.
        QCOMPARE(pMovies[0]->getFrame(0).get()[0], float('a'));
        QCOMPARE(pMovies[0]->getFrame(2).get()[0], float('b'));
    }

    // The answers given become the remembered values of later loads.
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {path("b")}});
    m_pDialogs->dimensionsAnswers = {{0, "", "", true, false}};
    fileAction(QStringLiteral("Load main movie"))->trigger();
    const ScriptedDialogs::DimensionsShown shown = m_pDialogs->dimensionsShown.last();
    QCOMPARE(
            QStringLiteral("%1 %2 %3").arg(shown.width, shown.height, shown.isYUV ? "yuv" : "gray"),
            nextDialog);
}

void TestMainWidget::frameCacheSharedByTheMovies()
{
    const QString main = writeMovie(QStringLiteral("16x16x3=10"));
    const QString ref = writeMovie(QStringLiteral("16x16x3=12"));
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "16x16", "--gray", "--frame-cache", "48",
                                main, "--ref1", ref}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    const FrameCache *pMainCache = movie(Session::Main)->getFrameCache();
    QVERIFY(pMainCache && movie(Session::Reference1)->getFrameCache());
    QCOMPARE(m_pWindow->getSession().getFrameCacheBudget(), qint64(48) << 20);
    QCOMPARE(pMainCache->getBudget(), qint64(24) << 20);
    QCOMPARE(movie(Session::Reference1)->getFrameCache()->getBudget(), qint64(24) << 20);
    // The movie left alone has it all.
    fileAction(QStringLiteral("Clear reference movie 1"))->trigger();
    QCOMPARE(pMainCache->getBudget(), qint64(48) << 20);

    QAction *pSize = nullptr;
    for (QAction *pAction : m_pWindow->menuBar()->actions().at(1)->menu()->actions()) {
        if (pAction->text() == QStringLiteral("Frame cache size…"))
            pSize = pAction;
    }
    QVERIFY(pSize);
    pSize->trigger(); // cancelled: nothing changes
    QCOMPARE(m_pDialogs->integersShown.value(0), (QList<int> {48, 16, 1 << 20}));
    QCOMPARE(pMainCache->getBudget(), qint64(48) << 20);
    m_pDialogs->integerAnswers = {100};
    pSize->trigger();
    QCOMPARE(m_pWindow->getSession().getFrameCacheBudget(), qint64(100) << 20);
    QCOMPARE(pMainCache->getBudget(), qint64(100) << 20);
}

void TestMainWidget::referenceOffsets_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("frame"); // main frame shown, from 0
    QTest::addColumn<QString>("readout"); // of pixel (0, 0)
    QTest::addColumn<int>("gray"); // of that pixel in the difference view, range 0 .. 255
    QTest::addColumn<QString>("frameText");
    QTest::addColumn<QString>("mismatch");
    QTest::addColumn<QList<int>>("dockFrames"); // main frames the metrics dock lists

    // Main 2x2x4, sample 0 of frame f is 10 (f + 1); reference 1 2x2x3, sample 0 of frame g is
    // g + 1; every other sample 10 and 1.
    QTest::newRow("offset 0: frame for frame")
            << 0 << 1 << "x 0  y 1  main 20  ref1 2  ref2   diff1 18  diff2 " << 18 << "frame 2/4"
            << "Reference 1 shorter (3 of 4 frames)" << QList<int> {0, 1, 2};
    QTest::newRow("reference 1 two frames later: main frame 3 meets its frame 1")
            << 2 << 3 << "x 0  y 1  main 40  ref1 2  ref2   diff1 38  diff2 " << 38 << "frame 4/5"
            << "Reference 1 shorter (offset 2: main frames 3 to 4 of 4 have a partner)"
            << QList<int> {2, 3};
    QTest::newRow("reference 1 two frames later: main frame 1 has no partner")
            << 2 << 1 << "x 0  y 1  main 20  ref1   ref2   diff1   diff2 " << 20 << "frame 2/5"
            << "Reference 1 shorter (offset 2: main frames 3 to 4 of 4 have a partner)"
            << QList<int> {2, 3};
    QTest::newRow("reference 1 one frame earlier: main frame 0 meets its frame 1")
            << -1 << 0 << "x 0  y 1  main 10  ref1 2  ref2   diff1 8  diff2 " << 8 << "frame 1/4"
            << "Reference 1 shorter (offset -1: main frames 1 to 2 of 4 have a partner)"
            << QList<int> {0, 1};
}

void TestMainWidget::referenceOffsets()
{
    QFETCH(int, offset);
    QFETCH(int, frame);
    QFETCH(QString, readout);
    QFETCH(int, gray);
    QFETCH(QString, frameText);
    QFETCH(QString, mismatch);
    QFETCH(QList<int>, dockFrames);

    load("Load main movie", "2x2x4=10,0:10,4:20,8:30,12:40");
    load("Load reference movie 1", "2x2x3=1,0:1,4:2,8:3");
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Diff1)->trigger();
    editor(ViewType::Diff1)->setValues(0, 255);
    sliceWidget()->getView()->zoom(8);
    sliceWidget()->getSlider()->setValue(frame);
    hover(0, 0);
    auto shownGray = [this]() {
        const QPixmap *pPixmap = ImageNodeTestAccess::shownPixmap(*sliceWidget());
        return pPixmap ? qGray(pPixmap->toImage().pixel(0, 0)) : -1;
    };
    // Frame for frame first: main frame f - reference frame f, or main - 0 past the reference.
    QCOMPARE(shownGray(), frame < 3 ? 9 * (frame + 1) : 10 * (frame + 1));

    // The spin box beside reference 1's editor sets the offset; the view, the readout, the
    // frame count and the notes follow at once.
    QSpinBox *pBox = m_pWindow->findChild<QSpinBox *>(QStringLiteral("ref%1Offset").arg(1));
    QVERIFY(pBox);
    QVERIFY(editor(ViewType::Ref1)->isAncestorOf(pBox));
    pBox->setValue(offset);
    QCOMPARE(m_pWindow->getSession().getMovieSet().getOffset(1), offset);
    QCOMPARE(m_pWindow->getSession().getMovieSet().getOffset(2), 0);
    QCOMPARE(sliceWidget()->getSlider()->value(), frame);
    QCOMPARE(shownGray(), gray);
    QCOMPARE(sliceWidget()->grayAt(0, 0, frame), gray);
    QCOMPARE(statusText("readout"), readout);
    QCOMPARE(statusText("frame"), frameText);
    QCOMPARE(statusText("mismatch"), mismatch);

    // The metrics dock pairs the same frames.
    MetricsDock *pDock = m_pWindow->findChild<MetricsDock *>();
    pDock->show();
    QTRY_VERIFY(pDock->findChild<QProgressBar *>()->isHidden());
    const QAbstractItemModel *pRows = pDock->findChild<QTableView *>()->model();
    QList<int> listed; // frame indices; the dock shows them counted from 1
    for (int row = 0; row < pRows->rowCount(); ++row)
        listed << pRows->index(row, 0).data().toInt() - 1;
    QCOMPARE(listed, dockFrames);
    // Main - reference at sample 0 is 10 (f + 1) - (f - offset + 1), at the other three 9.
    const int first = dockFrames.first();
    const double difference = 10.0 * (first + 1) - (first - offset + 1);
    QCOMPARE(pRows->index(0, 2).data().toDouble(), (difference * difference + 3 * 81.0) / 4);
}

void TestMainWidget::referenceOffsetsFromTheCommandLine()
{
    const QString main = writeMovie("2x2x3=5");
    const QString reference = writeMovie("2x2x3=1");
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"rawcompare", "--size", "2x2", "--gray", main, "--ref1", reference,
                                "--ref2", reference, "--ref1-offset", "-1", "--ref2-offset=2"}),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QCOMPARE(m_pWindow->getSession().getMovieSet().getOffset(1), -1);
    QCOMPARE(m_pWindow->getSession().getMovieSet().getOffset(2), 2);
    QCOMPARE(m_pWindow->findChild<QSpinBox *>(QStringLiteral("ref%1Offset").arg(1))->value(), -1);
    QCOMPARE(m_pWindow->findChild<QSpinBox *>(QStringLiteral("ref%1Offset").arg(2))->value(), 2);
    // Reference 2 reaches main frame 2 + 3 - 1: five frames to step through.
    QCOMPARE(statusText("frame"), QStringLiteral("frame 1/5"));
    // Main frame 1 meets reference 1's last frame, main frame 2 none: 5 - 1, then 5 - 0.
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(ViewType::Diff1)->trigger();
    editor(ViewType::Diff1)->setValues(0, 255);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 1), 4);
    QCOMPARE(sliceWidget()->grayAt(0, 0, 2), 5);
}

void TestMainWidget::referenceFileOptionsFromTheCommandLine_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size"); // of reference 1 as loaded
    QTest::addColumn<int>("frames");

    // Reference 1 is 24 bytes: three 4x2 gray frames by the shared options.
    QTest::newRow("--ref1-size 2x2") << QStringList {"--ref1-size", "2x2"} << QSize(2, 2) << 6;
    QTest::newRow("--ref1-pix-fmt yuv420p")
            << QStringList {"--ref1-pix-fmt", "yuv420p"} << QSize(4, 2) << 2;
    QTest::newRow("--ref1-frames 1:2") << QStringList {"--ref1-frames", "1:2"} << QSize(4, 2) << 2;
    QTest::newRow("--ref1-plane u of yuv420p")
            << QStringList {"--ref1-pix-fmt", "yuv420p", "--ref1-plane", "u"} << QSize(2, 1) << 2;
}

void TestMainWidget::referenceFileOptionsFromTheCommandLine()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    QFETCH(int, frames);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare", "--size", "4x2", "--gray",
                                            writeMovie("4x2x2=5"), "--ref1", writeMovie("4x2x3=1")}
                               + options),
             CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QVERIFY(m_pDialogs->dimensionsShown.isEmpty() && m_pDialogs->warnings.isEmpty());
    const Image3D *pRef = movie(Session::Reference1);
    QVERIFY(pRef && movie(Session::Main));
    QCOMPARE(QSize(pRef->getWidth(), pRef->getHeight()), size);
    QCOMPARE(pRef->getNumFrames(), frames);
    QCOMPARE(movie(Session::Main)->getWidth(), 4); // still at --size
}

QTEST_MAIN(TestMainWidget)
#include "tst_mainwidget.moc"

void TestMainWidget::statusBar_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("steps"); // frames stepped forward
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("row"); // from the bottom
    QTest::addColumn<QString>("readout");
    QTest::addColumn<QString>("frame");

    // Main 4x2x2, all 10 but (1, 0, 0) = 20 and (2, 1, 1) = 30; reference 1 2x2x1, all 7.
    QTest::newRow("main view, both movies there")
            << int(ViewType::Main) << 0 << 1 << 0
            << "x 1  y 1  main 20  ref1 7  ref2   diff1 13  diff2 "
            << "frame 1/2";
    QTest::newRow("difference view, right of the smaller reference")
            << int(ViewType::Diff1) << 0 << 2 << 1
            << "x 2  y 0  main 10  ref1   ref2   diff1   diff2 "
            << "frame 1/2";
    QTest::newRow("reference view, past the reference's last frame")
            << int(ViewType::Ref1) << 1 << 2 << 1
            << "x 2  y 0  main 30  ref1   ref2   diff1   diff2 "
            << "frame 2/2";
    QTest::newRow("off the picture: no readout") << int(ViewType::Main) << 0 << 7 << 0 << ""
                                                 << "frame 1/2";
}

void TestMainWidget::statusBar()
{
    QFETCH(int, view);
    QFETCH(int, steps);
    QFETCH(int, x);
    QFETCH(int, row);
    QFETCH(QString, readout);
    QFETCH(QString, frame);

    QCOMPARE(m_pWindow->windowTitle(), QStringLiteral("rawcompare — (no main movie)"));
    QCOMPARE(statusText("frame"), QStringLiteral("frame 0/0"));
    load("Load main movie", "4x2x2=10,1:20,14:30");
    load("Load reference movie 1", "2x2x1=7");
    QCOMPARE(m_pWindow->windowTitle(),
             QStringLiteral("rawcompare — movie%1.raw vs movie%2.raw")
                     .arg(m_fileCount - 1)
                     .arg(m_fileCount));
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));

    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(view)->trigger();
    for (int i = 0; i < steps; ++i)
        sliceWidget()->stepSlice(1);
    QCOMPARE(statusText("zoom"), QStringLiteral("100 %"));
    // Pixels 8 screen pixels wide: the cursor falls inside the pixel aimed at.
    sliceWidget()->getView()->zoom(8);
    QCOMPARE(statusText("zoom"), QStringLiteral("800 %"));
    hover(x, row);
    QCOMPARE(statusText("readout"), readout);
    QCOMPARE(statusText("frame"), frame);
    QCOMPARE(statusText("view"), QString::fromUtf8(viewTexts[view]));

    // The readout follows the frame under a still cursor.
    sliceWidget()->stepSlice(steps ? -1 : 1);
    if (!readout.isEmpty())
        QVERIFY(statusText("readout") != readout);
    sliceWidget()->getView()->zoom(0.25);
    QCOMPARE(statusText("zoom"), QStringLiteral("200 %"));
}

void TestMainWidget::frameKeysWhereTheFocusIs_data()
{
    QTest::addColumn<QString>("target"); // the widget the key goes to
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("frame"); // after the key, from frame 2 of 0..4

    const int none = Qt::NoModifier;
    QTest::newRow("view, Page Up: next") << "view" << int(Qt::Key_PageUp) << none << 3;
    QTest::newRow("view, Left: previous") << "view" << int(Qt::Key_Left) << none << 1;
    QTest::newRow("slider, Right: next, one frame") << "slider" << int(Qt::Key_Right) << none << 3;
    QTest::newRow("slider, Page Down: previous, one frame")
            << "slider" << int(Qt::Key_PageDown) << none << 1;
    QTest::newRow("Auto scale button, Home: first") << "button" << int(Qt::Key_Home) << none << 0;
    QTest::newRow("toolbar, End: last") << "toolbar" << int(Qt::Key_End) << none << 4;
    QTest::newRow("keypad Page Up: next")
            << "view" << int(Qt::Key_PageUp) << int(Qt::KeypadModifier) << 3;
    QTest::newRow("Control+Right: not a frame key")
            << "view" << int(Qt::Key_Right) << int(Qt::ControlModifier) << 2;
    QTest::newRow("range field being edited, Page Up: the field's")
            << "field" << int(Qt::Key_PageUp) << none << 2;
    QTest::newRow("range field being edited, Home: the field's")
            << "field" << int(Qt::Key_Home) << none << 2;
}

void TestMainWidget::frameKeysWhereTheFocusIs()
{
    QFETCH(QString, target);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, frame);

    load("Load main movie", "2x2x5=3");
    sliceWidget()->stepSlice(2);
    QCOMPARE(sliceWidget()->getFixedCoordinate(), 2);
    QDoubleSpinBox *pField = editor(ViewType::Main)->findChild<QDoubleSpinBox *>("minimum");
    QWidget *pTarget = pField;
    if (target == "view")
        pTarget = sliceWidget()->getView();
    else if (target == "slider")
        pTarget = sliceWidget()->getSlider();
    else if (target == "button")
        pTarget = editor(ViewType::Main)->findChild<QPushButton *>();
    else if (target == "toolbar")
        pTarget = m_pWindow->findChild<QToolBar *>();
    pTarget->setFocus();
    QTest::keyClick(pTarget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(sliceWidget()->getFixedCoordinate(), frame);
    QCOMPARE(statusText("frame"), QStringLiteral("frame %1/5").arg(frame + 1));
    if (target == "field" && key == Qt::Key_PageUp)
        QCOMPARE(pField->value(), 10.0); // stepped by ten
}

void TestMainWidget::enterAppliesTheRangeAndReturnsToThePicture()
{
    load("Load main movie", "2x2x1=100");
    ScaleWidget *pEditor = editor(ViewType::Main);
    QDoubleSpinBox *pField = pEditor->findChild<QDoubleSpinBox *>("maximum");
    pField->setFocus();
    pField->selectAll();
    QTest::keyClicks(pField, QStringLiteral("200"));
    QTest::keyClick(pField, Qt::Key_Return);
    QCOMPARE(pField->value(), 200.0);
    // 100 of 0..200: gray 127.5, rounded up.
    QCOMPARE(sliceWidget()->grayAt(0, 0, 0), 128);
    QCOMPARE(m_pWindow->focusWidget(), sliceWidget()->getView());
    // The frame keys work again at once.
    QTest::keyClick(m_pWindow->focusWidget(), Qt::Key_End);
    QCOMPARE(pField->value(), 200.0);
}

void TestMainWidget::windowKeys_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("view"); // -1: the quit question
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        QTest::newRow(qPrintable(QStringLiteral("Ctrl+%1: %2").arg(view + 1).arg(viewTexts[view])))
                << QKeySequence(QStringLiteral("Ctrl+%1").arg(view + 1)) << view;
    QTest::newRow("Ctrl+Q: the quit question") << QKeySequence(QStringLiteral("Ctrl+Q")) << -1;
}

void TestMainWidget::windowKeys()
{
    QFETCH(QKeySequence, keys);
    QFETCH(int, view);
    m_pWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow.get()));
    // A view away from the one asked for, so that the key must change it.
    m_pWindow->menuBar()->actions().at(1)->menu()->actions().at(view == 0 ? 1 : 0)->trigger();
    m_pDialogs->questionAnswers.append(QMessageBox::No);
    QTest::keySequence(m_pWindow.get(), keys);
    if (view < 0) {
        QCOMPARE(m_pDialogs->questions.size(), 1);
        QCOMPARE(m_pDialogs->questions.first().text,
                 QStringLiteral("Are you sure you want to quit?"));
        QVERIFY(m_pWindow->isVisible());
    } else {
        QVERIFY(m_pDialogs->questions.isEmpty());
        QCOMPARE(sliceWidget()->getViewType(), view);
        QCOMPARE(statusText("view"), QString::fromUtf8(viewTexts[view]));
    }
}

namespace {

// The picture's rectangle on screen, in viewport pixels.
QRect pictureOnScreen(SliceView *pView)
{
    return pView->mapFromScene(pView->sceneRect()).boundingRect();
}

} // namespace

void TestMainWidget::windowFitsTheFirstMainMovie_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<bool>("actualSize"); // shown at 100 %
    QTest::newRow("small: 100 %") << "64x48x1=9" << true;
    QTest::newRow("wider than the screen: the largest fit") << "4000x32x1=9" << false;
    QTest::newRow("taller than the screen: the largest fit") << "32x3000x1=9" << false;
}

void TestMainWidget::windowFitsTheFirstMainMovie()
{
    QFETCH(QString, movie);
    QFETCH(bool, actualSize);
    load("Load main movie", movie);
    SliceView *pView = sliceWidget()->getView();
    // Within 90 % of the screen, unless the window can't be that small (the range editors
    // stacked are taller than 90 % of the offscreen screen).
    const QSize limit = (m_pWindow->screen()->availableGeometry().size() * 0.9)
                                .expandedTo(m_pWindow->minimumSizeHint());
    QVERIFY(m_pWindow->width() <= limit.width() + 1);
    QVERIFY(m_pWindow->height() <= limit.height() + 1);
    if (actualSize)
        QCOMPARE(statusText("zoom"), QStringLiteral("100 %"));
    else
        QVERIFY(pView->getZoom() < 1.0);
    // The whole picture in sight.
    const QRect picture = pictureOnScreen(pView);
    QVERIFY2(pView->viewport()->rect().adjusted(-1, -1, 1, 1).contains(picture),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(picture.x())
                                .arg(picture.y())
                                .arg(picture.width())
                                .arg(picture.height())));

    // Only the first main movie sizes the window.
    const QSize sized = m_pWindow->size();
    load("Load main movie", "8x8x1=1");
    QCOMPARE(m_pWindow->size(), sized);
}

void TestMainWidget::zoomKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("from"); // the zoom before the key
    QTest::addColumn<QString>("zoom"); // after; "fit": the picture fills the view one way
    QTest::newRow("+ zooms in a step") << int(Qt::Key_Plus) << 1.0 << "141 %";
    QTest::newRow("= (+ unshifted) zooms in") << int(Qt::Key_Equal) << 1.0 << "141 %";
    QTest::newRow("- zooms out a step") << int(Qt::Key_Minus) << 1.0 << "71 %";
    QTest::newRow("1: 100 %") << int(Qt::Key_1) << 3.0 << "100 %";
    QTest::newRow("F: fit to the window") << int(Qt::Key_F) << 0.5 << "fit";
}

void TestMainWidget::zoomKeys()
{
    QFETCH(int, key);
    QFETCH(double, from);
    QFETCH(QString, zoom);
    load("Load main movie", "64x48x1=9");
    m_pWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow.get()));
    SliceView *pView = sliceWidget()->getView();
    pView->setZoom(from);
    pView->setFocus();
    QTest::keyClick(pView, Qt::Key(key));
    if (zoom != "fit") {
        QCOMPARE(statusText("zoom"), zoom);
        return;
    }
    const QRect picture = pictureOnScreen(pView);
    const QRect room = pView->viewport()->rect();
    QVERIFY(room.adjusted(-1, -1, 1, 1).contains(picture));
    QVERIFY(qAbs(picture.width() - room.width()) <= 1
            || qAbs(picture.height() - room.height()) <= 1);
}

void TestMainWidget::spacePlaysAndPauses_data()
{
    QTest::addColumn<QString>("target"); // the widget Space goes to
    QTest::addColumn<bool>("plays");
    QTest::newRow("view: plays") << "view" << true;
    QTest::newRow("Auto scale button: plays, not pressed") << "button" << true;
    QTest::newRow("range field being edited: typed there") << "field" << false;
}

void TestMainWidget::spacePlaysAndPauses()
{
    QFETCH(QString, target);
    QFETCH(bool, plays);

    load("Load main movie", "2x2x5=3");
    QWidget *pTarget = editor(ViewType::Main)->findChild<QDoubleSpinBox *>("minimum");
    if (target == "view")
        pTarget = sliceWidget()->getView();
    else if (target == "button")
        pTarget = editor(ViewType::Main)->findChild<QPushButton *>();
    QSignalSpy autoPressed(editor(ViewType::Main), &ScaleWidget::automatic);
    Playback *pPlayback = m_pWindow->findChild<Playback *>();
    QSignalSpy playing(pPlayback, &Playback::playingChanged);
    pTarget->setFocus();
    QTest::keyClick(pTarget, Qt::Key_Space);
    QCOMPARE(pPlayback->isPlaying(), plays);
    QTest::keyClick(pTarget, Qt::Key_Space);
    QVERIFY(!pPlayback->isPlaying());
    QCOMPARE(playing.size(), plays ? 2 : 0);
    QCOMPARE(autoPressed.size(), 0);
    // The tool bar's button says what a press does.
    QAction *pPlay = m_pWindow->findChild<QToolBar *>()->actions().at(6);
    QCOMPARE(pPlay->text(), QStringLiteral("Play"));
    pPlay->trigger();
    QVERIFY(pPlayback->isPlaying());
    QCOMPARE(pPlay->text(), QStringLiteral("Pause"));
    pPlay->trigger();
    QVERIFY(!pPlayback->isPlaying());
}

void TestMainWidget::playbackShowsEveryFrameInOrderAndLoops()
{
    load("Load main movie", "2x2x5=3");
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    sliceWidget()->stepSlice(3);
    // The frame on screen at every paint of the view.
    QList<int> painted;
    connect(sliceWidget()->getView(), &SliceView::painted, this,
            [this, &painted]() { painted.append(sliceWidget()->getFixedCoordinate()); });
    frameRateBox()->setValue(1000);
    QTest::keyClick(sliceWidget()->getView(), Qt::Key_Space);
    QTRY_VERIFY(painted.size() >= 14);
    QTest::keyClick(sliceWidget()->getView(), Qt::Key_Space);
    QVERIFY(!m_pWindow->findChild<Playback *>()->isPlaying());
    // Repaints of one frame aside, each frame shown follows the one before: 3, 4, 0, 1, ...
    QList<int> shown;
    for (const int frame : painted) {
        if (shown.isEmpty() || shown.last() != frame)
            shown.append(frame);
    }
    QVERIFY2(shown.size() >= 8, qPrintable(QString::number(shown.size())));
    for (int i = 1; i < shown.size(); ++i)
        QCOMPARE(shown.at(i), (shown.at(i - 1) + 1) % 5);
    QVERIFY(shown.contains(0) && shown.contains(4));
    // Paused: the frame stays.
    const int stopped = sliceWidget()->getFixedCoordinate();
    QCoreApplication::processEvents();
    QCOMPARE(sliceWidget()->getFixedCoordinate(), stopped);
}

void TestMainWidget::frameRateSetsTheInterval_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("interval"); // ms
    QTest::newRow("25 fps (the default): 40 ms") << 25.0 << 40;
    QTest::newRow("29.97 fps: 33 ms") << 29.97 << 33;
    QTest::newRow("1000 fps: 1 ms") << 1000.0 << 1;
    QTest::newRow("1 fps (the least): 1000 ms") << 0.5 << 1000;
}

void TestMainWidget::frameRateSetsTheInterval()
{
    QFETCH(double, rate);
    QFETCH(int, interval);
    QCOMPARE(frameRateBox()->value(), 25.0);
    frameRateBox()->setValue(rate);
    QCOMPARE(m_pWindow->findChild<Playback *>()->findChild<QTimer *>()->interval(), interval);
}

void TestMainWidget::y4mRateBecomesThePlaybackRate()
{
    // A 2x2 mono y4m of two frames at 30000/1001 fps, then a headerless movie: the rate stays.
    const QString name = path(QStringLiteral("clip.y4m"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("YUV4MPEG2 W2 H2 F30000:1001 Ip A1:1 Cmono\nFRAME\n\x01\x02\x03\x04"
               "FRAME\n\x05\x06\x07\x08");
    file.close();
    m_pDialogs->openAnswers.append({true, m_pDir->path(), {name}});
    fileAction("Load main movie")->trigger();
    QCOMPARE(movie(Session::Main)->getNumFrames(), 2);
    QCOMPARE(frameRateBox()->value(), 29.97);
    QCOMPARE(m_pWindow->findChild<Playback *>()->getInterval(), 33);
    load("Load reference movie 1", "2x2x1=3");
    load("Load main movie", "2x2x3=3");
    QCOMPARE(frameRateBox()->value(), 29.97);
}

void TestMainWidget::playbackSurvivesSteppingLoadingAndClearing()
{
    load("Load main movie", "2x2x5=3");
    load("Load reference movie 1", "2x2x3=1");
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    frameRateBox()->setValue(1000);
    Playback *pPlayback = m_pWindow->findChild<Playback *>();
    QSignalSpy positions(sliceWidget(), &SliceWidget::slicePosition);
    pPlayback->play();
    QTRY_VERIFY(positions.size() >= 3);
    // By hand while playing: playing goes on from there.
    QTest::keyClick(sliceWidget()->getView(), Qt::Key_Home);
    QTRY_VERIFY(sliceWidget()->getFixedCoordinate() > 0);
    // Loading a longer main movie, then clearing the reference, while playing.
    load("Load main movie", "2x2x7=9");
    QVERIFY(pPlayback->isPlaying());
    fileAction("Clear reference movie 1")->trigger();
    positions.clear();
    QTRY_VERIFY(positions.size() >= 10);
    for (const QList<QVariant> &position : positions)
        QCOMPARE(position.at(1).toInt(), 7);
    // Clearing the last movie: nothing to play, nothing breaks.
    fileAction("Clear main movie")->trigger();
    QVERIFY(pPlayback->isPlaying());
    QCoreApplication::processEvents();
    QCOMPARE(sliceWidget()->getFixedCoordinate(), 0);
    pPlayback->pause();
}

void TestMainWidget::autoScaleOptions_data()
{
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("ref1");
    QTest::addColumn<int>("view");
    QTest::addColumn<bool>("thisFrame");
    QTest::addColumn<bool>("outliers");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");

    // 40x50 frames of 100 (2000 samples); frame 0 also holds 0 and 255 once, frame 1 (shown)
    // 10 once and 20 twice. One frame: k = floor(0.001 * 1999) = 1; both: k = 3.
    const QString movie = QStringLiteral("40x50x2=100,0:0,1999:255,2000:10,2001:20,2002:20");
    QTest::newRow("Main, this frame: frame 1's extremes")
            << movie << "" << int(ViewType::Main) << true << false << 10.f << 100.f;
    QTest::newRow("Main, this frame without outliers: the 10 and one 20 left out")
            << movie << "" << int(ViewType::Main) << true << true << 20.f << 100.f;
    QTest::newRow("Main, movie without outliers: 0, 10 and one 20 left out below, 255 above")
            << movie << "" << int(ViewType::Main) << false << true << 20.f << 100.f;
    QTest::newRow("Difference 1, this frame: main - 100")
            << movie << "40x50x2=100" << int(ViewType::Diff1) << true << false << -90.f << 0.f;
}

void TestMainWidget::autoScaleOptions()
{
    QFETCH(QString, main);
    QFETCH(QString, ref1);
    QFETCH(int, view);
    QFETCH(bool, thisFrame);
    QFETCH(bool, outliers);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);

    load("Load main movie", main);
    if (!ref1.isEmpty())
        load("Load reference movie 1", ref1);
    sliceWidget()->stepSlice(1);
    ScaleWidget *pEditor = editor(view);
    pEditor->findChild<QCheckBox *>("thisFrame")->setChecked(thisFrame);
    pEditor->findChild<QCheckBox *>("ignoreOutliers")->setChecked(outliers);
    pEditor->findChild<QPushButton *>()->click();
    QCOMPARE(float(pEditor->findChild<QDoubleSpinBox *>("minimum")->value()), minValue);
    QCOMPARE(float(pEditor->findChild<QDoubleSpinBox *>("maximum")->value()), maxValue);
    // One frame needs no progress dialog.
    QVERIFY(m_pDialogs->warnings.isEmpty());
}

void TestMainWidget::differenceJumps_data()
{
    // Main 2x2 / reference 1 3x2 (column 2 not compared) / reference 2 2x2; thresholds 2.
    QTest::addColumn<QString>("movies");
    QTest::addColumn<int>("view"); // ViewType
    QTest::addColumn<QString>("keys"); // from the first frame
    QTest::addColumn<int>("offset"); // of reference 1
    QTest::addColumn<QString>("shown"); // frame, frames the keys read, note
    QTest::newRow("main view: reference 1's; 2 is not above 2, -3 is; nothing read after")
            << "0 2 0 -3 9/0 0 0 0 0/0 5 0 0 0" << 0 << "N" << 0 << "frame 4/5, 6 read";
    QTest::newRow("offset 2: main f against reference f - 2, frames without it skipped")
            << "7 7 7 7 7/7 7 1/" << 3 << "N" << 2 << "frame 5/5, 6 read";
    QTest::newRow("difference 2, Shift+N from the last: reference 2's, that frame left out")
            << "0 0 0 0 0/0 0 9 0 0/0 5 0 0 7" << 4 << "End, Shift+N" << 0 << "frame 2/5, 8 read";
    QTest::newRow("only reference 2, none above 2 after: the frame stays, a note")
            << "0 0 0//0 0 2" << 0 << "N" << 0
            << "frame 1/3, 4 read No difference above 2 after frame 1";
    QTest::newRow("cancelled at the third frame: the frame stays, nothing said")
            << "0 0 0 0 9/0 0 0 0 0/" << 3 << "N" << 0 << "frame 1/5, 6 read";
}

void TestMainWidget::differenceJumps()
{
    QFETCH(QString, movies);
    QFETCH(int, view);
    QFETCH(QString, keys);
    QFETCH(int, offset);
    QFETCH(QString, shown);
    Session &session = m_pWindow->getSession();
    int reads = 0;
    const QStringList parts = movies.split(QLatin1Char('/'));
    for (int slot = Session::Main; slot <= Session::Reference2; ++slot)
        session.setMovie(slot, onDemandMovie(slot == 1 ? 3 : 2, parts.at(slot), reads));
    for (int ref : {1, 2})
        session.setDifferenceDisplay(ref, {DifferenceDisplay::Mode::Signed, 2.0f});
    session.setOffset(1, offset);
    session.setViewType(view);
    // The user cancels once three frames are looked at: only the cancel row's search gets there.
    m_pDialogs->cancelProgressAt = 3;
    m_pWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow.get()));
    reads = 0;
    QTest::keySequence(sliceWidget()->getView(), QKeySequence(keys));
    const QString note = m_pWindow->statusBar()->currentMessage();
    QCOMPARE(statusText("frame") + QStringLiteral(", %1 read %2").arg(reads).arg(note).trimmed(),
             shown);
}

void TestMainWidget::findOffsetButton_data()
{
    QTest::addColumn<int>("shift"); // reference frame g shows the main movie's frame g + shift
    QTest::addColumn<bool>("unrelated");
    QTest::addColumn<int>("offset"); // in the box afterwards
    QTest::newRow("reference 4 frames ahead") << 4 << false << 4;
    QTest::newRow("reference 9 frames behind") << -9 << false << -9;
    QTest::newRow("unrelated: the box keeps its 2") << 0 << true << 2;
}

void TestMainWidget::findOffsetButton()
{
    QFETCH(int, shift);
    QFETCH(bool, unrelated);
    QFETCH(int, offset);
    Session &session = m_pWindow->getSession();
    session.setMovie(Session::Main, movingMovie(0, 1, unrelated));
    session.setMovie(Session::Reference1, movingMovie(shift, 2, unrelated));
    session.setOffset(1, 2);
    auto *pButton = m_pWindow->findChild<QPushButton *>("ref1FindOffset");
    QVERIFY(pButton && pButton->isEnabled());
    QVERIFY(!m_pWindow->findChild<QPushButton *>("ref2FindOffset")->isEnabled());
    pButton->click();
    QCOMPARE(session.getOffset(1), offset);
    QCOMPARE(m_pWindow->findChild<QSpinBox *>("ref1Offset")->value(), offset);
    QCOMPARE(m_pWindow->statusBar()->currentMessage().contains("no clear offset"), unrelated);
}
