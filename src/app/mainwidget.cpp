#include "mainwidget.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include <QAction>
#include <QAbstractSpinBox>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "commandline.h"
#include "dialogprovider.h"
#include "displayrange.h"
#include "formatwriter.h"
#include "image3d.h"
#include "metricsdock.h"
#include "movieloader.h"
#include "movierange.h"
#include "pixelformat.h"
#include "movieset.h"
#include "moviewriter.h"
#include "pngwriter.h"
#include "percentilerange.h"
#include "playback.h"
#include "scalewidget.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "statustexts.h"
#include "viewtype.h"

MainWidget::MainWidget()
    : QMainWindow(nullptr)
    , m_pDialogs(std::make_unique<DialogProvider>())
    , m_frameCacheBudget(FrameCache::defaultBudget())
{
    auto *pCentral = new QWidget(this);
    auto *pRowLayout = new QHBoxLayout(pCentral);
    m_pSliceWidget = new SliceWidget(pCentral);
    auto *pColumn = new QWidget(pCentral);
    pRowLayout->addWidget(m_pSliceWidget);
    pRowLayout->addWidget(pColumn);
    // Nearly all extra width goes to the slice view.
    pRowLayout->setStretchFactor(m_pSliceWidget, 1024);
    pRowLayout->setStretchFactor(pColumn, 1);

    auto *pColumnLayout = new QVBoxLayout(pColumn);
    const char *titles[5] = {"Main", "Reference 1", "Reference 2", "Difference 1", "Difference 2"};
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        m_pScaleWidgets[view] = new ScaleWidget(QString::fromUtf8(titles[view]), pColumn);
        pColumnLayout->addWidget(m_pScaleWidgets[view]);
    }
    m_pPositionLabel = new QLabel(pColumn);
    pColumnLayout->addWidget(m_pPositionLabel);
    createOffsetBoxes();
    setCentralWidget(pCentral);
    m_pMetricsDock = new MetricsDock(this);
    addDockWidget(Qt::RightDockWidgetArea, m_pMetricsDock);
    // Shown from the View menu; while hidden it computes nothing.
    m_pMetricsDock->hide();

    createMenus();
    createStatusBar();
    createKeys();
    createRecentMenu();
    setAcceptDrops(true);
    m_reportStatus = qEnvironmentVariableIsSet("RAWCOMPARE_STATUS_TO_STDERR");
    restoreSettings();
    createPlayback();
    show();

    connect(m_pScaleWidgets[ViewType::Main], &ScaleWidget::range, this, &MainWidget::onMainRange);
    connect(m_pScaleWidgets[ViewType::Ref1], &ScaleWidget::range, this, &MainWidget::onRef1Range);
    connect(m_pScaleWidgets[ViewType::Ref2], &ScaleWidget::range, this, &MainWidget::onRef2Range);
    connect(m_pScaleWidgets[ViewType::Diff1], &ScaleWidget::range, this, &MainWidget::onDiff1Range);
    connect(m_pScaleWidgets[ViewType::Diff2], &ScaleWidget::range, this, &MainWidget::onDiff2Range);
    connect(m_pScaleWidgets[ViewType::Main], &ScaleWidget::automatic, this,
            &MainWidget::onMainAuto);
    connect(m_pScaleWidgets[ViewType::Ref1], &ScaleWidget::automatic, this,
            &MainWidget::onRef1Auto);
    connect(m_pScaleWidgets[ViewType::Ref2], &ScaleWidget::automatic, this,
            &MainWidget::onRef2Auto);
    connect(m_pScaleWidgets[ViewType::Diff1], &ScaleWidget::automatic, this,
            &MainWidget::onDiff1Auto);
    connect(m_pScaleWidgets[ViewType::Diff2], &ScaleWidget::automatic, this,
            &MainWidget::onDiff2Auto);
    connect(m_pSliceWidget, &SliceWidget::slicePosition, this, &MainWidget::onSlicePosition);
    connect(m_pSliceWidget, &SliceWidget::slicePosition, this, &MainWidget::onStatusPosition);
    connect(m_pSliceWidget, &SliceWidget::slicePosition, this,
            [this](int, int numSlices) { m_pExportAction->setEnabled(numSlices > 0); });
    connect(m_pSliceWidget, &SliceWidget::pixelHovered, this, &MainWidget::onPixelHovered);
    connect(m_pSliceWidget->getView(), &SliceView::zoomChanged, this, &MainWidget::onZoomChanged);
    // Queued: the warning's own event loop must not run inside the slice widget's redraw.
    connect(m_pSliceWidget, &SliceWidget::renderFailed, this, &MainWidget::onRenderFailed,
            Qt::QueuedConnection);
    connect(
            m_pSliceWidget, &SliceWidget::frameUnreadable, this,
            [this](const QString &message) {
                m_pDialogs->warning(this, QStringLiteral("Warning"), message);
            },
            Qt::QueuedConnection);
    connect(m_pSliceWidget, &SliceWidget::slicePosition, m_pMetricsDock,
            [this](int pos, int) { m_pMetricsDock->setCurrentFrame(pos); });
    connect(m_pMetricsDock, &MetricsDock::frameChosen, m_pSliceWidget,
            [this](int frame) { m_pSliceWidget->getSlider()->setValue(frame); });

    // Through the editors, so editors and slice widget agree from the start; the redraws this
    // causes also set the position label to "0/0".
    m_pScaleWidgets[ViewType::Main]->setValues(0, 255);
    m_pScaleWidgets[ViewType::Ref1]->setValues(0, 255);
    m_pScaleWidgets[ViewType::Ref2]->setValues(0, 255);
    m_pScaleWidgets[ViewType::Diff1]->setValues(-128, 128);
    m_pScaleWidgets[ViewType::Diff2]->setValues(-128, 128);
}

