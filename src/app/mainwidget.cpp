#include "mainwidget.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

#include "colouractions.h"
#include "commandline.h"
#include "comparisonarea.h"
#include "dialogprovider.h"
#include "differencejump.h"
#include "fileactions.h"
#include "histogramdock.h"
#include "image3d.h"
#include "keyhandler.h"
#include "layoutactions.h"
#include "metricsdock.h"
#include "regionpanel.h"
#include "movieloader.h"
#include "percentilerange.h"
#include "playbackcontrols.h"
#include "rangecolumn.h"
#include "session.h"
#include "settings.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "statusreadout.h"
#include "viewactions.h"
#include "viewtype.h"

MainWidget::MainWidget()
    : QMainWindow(nullptr)
    , m_pSettings(std::make_unique<Settings>())
    , m_pSession(std::make_unique<Session>())
    , m_pDialogs(std::make_unique<DialogProvider>())
{
    m_pSession->setColourOptions(m_pSettings->getColourOptions());
    m_pSession->setColour(m_pSettings->getColourShown());
    const int cacheMiB = m_pSettings->getFrameCacheMiB();
    if (cacheMiB >= CommandLine::minFrameCacheMiB && cacheMiB <= CommandLine::maxFrameCacheMiB)
        m_pSession->setFrameCacheBudget(qint64(cacheMiB) << 20);

    auto *pCentral = new QWidget(this);
    auto *pRowLayout = new QHBoxLayout(pCentral);
    m_pArea = new ComparisonArea(*m_pSession, pCentral);
    m_pSliceWidget = m_pArea->getPrimary();
    m_pRangeColumn = new RangeColumn(*m_pSession, m_pDialogs, pCentral);
    pRowLayout->addWidget(m_pArea);
    pRowLayout->addWidget(m_pRangeColumn);
    // Nearly all extra width goes to the slice view.
    pRowLayout->setStretchFactor(m_pArea, 1024);
    pRowLayout->setStretchFactor(m_pRangeColumn, 1);
    setCentralWidget(pCentral);
    m_pMetricsDock = new MetricsDock(this);
    addDockWidget(Qt::RightDockWidgetArea, m_pMetricsDock);
    // Shown from the View menu; while hidden it computes nothing.
    m_pMetricsDock->hide();
    m_pRegionPanel = new RegionPanel(*m_pSession, this);
    addDockWidget(Qt::RightDockWidgetArea, m_pRegionPanel);
    m_pRegionPanel->hide();
    m_pHistogramDock = new HistogramDock(*m_pSession, this);
    addDockWidget(Qt::RightDockWidgetArea, m_pHistogramDock);
    m_pHistogramDock->hide();

    createMenus();
    m_pStatus = new StatusReadout(*m_pSession, *m_pSliceWidget, *this);
    new KeyHandler(this, m_pSliceWidget, m_pPlaybackControls->getPlayback());
    m_geometryRestored = restoreGeometry(m_pSettings->getWindowGeometry());
    restoreState(m_pSettings->getWindowState());
    show();

    connect(m_pSliceWidget, &SliceWidget::slicePosition, this, &MainWidget::onSlicePosition);
    connect(m_pSliceWidget, &SliceWidget::slicePosition, this, &MainWidget::onStatusPosition);
    connect(m_pArea, &ComparisonArea::pixelHovered, this, &MainWidget::onPixelHovered);
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
    connect(m_pFileActions, &FileActions::loadNotes, m_pStatus, &StatusReadout::showNote);
    connect(m_pRangeColumn, &RangeColumn::noted, m_pStatus, &StatusReadout::showNote);
    m_pMetricsDock->followSession(*m_pSession);
    // The slice widget draws what the session holds from here on; its first redraw sets the
    // position label and the status bar.
    m_pFileActions->setLayoutPicture([this]() { return m_pArea->renderLayout(); });
    m_pArea->start();
}

MainWidget::~MainWidget()
{
    // The dock's worker reads the movies: it stops before they go, and the parts hear no more
    // of the session while the window comes down.
    m_pMetricsDock->stopComputing();
    m_pSession->blockSignals(true);
    // The panes and the editors, which read the session, go before it.
    delete takeCentralWidget();
    m_pArea = nullptr;
    m_pSliceWidget = nullptr;
    m_pRangeColumn = nullptr;
    m_pSession.reset();
}