MainWidget::~MainWidget()
{
    m_pMetricsDock->stopComputing();
    m_pMainMovie.reset();
    m_pReference1.reset();
    m_pReference2.reset();
}

void MainWidget::createMenus()
{
    QMenu *pFileMenu = menuBar()->addMenu(QStringLiteral("File"));
    auto addFileAction = [&](const char *text, void (MainWidget::*slot)()) {
        auto *pAction = new QAction(QString::fromUtf8(text), this);
        connect(pAction, &QAction::triggered, this, slot);
        pFileMenu->addAction(pAction);
    };
    addFileAction("Load main movie", &MainWidget::onLoadMainMovie);
    addFileAction("Load reference movie 1", &MainWidget::onLoadReference1);
    addFileAction("Load reference movie 2", &MainWidget::onLoadReference2);
    pFileMenu->addSeparator();
    addFileAction("Clear main movie", &MainWidget::onClearMainMovie);
    addFileAction("Clear reference movie 1", &MainWidget::onClearReference1);
    addFileAction("Clear reference movie 2", &MainWidget::onClearReference2);
    pFileMenu->addSeparator();
    addFileAction("Save main movie", &MainWidget::onSaveMainMovie);
    addFileAction("Export view as PNG\u2026", &MainWidget::onExportView);
    m_pExportAction = pFileMenu->actions().constLast();
    m_pExportAction->setEnabled(false);

    QMenu *pViewMenu = menuBar()->addMenu(QStringLiteral("View"));
    QToolBar *pToolBar = addToolBar(QStringLiteral("View"));
    pToolBar->setObjectName(QStringLiteral("viewToolBar")); // named for saveState()
    auto *pGroup = new QActionGroup(this);
    const char *texts[5] = {"Main movie", "Reference movie 1", "Reference movie 2",
                            "Difference: main-ref1", "Difference: main-ref2"};
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        m_pViewActions[view] = new QAction(QString::fromUtf8(texts[view]), pGroup);
        m_pViewActions[view]->setCheckable(true);
        pViewMenu->addAction(m_pViewActions[view]);
        pToolBar->addAction(m_pViewActions[view]);
    }
    // Checking emits no triggered(): the slice widget starts on Main by itself.
    m_pViewActions[ViewType::Main]->setChecked(true);
    connect(pGroup, &QActionGroup::triggered, this, &MainWidget::onViewChanged);
    pViewMenu->addSeparator();
    pViewMenu->addAction(m_pMetricsDock->toggleViewAction());
    pViewMenu->addAction(QStringLiteral("Frame cache size…"), this, &MainWidget::onFrameCacheSize);
    // Showing the dock widens the window by the dock's width, as far as the screen allows, so
    // that the slice view keeps its room.
    connect(m_pMetricsDock->toggleViewAction(), &QAction::triggered, this, [this](bool shown) {
        if (!shown || m_pMetricsDock->isFloating())
            return;
        const int wanted = width() + m_pMetricsDock->sizeHint().width();
        resize(screen() ? std::min(wanted, screen()->availableGeometry().width()) : wanted,
               height());
    });
}

void MainWidget::setDialogProvider(std::unique_ptr<DialogProvider> pDialogs)
{
    if (pDialogs)
        m_pDialogs = std::move(pDialogs);
}

bool MainWidget::loadMovie(std::unique_ptr<Image3D> &slot)
{
    MovieLoader loader(this, *m_pDialogs, m_loadSettings);
    return loader.loadMovie(slot);
}

QStringList MainWidget::openFromCommandLine(const CommandLine &commandLine)
{
    if (commandLine.hasSize()) {
        m_loadSettings.frameWidth = commandLine.getFrameWidth();
        m_loadSettings.frameHeight = commandLine.getFrameHeight();
    }
    if (commandLine.hasSize() || !commandLine.getPixelFormat().isEmpty()) {
        const QString format = commandLine.getPixelFormat().isEmpty()
                ? QStringLiteral("yuv420p")
                : commandLine.getPixelFormat();
        m_loadSettings.pixelFormat = format;
        m_loadSettings.isYUV = format == QLatin1String("yuv420p");
        m_loadSettings.formatGiven = !commandLine.getPixelFormat().isEmpty();
    }
    if (commandLine.hasPlane())
        m_loadSettings.plane = commandLine.getPlane();
    if (commandLine.getFrameCacheMiB() > 0)
        setFrameCacheBudget(qint64(commandLine.getFrameCacheMiB()) << 20);
    for (int ref = 1; ref <= 2; ++ref)
        setReferenceOffset(ref, commandLine.getReferenceOffset(ref));
    // A size answers the dimensions question; without one, a file's name may.
    const bool askDimensions = !commandLine.hasSize();

    m_pMetricsDock->stopComputing();
    MovieLoader loader(this, *m_pDialogs, m_loadSettings);
    loader.setSizeFromNames(!commandLine.hasSize());
    loader.setFrameRange(commandLine.getFirstFrame(), commandLine.getFrameCount());
    const std::pair<std::unique_ptr<Image3D> *, QStringList> loads[3]
            = {{&m_pMainMovie, commandLine.getMainFiles()},
               {&m_pReference1, commandLine.getReference1Files()},
               {&m_pReference2, commandLine.getReference2Files()}};
    for (const auto &load : loads) {
        if (!load.second.isEmpty() && loader.loadFiles(*load.first, load.second, askDimensions)) {
            rememberLoad(int(&load - loads), loader, !commandLine.hasSize());
            showMovies();
            widenStartingRanges();
            if (load.first == &m_pMainMovie)
                adoptFrameRate();
        }
    }
    m_pMetricsDock->resumeComputing();
    m_loadSettings.formatGiven = false;
    return loader.takeNotes();
}

void MainWidget::loadInto(std::unique_ptr<Image3D> &slot)
{
    const int slotIndex = &slot == &m_pMainMovie ? 0 : (&slot == &m_pReference1 ? 1 : 2);
    loadWith(slotIndex, false, [&slot](MovieLoader &loader) { return loader.loadMovie(slot); });
}

bool MainWidget::loadWith(int slotIndex, bool sizeFromNames,
                          const std::function<bool(MovieLoader &)> &load)
{
    // The dock's worker reads the movies: it stops before one is replaced.
    m_pMetricsDock->stopComputing();
    // The loading flow runs dialogs, and so the event loop: no step while a slot may change.
    const bool playing = m_pPlayback->isPlaying();
    m_pPlayback->pause();
    MovieLoader loader(this, *m_pDialogs, m_loadSettings);
    loader.setSizeFromNames(sizeFromNames);
    const bool loaded = load(loader);
    saveLoadSettings();
    if (loaded) {
        rememberLoad(slotIndex, loader, sizeFromNames);
        showMovies();
        widenStartingRanges();
        if (slotIndex == 0)
            adoptFrameRate();
    } else {
        m_pMetricsDock->resumeComputing();
    }
    if (playing)
        m_pPlayback->play();
    return loaded;
}

void MainWidget::createPlayback()
{
    m_pPlayback = new Playback(m_pSliceWidget, this);
    // After the view buttons in the one tool bar.
    auto *pToolBar = findChild<QToolBar *>();
    pToolBar->addSeparator();
    auto *pPlay = pToolBar->addAction(QStringLiteral("Play"));
    pPlay->setCheckable(true);
    pPlay->setToolTip(QStringLiteral("Play / pause (Space)"));
    connect(pPlay, &QAction::triggered, m_pPlayback, [this](bool play) {
        if (play)
            m_pPlayback->play();
        else
            m_pPlayback->pause();
    });
    connect(m_pPlayback, &Playback::playingChanged, pPlay, [pPlay](bool playing) {
        pPlay->setChecked(playing);
        pPlay->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    });
    m_pFrameRateBox = new QDoubleSpinBox(pToolBar);
    m_pFrameRateBox->setObjectName(QStringLiteral("frameRate"));
    m_pFrameRateBox->setRange(1, 1000);
    m_pFrameRateBox->setDecimals(2);
    m_pFrameRateBox->setSuffix(QStringLiteral(" fps"));
    m_pFrameRateBox->setToolTip(QStringLiteral("Frames per second of playback"));
    m_pFrameRateBox->setValue(m_pPlayback->getFrameRate());
    connect(m_pFrameRateBox, &QDoubleSpinBox::valueChanged, m_pPlayback, &Playback::setFrameRate);
    pToolBar->addWidget(m_pFrameRateBox);
}

void MainWidget::adoptFrameRate()
{
    if (m_pMainMovie && m_pMainMovie->getFrameRate() > 0)
        m_pFrameRateBox->setValue(m_pMainMovie->getFrameRate());
}

void MainWidget::widenStartingRanges()
{
    // The same starting ranges as the headless export's.
    const MovieSet movies(m_pMainMovie.get(), m_pReference1.get(), m_pReference2.get());
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        const DisplayRange start = DisplayRange::starting(view, MovieSet());
        const DisplayRange wide = DisplayRange::starting(view, movies);
        const ScaleWidget *pEditor = m_pScaleWidgets[view];
        if (wide != start && pEditor->getMinimumField()->value() == start.minValue
            && pEditor->getMaximumField()->value() == start.maxValue)
            m_pScaleWidgets[view]->setValues(wide.minValue, wide.maxValue);
    }
}

void MainWidget::onLoadMainMovie() { loadInto(m_pMainMovie); }

void MainWidget::onLoadReference1() { loadInto(m_pReference1); }

void MainWidget::onLoadReference2() { loadInto(m_pReference2); }

void MainWidget::clearSlot(std::unique_ptr<Image3D> &slot)
{
    if (!slot)
        return;
    m_pMetricsDock->stopComputing();
    slot.reset();
    showMovies();
}

void MainWidget::onClearMainMovie() { clearSlot(m_pMainMovie); }

void MainWidget::onClearReference1() { clearSlot(m_pReference1); }

void MainWidget::onClearReference2() { clearSlot(m_pReference2); }

void MainWidget::showMovies()
{
    shareFrameCacheBudget();
    const MovieSet movies = getMovieSet();
    m_pSliceWidget->setMovies(movies);
    m_pMetricsDock->setMovies(movies);
}

MovieSet MainWidget::getMovieSet() const
{
    return MovieSet(m_pMainMovie.get(), m_pReference1.get(), m_pReference2.get(),
                    m_referenceOffsets[0], m_referenceOffsets[1]);
}

void MainWidget::createOffsetBoxes()
{
    for (int ref = 1; ref <= 2; ++ref) {
        ScaleWidget *pEditor = m_pScaleWidgets[ref == 1 ? ViewType::Ref1 : ViewType::Ref2];
        auto *pBox = new QSpinBox(pEditor);
        pBox->setObjectName(QStringLiteral("ref%1Offset").arg(ref));
        pBox->setRange(-CommandLine::maxReferenceOffset, CommandLine::maxReferenceOffset);
        // Applied on Enter, the arrows or leaving the field, not at every digit typed.
        pBox->setKeyboardTracking(false);
        pBox->setToolTip(QStringLiteral("The main frame this reference's first frame is shown "
                                        "with: its frame f - offset is compared with main frame "
                                        "f (--ref%1-offset)")
                                 .arg(ref));
        // In the reference's own box, below its range.
        pEditor->addField(QStringLiteral("Offset"), pBox);
        m_pOffsetBoxes[ref - 1] = pBox;
        connect(pBox, &QSpinBox::valueChanged, this,
                [this, ref](int offset) { setReferenceOffset(ref, offset); });
    }
}