void MainWidget::createMenus()
{
    QMenu *pFileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu *pViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QToolBar *pToolBar = addToolBar(QStringLiteral("View"));
    pToolBar->setObjectName(QStringLiteral("viewToolBar")); // named for saveState()

    m_pViewActions = new ViewActions(*m_pSession, pViewMenu, pToolBar, this);
    connect(m_pViewActions->getGroup(), &QActionGroup::triggered, this, &MainWidget::onViewChanged);
    pViewMenu->addSeparator();
    pViewMenu->addAction(m_pMetricsDock->toggleViewAction());
    pViewMenu->addAction(m_pRegionPanel->toggleViewAction());
    pViewMenu->addAction(m_pHistogramDock->toggleViewAction());
    pViewMenu->addAction(QStringLiteral("Frame cache size…"), this, &MainWidget::onFrameCacheSize);
    new ColourActions(*m_pSession, *m_pSettings, pViewMenu, this);
    QMenu *pLayoutPlace = pViewMenu->addMenu(QStringLiteral("Layout"));
    pViewMenu->addSeparator();
    m_pViewActions->addZoomActions(*m_pSliceWidget->getView(), pViewMenu);
    pViewMenu->addSeparator();
    auto *pJump = new DifferenceJump(*m_pSession, m_pDialogs, pViewMenu, this);
    connect(pJump, &DifferenceJump::noted, this,
            [this](const QString &note) { m_pStatus->showNote(note); });
    for (QDockWidget *pDock :
         {static_cast<QDockWidget *>(m_pMetricsDock), static_cast<QDockWidget *>(m_pRegionPanel),
          static_cast<QDockWidget *>(m_pHistogramDock)}) {
        connect(pDock->toggleViewAction(), &QAction::triggered, this, [this, pDock](bool shown) {
            if (shown)
                widenFor(*pDock);
        });
    }
    // A region selected where there was none brings its panel up.
    connect(m_pSession.get(), &Session::regionChanged, this, [this](const QRect &region) {
        if (!region.isEmpty() && !m_hadRegion && m_pRegionPanel->isHidden()) {
            m_pRegionPanel->show();
            widenFor(*m_pRegionPanel);
        }
        m_hadRegion = !region.isEmpty();
    });

    // After the view buttons in the one tool bar.
    m_pPlaybackControls = new PlaybackControls(*m_pSession, m_pSliceWidget, pToolBar, this);
    // Its rate after the playback's in the tool bar.
    new LayoutActions(*m_pSession, pLayoutPlace, pToolBar, this);
    m_pFileActions = new FileActions(*m_pSession, *m_pSettings, m_pDialogs, this, m_pSliceWidget,
                                     m_pPlaybackControls->getPlayback(), pFileMenu);
    pFileMenu->addSeparator();
    auto *pQuit = new QAction(QStringLiteral("Quit"), this);
    pQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Through close(), so the quit question is asked as for the window's close button.
    connect(pQuit, &QAction::triggered, this, &QWidget::close);
    pFileMenu->addAction(pQuit);
}

void MainWidget::widenFor(const QDockWidget &dock)
{
    // The window grows by the dock's width, as far as the screen allows, so that the panes keep
    // their room.
    if (dock.isFloating())
        return;
    const int wanted = width() + dock.sizeHint().width();
    resize(screen() ? std::min(wanted, screen()->availableGeometry().width()) : wanted, height());
}

void MainWidget::setDialogProvider(std::unique_ptr<DialogProvider> pDialogs)
{
    if (pDialogs)
        m_pDialogs = std::move(pDialogs);
}

bool MainWidget::loadMovie(std::unique_ptr<Image3D> &slot)
{
    MovieLoader loader(this, *m_pDialogs, m_pSettings->getLoadAnswers());
    return loader.loadMovie(slot);
}

QStringList MainWidget::openFromCommandLine(const CommandLine &commandLine)
{
    return m_pFileActions->openFromCommandLine(commandLine);
}

void MainWidget::onLoadMainMovie() { m_pFileActions->load(Session::Main); }

void MainWidget::onLoadReference1() { m_pFileActions->load(Session::Reference1); }

void MainWidget::onLoadReference2() { m_pFileActions->load(Session::Reference2); }

void MainWidget::onClearMainMovie() { m_pFileActions->clear(Session::Main); }

void MainWidget::onClearReference1() { m_pFileActions->clear(Session::Reference1); }

void MainWidget::onClearReference2() { m_pFileActions->clear(Session::Reference2); }

void MainWidget::onSaveMainMovie() { m_pFileActions->saveMainMovie(); }

void MainWidget::onExportView() { m_pFileActions->exportView(); }

void MainWidget::openRecentFile(int index) { m_pFileActions->openRecentFile(index); }

void MainWidget::clearRecentFiles() { m_pSettings->clearRecentFiles(); }

void MainWidget::onFrameCacheSize()
{
    int mebibytes = 0;
    if (m_pDialogs->getInteger(this, QStringLiteral("Frame cache size"),
                               QStringLiteral("Memory for the frames read from files, shared by "
                                              "the movies (MiB):"),
                               int(std::min<qint64>(m_pSession->getFrameCacheBudget() >> 20,
                                                    CommandLine::maxFrameCacheMiB)),
                               CommandLine::minFrameCacheMiB, CommandLine::maxFrameCacheMiB,
                               mebibytes)) {
        m_pSession->setFrameCacheBudget(qint64(mebibytes) << 20);
        m_pSettings->setFrameCacheMiB(mebibytes);
    }
}