void MainWidget::setReferenceOffset(int ref, int offset)
{
    const int index = ref == 2 ? 1 : 0;
    offset = std::clamp(offset, -CommandLine::maxReferenceOffset, CommandLine::maxReferenceOffset);
    {
        const QSignalBlocker blocker(m_pOffsetBoxes[index]);
        m_pOffsetBoxes[index]->setValue(offset);
    }
    if (offset == m_referenceOffsets[index])
        return;
    // The dock's worker reads the movies with the old pairing: it stops first.
    m_pMetricsDock->stopComputing();
    m_referenceOffsets[index] = offset;
    showMovies();
}

void MainWidget::setFrameCacheBudget(qint64 bytes)
{
    m_frameCacheBudget = std::max<qint64>(bytes, 0);
    shareFrameCacheBudget();
}

void MainWidget::shareFrameCacheBudget()
{
    std::vector<FrameCache *> caches;
    for (const auto *pSlot : {&m_pMainMovie, &m_pReference1, &m_pReference2}) {
        if (*pSlot && (*pSlot)->getFrameCache())
            caches.push_back((*pSlot)->getFrameCache());
    }
    for (FrameCache *pCache : caches)
        pCache->setBudget(m_frameCacheBudget / qint64(caches.size()));
}

void MainWidget::onFrameCacheSize()
{
    int mebibytes = 0;
    if (m_pDialogs->getInteger(
                this, QStringLiteral("Frame cache size"),
                QStringLiteral("Memory for the frames read from files, shared by "
                               "the movies (MiB):"),
                int(std::min<qint64>(m_frameCacheBudget >> 20, CommandLine::maxFrameCacheMiB)),
                CommandLine::minFrameCacheMiB, CommandLine::maxFrameCacheMiB, mebibytes)) {
        setFrameCacheBudget(qint64(mebibytes) << 20);
        QSettings settings;
        if (settings.status() == QSettings::NoError)
            settings.setValue(QStringLiteral("frameCache/mebibytes"), mebibytes);
    }
}

void MainWidget::onSaveMainMovie()
{
    const QString title = QStringLiteral("Warning");
    if (!m_pMainMovie || m_pMainMovie->getWidth() <= 0 || m_pMainMovie->getHeight() <= 0
        || m_pMainMovie->getNumFrames() <= 0) {
        m_pDialogs->warning(this, title, QStringLiteral("Nothing to save"));
        return;
    }
    // 8-bit YUV 4:2:0 stays the first choice; y4m keeps 16 bits for movies deeper than 8.
    const QString yuv8 = QStringLiteral("YUV files (*.yuv)");
    const QString yuv16 = QStringLiteral("16-bit YUV 4:2:0 files, yuv420p16le (*.yuv)");
    const QString y4m = QStringLiteral("Y4M files (*.y4m)");
    QString chosen = yuv8;
    const QString fileName = m_pDialogs->getSaveFileName(this, QStringLiteral("Save"), QString(),
                                                         yuv8 + ";;" + yuv16 + ";;" + y4m, &chosen);
    if (fileName.isNull())
        return;
    const bool sixteenBit = chosen == yuv16 || (chosen == y4m && m_pMainMovie->getDepth() > 8);
    if (!sixteenBit && FormatWriter::hasSampleAbove(*m_pMainMovie, 255.0f)
        && m_pDialogs->question(this, title,
                                QStringLiteral("The main movie has samples above 255, which the "
                                               "8-bit file will hold as 255.\n"
                                               "Save it clipped?"),
                                QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save)
                != QMessageBox::Save)
        return;

    const std::string name = fileName.toStdString();
    errno = 0;
    const ProgressCallback progress
            = m_pDialogs->progress(this, QStringLiteral("Saving the main movie..."));
    const MovieWriter::Result result = chosen == y4m
            ? FormatWriter::writeY4m(*m_pMainMovie, name, sixteenBit, progress)
            : sixteenBit ? FormatWriter::writeYUV16(*m_pMainMovie, name, progress)
                         : MovieWriter::writeYUV(*m_pMainMovie, name, progress);
    // The system's reason, as the failing open or write left it.
    const QString reason = errno ? QStringLiteral("\n%1: %2")
                                           .arg(QFileInfo(fileName).fileName(),
                                                QString::fromLocal8Bit(std::strerror(errno)))
                                 : QString();
    switch (result) {
    case MovieWriter::Result::Written:
        break;
    case MovieWriter::Result::OpenFailed:
        m_pDialogs->warning(this, title,
                            QStringLiteral("Unable to open specified file for writing") + reason);
        break;
    case MovieWriter::Result::WriteFailed:
        m_pDialogs->warning(
                this, title,
                QStringLiteral("The file %1 could not be written completely").arg(fileName)
                        + reason);
        break;
    case MovieWriter::Result::Cancelled:
        break;
    case MovieWriter::Result::ReadFailed:
        m_pDialogs->warning(this, title, QString::fromStdString(m_pMainMovie->getFrameError()));
        break;
    case MovieWriter::Result::OutOfMemory:
        m_pDialogs->warning(this, title,
                            QStringLiteral("Not enough memory to save the main movie"));
        break;
    }
}

void MainWidget::onExportView()
{
    const QString title = QStringLiteral("Warning");
    if (m_pSliceWidget->getMovies().getNumFrames() <= 0 || m_pSliceWidget->getImageWidth() <= 0
        || m_pSliceWidget->getImageHeight() <= 0) {
        m_pDialogs->warning(this, title, QStringLiteral("Nothing to export"));
        return;
    }
    QString fileName
            = m_pDialogs->getSaveFileName(this, QStringLiteral("Export view as PNG"),
                                          QString::fromStdString(m_loadSettings.lastDirectory),
                                          QStringLiteral("PNG pictures (*.png)"));
    if (fileName.isNull())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".png");
    const QImage slice = m_pSliceWidget->renderSlice();
    if (slice.isNull()) {
        m_pDialogs->warning(this, title, QStringLiteral("Not enough memory to export the view"));
        return;
    }
    QString reason;
    if (!PngWriter::write(slice, fileName, &reason))
        m_pDialogs->warning(this, title,
                            QStringLiteral("Unable to write the picture\n%1: %2")
                                    .arg(QFileInfo(fileName).fileName(), reason));
}

void MainWidget::onViewChanged(QAction *pAction)
{
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        if (m_pViewActions[view] == pAction) {
            m_pSliceWidget->setViewType(view);
            return;
        }
    }
    m_pDialogs->warning(this, QStringLiteral("Warning"), QStringLiteral("Unknown view type"));
}

void MainWidget::onMainRange(float minValue, float maxValue)
{
    m_pSliceWidget->setMainRange(minValue, maxValue);
}

void MainWidget::onRef1Range(float minValue, float maxValue)
{
    m_pSliceWidget->setRef1Range(minValue, maxValue);
}

void MainWidget::onRef2Range(float minValue, float maxValue)
{
    m_pSliceWidget->setRef2Range(minValue, maxValue);
}

void MainWidget::onDiff1Range(float minValue, float maxValue)
{
    m_pSliceWidget->setDiff1Range(minValue, maxValue);
}

void MainWidget::onDiff2Range(float minValue, float maxValue)
{
    m_pSliceWidget->setDiff2Range(minValue, maxValue);
}

void MainWidget::onMainAuto() { setAutomaticRange(ViewType::Main); }

void MainWidget::onRef1Auto() { setAutomaticRange(ViewType::Ref1); }

void MainWidget::onRef2Auto() { setAutomaticRange(ViewType::Ref2); }

void MainWidget::onDiff1Auto() { setAutomaticRange(ViewType::Diff1); }

void MainWidget::onDiff2Auto() { setAutomaticRange(ViewType::Diff2); }

// Only the editor is filled; its change signals carry the range on to the slice widget through
// the range slots.
void MainWidget::setAutomaticRange(int viewType)
{
    float minValue = 0;
    float maxValue = 0;
    const Image3D *pMovies[3] = {m_pMainMovie.get(), m_pReference1.get(), m_pReference2.get()};
    const int reference = viewType == ViewType::Diff1 ? 1 : 2;
    // Movies read from files are scanned frame by frame; long scans show progress, and a
    // cancelled one changes nothing.
    const ScaleWidget *pEditor = m_pScaleWidgets[viewType];
    const bool thisFrame = pEditor->isThisFrame();
    const bool outliers = pEditor->ignoresOutliers();
    const ProgressCallback progress = thisFrame
            ? ProgressCallback()
            : m_pDialogs->progress(this, QStringLiteral("Computing the range of the movie..."));
    const Image3D *pSecond = pMovies[reference];
    const int offset = m_referenceOffsets[reference - 1];
    bool done = false;
    if (!thisFrame && !outliers) {
        done = viewType <= ViewType::Ref2
                ? MovieRange::valueRange(pMovies[viewType], minValue, maxValue, progress)
                : MovieRange::differenceRange(pMovies[0], pSecond, minValue, maxValue, progress,
                                              offset);
    } else {
        // The frame on screen; a reference's own frame under its offset.
        const int shown = m_pSliceWidget->getFixedCoordinate();
        const int first = !thisFrame         ? 0
                : viewType == ViewType::Ref1 ? shown - m_referenceOffsets[0]
                : viewType == ViewType::Ref2 ? shown - m_referenceOffsets[1]
                                             : shown;
        const int count = thisFrame ? 1 : -1;
        const double share = outliers ? PercentileRange::OutlierShare : 0.0;
        const PercentileRange::Outcome outcome = viewType <= ViewType::Ref2
                ? PercentileRange::valueRange(pMovies[viewType], first, count, share, minValue,
                                              maxValue, progress)
                : PercentileRange::differenceRange(pMovies[0], pSecond, first, count, share,
                                                   minValue, maxValue, progress, offset);
        done = outcome == PercentileRange::Outcome::Done;
        if (outcome == PercentileRange::Outcome::OutOfMemory)
            m_pDialogs->warning(this, QStringLiteral("Warning"),
                                QStringLiteral("Not enough memory to compute the range"));
    }
    if (done)
        m_pScaleWidgets[viewType]->setValues(minValue, maxValue);
}

void MainWidget::onSlicePosition(int pos, int numSlices)
{
    if (numSlices > 0)
        m_pPositionLabel->setText(QString::asprintf("%d/%d", pos + 1, numSlices));
    else
        m_pPositionLabel->setText(QStringLiteral("0/0"));
}