void MainWidget::onViewChanged(QAction *pAction)
{
    const int viewType = m_pViewActions->viewOf(pAction);
    if (viewType >= 0)
        m_pSession->setViewType(viewType);
    else
        m_pDialogs->warning(this, QStringLiteral("Warning"), QStringLiteral("Unknown view type"));
}

void MainWidget::onMainRange(float minValue, float maxValue)
{
    m_pSession->setRange(ViewType::Main, {minValue, maxValue});
}

void MainWidget::onRef1Range(float minValue, float maxValue)
{
    m_pSession->setRange(ViewType::Ref1, {minValue, maxValue});
}

void MainWidget::onRef2Range(float minValue, float maxValue)
{
    m_pSession->setRange(ViewType::Ref2, {minValue, maxValue});
}

void MainWidget::onDiff1Range(float minValue, float maxValue)
{
    m_pSession->setRange(ViewType::Diff1, {minValue, maxValue});
}

void MainWidget::onDiff2Range(float minValue, float maxValue)
{
    m_pSession->setRange(ViewType::Diff2, {minValue, maxValue});
}

void MainWidget::onMainAuto() { m_pRangeColumn->setAutomaticRange(ViewType::Main); }

void MainWidget::onRef1Auto() { m_pRangeColumn->setAutomaticRange(ViewType::Ref1); }

void MainWidget::onRef2Auto() { m_pRangeColumn->setAutomaticRange(ViewType::Ref2); }

void MainWidget::onDiff1Auto() { m_pRangeColumn->setAutomaticRange(ViewType::Diff1); }

void MainWidget::onDiff2Auto() { m_pRangeColumn->setAutomaticRange(ViewType::Diff2); }

void MainWidget::onSlicePosition(int pos, int numSlices)
{
    m_pRangeColumn->showPosition(pos, numSlices);
}

void MainWidget::onStatusPosition(int pos, int numSlices)
{
    m_pStatus->showPosition(pos, numSlices);
    if (!m_sizedToMovie && m_pSession->getMovie(Session::Main))
        fitWindowToMovie();
}

void MainWidget::onPixelHovered(int x, int y) { m_pStatus->showPixel(x, y); }

void MainWidget::onZoomChanged() { m_pStatus->showZoom(); }

void MainWidget::onRenderFailed()
{
    m_pDialogs->warning(this, QStringLiteral("Warning"),
                        QStringLiteral("Not enough memory to show this slice"));
}

void MainWidget::fitWindowToMovie()
{
    m_sizedToMovie = true;
    SliceView *pView = m_pSliceWidget->getView();
    const QSize picture(m_pSliceWidget->getImageWidth(), m_pSliceWidget->getImageHeight());
    if (picture.isEmpty() || !screen())
        return;
    layout()->activate();
    // Everything around the panes stays, and each pane's frame and slider; a little more
    // keeps scroll bars away at 100 %.
    const QSize panes = m_pArea->getGridSize();
    const QSize chrome = m_pSliceWidget->size() - pView->viewport()->size() + QSize(4, 4);
    const QSize around = size() - m_pArea->size();
    const QSize room = screen()->availableGeometry().size() * 0.9;
    const QSize wanted = around
            + QSize((picture.width() + chrome.width()) * panes.width(),
                    (picture.height() + chrome.height()) * panes.height());
    // A window the user sized before keeps that size; the zoom below still suits the movie.
    if (!m_geometryRestored)
        resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
    // The viewport takes its new size before the picture is measured against it.
    layout()->activate();
    const QSize shown = pView->viewport()->size();
    if (shown.width() >= picture.width() && shown.height() >= picture.height())
        pView->setZoom(1.0);
    else
        pView->fitToWindow();
}

void MainWidget::closeEvent(QCloseEvent *pEvent)
{
    const QMessageBox::StandardButton answer = m_pDialogs->question(
            this, QStringLiteral("Confirm"), QStringLiteral("Are you sure you want to quit?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        m_pSettings->setWindow(saveGeometry(), saveState());
        pEvent->accept();
    } else
        pEvent->ignore();
}

void MainWidget::computeRange(const Image3D *pMovie, float &minValue, float &maxValue)
{
    PercentileRange::valueRange(pMovie, 0, -1, 0.0, minValue, maxValue);
}

void MainWidget::computeDifferenceRange(const Image3D *pFirst, const Image3D *pSecond,
                                        float &minValue, float &maxValue)
{
    PercentileRange::differenceRange(pFirst, pSecond, 0, -1, 0.0, minValue, maxValue);
}