void MainWidget::createKeys()
{
    const QList<QAction *> menus = menuBar()->actions();
    menus.value(0)->setText(QStringLiteral("&File"));
    menus.value(1)->setText(QStringLiteral("&View"));

    QMenu *pFileMenu = menus.value(0)->menu();
    pFileMenu->addSeparator();
    auto *pQuit = new QAction(QStringLiteral("Quit"), this);
    pQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Through close(), so the quit question is asked as for the window's close button.
    connect(pQuit, &QAction::triggered, this, &QWidget::close);
    pFileMenu->addAction(pQuit);

    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        QAction *pAction = m_pViewActions[view];
        pAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + view)));
        pAction->setToolTip(QStringLiteral("%1 (%2)").arg(
                pAction->text(), pAction->shortcut().toString(QKeySequence::NativeText)));
    }
    QMenu *pViewMenu = menus.value(1)->menu();
    pViewMenu->addSeparator();
    SliceView *pView = m_pSliceWidget->getView();
    auto addZoomAction = [&](const char *text, const QList<QKeySequence> &keys,
                             const std::function<void()> &act) {
        auto *pAction = new QAction(QString::fromUtf8(text), this);
        pAction->setShortcuts(keys);
        connect(pAction, &QAction::triggered, this, act);
        pViewMenu->addAction(pAction);
    };
    // Ctrl+wheel zooms by the square root of 2 a notch; the keys by the same step.
    const double step = std::sqrt(2.0);
    addZoomAction("Fit to window", {QKeySequence(Qt::Key_F)}, [pView]() { pView->fitToWindow(); });
    addZoomAction("Actual size (100 %)", {QKeySequence(Qt::Key_1)},
                  [pView]() { pView->setZoom(1.0); });
    addZoomAction("Zoom in", {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)},
                  [pView, step]() { pView->zoom(step); });
    addZoomAction("Zoom out", {QKeySequence(Qt::Key_Minus)},
                  [pView, step]() { pView->zoom(1 / step); });

    // Seen before any widget of the window: frame keys work wherever the focus is.
    qApp->installEventFilter(this);
}

bool MainWidget::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    switch (pEvent->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        // Files dropped anywhere in the window, on the picture and on text fields too.
        if (pWatched->isWidgetType() && static_cast<QWidget *>(pWatched)->window() == this)
            return handleDrag(pEvent);
        break;
    default:
        break;
    }
    if (pEvent->type() == QEvent::KeyPress && pWatched->isWidgetType()) {
        auto *pWidget = static_cast<QWidget *>(pWatched);
        if (pWidget->window() == this && handleKey(pWidget, *static_cast<QKeyEvent *>(pEvent)))
            return true;
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

bool MainWidget::handleKey(QWidget *pWidget, const QKeyEvent &event)
{
    // The text field the key goes to, if any; a spin box's line edit counts as its spin box.
    QWidget *pField = nullptr;
    for (QWidget *pAt = pWidget; pAt && pAt != this; pAt = pAt->parentWidget()) {
        if (qobject_cast<QAbstractSpinBox *>(pAt) || qobject_cast<QLineEdit *>(pAt)
            || qobject_cast<QTextEdit *>(pAt) || qobject_cast<QPlainTextEdit *>(pAt)) {
            pField = pAt;
            break;
        }
    }
    const int key = event.key();
    if (pField && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        auto *pBox = qobject_cast<QAbstractSpinBox *>(pField);
        if (!pBox)
            return false;
        // The value (a range) applies, and the keys go back to the picture.
        pBox->interpretText();
        m_pSliceWidget->getView()->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (pField || (event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QSlider *pSlider = m_pSliceWidget->getSlider();
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Right:
        m_pSliceWidget->stepSlice(1);
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_Left:
        m_pSliceWidget->stepSlice(-1);
        return true;
    case Qt::Key_Home:
        pSlider->setValue(pSlider->minimum());
        return true;
    case Qt::Key_End:
        pSlider->setValue(pSlider->maximum());
        return true;
    case Qt::Key_Space:
        // A held key plays or pauses once.
        if (!event.isAutoRepeat())
            m_pPlayback->toggle();
        return true;
    default:
        return false;
    }
}

void MainWidget::createStatusBar()
{
    auto addLabel = [this](const char *name, bool permanent) {
        auto *pLabel = new QLabel(statusBar());
        pLabel->setObjectName(QString::fromUtf8(name));
        if (permanent)
            statusBar()->addPermanentWidget(pLabel);
        else
            statusBar()->addWidget(pLabel, 1);
        return pLabel;
    };
    m_pReadoutLabel = addLabel("readout", false);
    m_pMismatchLabel = addLabel("mismatch", true);
    m_pViewLabel = addLabel("view", true);
    m_pFrameLabel = addLabel("frame", true);
    m_pZoomLabel = addLabel("zoom", true);
    onZoomChanged();
}

void MainWidget::onStatusPosition(int pos, int numSlices)
{
    const int view = m_pSliceWidget->getViewType();
    m_pViewLabel->setText(m_pViewActions[view] ? m_pViewActions[view]->text() : QString());
    m_pFrameLabel->setText(numSlices > 0 ? QStringLiteral("frame %1/%2").arg(pos + 1).arg(numSlices)
                                         : QStringLiteral("frame 0/0"));
    setWindowTitle(
            StatusTexts::windowTitle(m_pMainMovie.get(), m_pReference1.get(), m_pReference2.get()));
    m_pMismatchLabel->setText(StatusTexts::mismatch(getMovieSet()));
    updateReadout();
    if (!m_sizedToMovie && m_pMainMovie)
        fitWindowToMovie();
}

void MainWidget::fitWindowToMovie()
{
    m_sizedToMovie = true;
    SliceView *pView = m_pSliceWidget->getView();
    const QSize picture(m_pSliceWidget->getImageWidth(), m_pSliceWidget->getImageHeight());
    if (picture.isEmpty() || !screen())
        return;
    layout()->activate();
    // Everything around the viewport stays; a little more keeps scroll bars away at 100 %.
    const QSize around = size() - pView->viewport()->size() + QSize(4, 4);
    const QSize room = screen()->availableGeometry().size() * 0.9;
    const QSize wanted = around + picture;
    // A window the user sized before keeps that size; the zoom below still suits the movie.
    if (!m_geometryRestored)
        resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
    // The viewport takes its new size before the picture is measured against it.
    layout()->activate();
    const QSize viewport = pView->viewport()->size();
    if (viewport.width() >= picture.width() && viewport.height() >= picture.height())
        pView->setZoom(1.0);
    else
        pView->fitToWindow();
}

void MainWidget::onPixelHovered(int x, int y)
{
    m_hoverX = x;
    m_hoverY = y;
    updateReadout();
}

void MainWidget::updateReadout()
{
    m_pReadoutLabel->setText(StatusTexts::readout(getMovieSet(),
                                                  m_pSliceWidget->getFixedCoordinate(), m_hoverX,
                                                  m_hoverY, m_pSliceWidget->getImageHeight()));
    reportStatus();
}

void MainWidget::onZoomChanged()
{
    m_pZoomLabel->setText(
            QStringLiteral("%1 %").arg(qRound(m_pSliceWidget->getView()->getZoom() * 100)));
    reportStatus();
}

void MainWidget::onRenderFailed()
{
    m_pDialogs->warning(this, QStringLiteral("Warning"),
                        QStringLiteral("Not enough memory to show this slice"));
}

void MainWidget::closeEvent(QCloseEvent *pEvent)
{
    const QMessageBox::StandardButton answer = m_pDialogs->question(
            this, QStringLiteral("Confirm"), QStringLiteral("Are you sure you want to quit?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        saveWindowSettings();
        pEvent->accept();
    } else
        pEvent->ignore();
}

void MainWidget::computeRange(const Image3D *pMovie, float &minValue, float &maxValue)
{
    MovieRange::valueRange(pMovie, minValue, maxValue);
}

void MainWidget::computeDifferenceRange(const Image3D *pFirst, const Image3D *pSecond,
                                        float &minValue, float &maxValue)
{
    MovieRange::differenceRange(pFirst, pSecond, minValue, maxValue);
}

namespace {

// Name order with the numbers in names taken by value ("frame2" before "frame10"), then the
// characters; negative, 0 or positive.
int compareNames(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a.at(endA).isDigit())
                ++endA;
            while (endB < b.size() && b.at(endB).isDigit())
                ++endB;
            // Without leading zeros the longer run is the larger number.
            const QStringView digitsA = QStringView(a).mid(i, endA - i);
            const QStringView digitsB = QStringView(b).mid(j, endB - j);
            qsizetype zerosA = 0;
            qsizetype zerosB = 0;
            while (zerosA + 1 < digitsA.size() && digitsA.at(zerosA) == QLatin1Char('0'))
                ++zerosA;
            while (zerosB + 1 < digitsB.size() && digitsB.at(zerosB) == QLatin1Char('0'))
                ++zerosB;
            const qsizetype lengthA = digitsA.size() - zerosA;
            const qsizetype lengthB = digitsB.size() - zerosB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            if (const int byValue = digitsA.mid(zerosA).compare(digitsB.mid(zerosB)))
                return byValue;
            i = endA;
            j = endB;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

// The files a drag carries, in the name order of their file names; empty when it carries
// anything but local files.
QStringList droppedFiles(const QMimeData *pData)
{
    if (!pData || !pData->hasUrls())
        return {};
    QStringList files;
    for (const QUrl &url : pData->urls()) {
        const QString file = url.isLocalFile() ? url.toLocalFile() : QString();
        if (file.isEmpty() || QFileInfo(file).isDir())
            return {};
        files.append(file);
    }
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        const int byName = compareNames(QFileInfo(a).fileName(), QFileInfo(b).fileName());
        return byName != 0 ? byName < 0 : a < b;
    });
    return files;
}

} // namespace

bool MainWidget::handleDrag(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::DragLeave) {
        statusBar()->clearMessage();
        return true;
    }
    // Drag enter and drag move events are drop events too.
    auto *pDrop = static_cast<QDropEvent *>(pEvent);
    const QStringList files = droppedFiles(pDrop->mimeData());
    if (files.isEmpty()) {
        statusBar()->clearMessage();
        pDrop->ignore();
        return true;
    }
    const Qt::KeyboardModifiers modifiers = pDrop->modifiers();
    const int slotIndex = modifiers & Qt::ControlModifier ? 2
            : modifiers & Qt::ShiftModifier               ? 1
                                                          : 0;
    pDrop->setDropAction(Qt::CopyAction);
    pDrop->accept();
    if (pEvent->type() != QEvent::Drop) {
        const char *texts[3] = {"Drop to load as the main movie", "Drop to load as reference 1",
                                "Drop to load as reference 2"};
        statusBar()->showMessage(QString::fromUtf8(texts[slotIndex]));
        return true;
    }
    statusBar()->clearMessage();
    // Read once the drop has returned: the dimensions question must not keep the program the
    // files came from waiting for the end of the drag.
    QTimer::singleShot(
            0, this, [this, slotIndex, files]() { loadFilesInto(slotIndex, files, true, false); });
    return true;
}

std::unique_ptr<Image3D> &MainWidget::slotAt(int slotIndex)
{
    return slotIndex == 2 ? m_pReference2 : slotIndex == 1 ? m_pReference1 : m_pMainMovie;
}

bool MainWidget::loadFilesInto(int slotIndex, const QStringList &files, bool askDimensions,
                               bool sizeFromNames)
{
    return loadWith(slotIndex, sizeFromNames, [&](MovieLoader &loader) {
        return loader.loadFiles(slotAt(slotIndex), files, askDimensions);
    });
}

void MainWidget::rememberLoad(int slotIndex, const MovieLoader &loader, bool sizeFromNames)
{
    RecentFiles::Entry entry;
    entry.slot = slotIndex;
    for (const QString &file : loader.getFileNames())
        entry.files.append(QFileInfo(file).absoluteFilePath());
    entry.frameWidth = m_loadSettings.frameWidth;
    entry.frameHeight = m_loadSettings.frameHeight;
    entry.pixelFormat = MovieLoader::formatOf(m_loadSettings).getName();
    entry.plane = m_loadSettings.plane;
    entry.firstFrame = loader.getFirstFrame();
    entry.frameCount = loader.getFrameCount();
    entry.sizeFromName = sizeFromNames;
    m_recentFiles.add(entry);
    saveRecentFiles();
    updateRecentMenu();
}

void MainWidget::openRecentFile(int index)
{
    if (index < 0 || index >= m_recentFiles.getEntries().size())
        return;
    const RecentFiles::Entry entry = m_recentFiles.getEntries().at(index);
    m_loadSettings.frameWidth = entry.frameWidth;
    m_loadSettings.frameHeight = entry.frameHeight;
    m_loadSettings.pixelFormat = entry.pixelFormat;
    m_loadSettings.isYUV = entry.pixelFormat != QLatin1String("gray");
    m_loadSettings.plane = entry.plane;
    if (loadWith(entry.slot, entry.sizeFromName, [&](MovieLoader &loader) {
            loader.setFrameRange(entry.firstFrame, entry.frameCount);
            return loader.loadFiles(slotAt(entry.slot), entry.files, false);
        }))
        return;
    const bool gone = std::any_of(entry.files.begin(), entry.files.end(),
                                  [](const QString &file) { return !QFileInfo::exists(file); });
    if (!gone)
        return;
    // The loader has said why; the list no longer offers what cannot be read.
    const QList<RecentFiles::Entry> &entries = m_recentFiles.getEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).slot == entry.slot && entries.at(i).files == entry.files) {
            m_recentFiles.remove(i);
            break;
        }
    }
    saveRecentFiles();
    updateRecentMenu();
}

void MainWidget::clearRecentFiles()
{
    m_recentFiles.clear();
    saveRecentFiles();
    updateRecentMenu();
}

void MainWidget::createRecentMenu()
{
    QMenu *pFileMenu = menuBar()->actions().value(0)->menu();
    m_pRecentMenu = new QMenu(QStringLiteral("Recent files"), pFileMenu);
    m_pRecentMenu->setObjectName(QStringLiteral("recentFiles"));
    m_pRecentMenu->setToolTipsVisible(true);
    // Under the three load entries.
    pFileMenu->insertMenu(pFileMenu->actions().value(3), m_pRecentMenu);
    // The entries are made once and only relabelled: one may be the action being triggered
    // when the list changes.
    for (int i = 0; i < RecentFiles::maxCount; ++i) {
        m_pRecentActions[i] = m_pRecentMenu->addAction(QString());
        connect(m_pRecentActions[i], &QAction::triggered, this, [this, i]() { openRecentFile(i); });
    }
    m_pRecentMenu->addSeparator();
    m_pClearRecentAction = m_pRecentMenu->addAction(QStringLiteral("Clear"));
    connect(m_pClearRecentAction, &QAction::triggered, this, &MainWidget::clearRecentFiles);
    updateRecentMenu();
}

void MainWidget::updateRecentMenu()
{
    const QList<RecentFiles::Entry> &entries = m_recentFiles.getEntries();
    for (int i = 0; i < RecentFiles::maxCount; ++i) {
        QAction *pAction = m_pRecentActions[i];
        pAction->setVisible(i < entries.size());
        if (i >= entries.size())
            continue;
        // A '&' of a file name is shown, not taken for a mnemonic.
        QString text = RecentFiles::describe(entries.at(i));
        pAction->setText(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        pAction->setToolTip(entries.at(i).files.join(QLatin1Char('\n')));
    }
    m_pClearRecentAction->setEnabled(!entries.isEmpty());
}

void MainWidget::restoreSettings()
{
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.beginGroup(QStringLiteral("loading"));
    const QString directory = settings.value(QStringLiteral("lastDirectory")).toString();
    if (!directory.isEmpty())
        m_loadSettings.lastDirectory = directory.toStdString();
    const int width = settings.value(QStringLiteral("frameWidth")).toInt();
    const int height = settings.value(QStringLiteral("frameHeight")).toInt();
    if (width > 0 && height > 0) {
        m_loadSettings.frameWidth = width;
        m_loadSettings.frameHeight = height;
    }
    const QString format = settings.value(QStringLiteral("pixelFormat")).toString();
    if (PixelFormat::byName(format)) {
        m_loadSettings.pixelFormat = format;
        m_loadSettings.isYUV = format != QLatin1String("gray");
    }
    settings.endGroup();
    const int cacheMiB = settings.value(QStringLiteral("frameCache/mebibytes")).toInt();
    if (cacheMiB >= CommandLine::minFrameCacheMiB && cacheMiB <= CommandLine::maxFrameCacheMiB)
        m_frameCacheBudget = qint64(cacheMiB) << 20;

    m_recentFiles.read(settings);
    updateRecentMenu();
    m_geometryRestored
            = restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
}

void MainWidget::saveLoadSettings()
{
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.beginGroup(QStringLiteral("loading"));
    settings.setValue(QStringLiteral("lastDirectory"),
                      QString::fromStdString(m_loadSettings.lastDirectory));
    settings.setValue(QStringLiteral("frameWidth"), m_loadSettings.frameWidth);
    settings.setValue(QStringLiteral("frameHeight"), m_loadSettings.frameHeight);
    settings.setValue(QStringLiteral("pixelFormat"),
                      MovieLoader::formatOf(m_loadSettings).getName());
    settings.endGroup();
}

void MainWidget::saveRecentFiles()
{
    QSettings settings;
    if (settings.status() == QSettings::NoError)
        m_recentFiles.write(settings);
}

void MainWidget::saveWindowSettings()
{
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("window/state"), saveState());
}

void MainWidget::reportStatus()
{
    if (!m_reportStatus || !m_pZoomLabel)
        return;
    const QString line
            = QStringList {m_pReadoutLabel->text(), m_pMismatchLabel->text(), m_pViewLabel->text(),
                           m_pFrameLabel->text(), m_pZoomLabel->text()}
                      .join(QStringLiteral(" | "));
    if (line == m_reportedStatus)
        return;
    m_reportedStatus = line;
    std::fprintf(stderr, "status: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}
