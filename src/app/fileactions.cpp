#include "fileactions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "commandline.h"
#include "dialogprovider.h"
#include "formatwriter.h"
#include "image3d.h"
#include "movieloader.h"
#include "pixelformat.h"
#include "moviewriter.h"
#include "playback.h"
#include "pngwriter.h"
#include "reportaction.h"
#include "session.h"
#include "settings.h"
#include "slicewidget.h"

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

FileActions::FileActions(Session &session, Settings &settings,
                         const std::unique_ptr<DialogProvider> &dialogs, QMainWindow *pWindow,
                         SliceWidget *pSliceWidget, Playback *pPlayback, QMenu *pFileMenu)
    : QObject(pWindow)
    , m_session(session)
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_pWindow(pWindow)
    , m_pSliceWidget(pSliceWidget)
    , m_pPlayback(pPlayback)
{
    auto add = [&](const char *text, const std::function<void()> &work) {
        auto *pAction = new QAction(QString::fromUtf8(text), pWindow);
        connect(pAction, &QAction::triggered, this, work);
        pFileMenu->addAction(pAction);
        return pAction;
    };
    const char *loadTexts[3]
            = {"Load main movie", "Load reference movie 1", "Load reference movie 2"};
    const char *clearTexts[3]
            = {"Clear main movie", "Clear reference movie 1", "Clear reference movie 2"};
    for (int slot = 0; slot < Session::SlotCount; ++slot)
        add(loadTexts[slot], [this, slot]() { load(slot); });
    QAction *pSeparator = pFileMenu->addSeparator();
    for (int slot = 0; slot < Session::SlotCount; ++slot)
        add(clearTexts[slot], [this, slot]() { clear(slot); });
    pFileMenu->addSeparator();
    add("Save main movie", [this]() { saveMainMovie(); });
    m_pExportAction = add("Export view as PNG\u2026", [this]() { exportView(); });
    QAction *pExportLayout = add("Export layout as PNG\u2026", [this]() { exportLayout(); });
    m_pReportAction = new ReportAction(session, dialogs, pWindow, pSliceWidget, pPlayback);
    add("Write report\u2026", [this]() { m_pReportAction->writeReport(); });
    for (QAction *pAction : {m_pExportAction, pExportLayout}) {
        pAction->setEnabled(false);
        connect(m_pSliceWidget, &SliceWidget::slicePosition, pAction,
                [pAction](int, int numSlices) { pAction->setEnabled(numSlices > 0); });
    }
    // Under the three load entries.
    createRecentMenu(pFileMenu, pSeparator);
    connect(&m_settings, &Settings::recentFilesChanged, this, &FileActions::updateRecentMenu);
    m_pWindow->setAcceptDrops(true);
    qApp->installEventFilter(this);
}

void FileActions::load(int slot) { loadFiles(slot, {}, true, false); }

void FileActions::clear(int slot) { m_session.setMovie(slot, nullptr); }

bool FileActions::loadFiles(int slot, const QStringList &files, bool askDimensions,
                            bool sizeFromNames, int firstFrame, int frameCount)
{
    // The loading flow runs dialogs, and so the event loop: no step while a slot may change.
    const bool playing = m_pPlayback->isPlaying();
    m_pPlayback->pause();
    MovieLoader loader(m_pWindow, *m_dialogs, m_settings.getLoadAnswers());
    loader.setSizeFromNames(sizeFromNames);
    loader.setFrameRange(firstFrame, frameCount);
    std::unique_ptr<Image3D> pMovie;
    const bool loaded = files.isEmpty() ? loader.loadMovie(pMovie)
                                        : loader.loadFiles(pMovie, files, askDimensions);
    m_settings.saveLoadAnswers();
    if (loaded) {
        m_session.setMovie(slot, std::move(pMovie), loader.getFileNames());
        // A plane answered for this movie is the plane every movie shows.
        m_session.setPlane(m_settings.getLoadAnswers().plane);
        rememberLoad(slot, loader, m_settings.getLoadAnswers(), sizeFromNames);
    }
    emit loadNotes(loader.takeNotes().join(QStringLiteral("; ")));
    if (playing)
        m_pPlayback->play();
    return loaded;
}

QStringList FileActions::openFromCommandLine(const CommandLine &commandLine)
{
    LoadSettings &answers = m_settings.getLoadAnswers();
    if (commandLine.hasSize()) {
        answers.frameWidth = commandLine.getFrameWidth();
        answers.frameHeight = commandLine.getFrameHeight();
    }
    if (commandLine.hasSize() || !commandLine.getPixelFormat().isEmpty()) {
        const QString format = commandLine.getPixelFormat().isEmpty()
                ? QStringLiteral("yuv420p")
                : commandLine.getPixelFormat();
        answers.pixelFormat = format;
        answers.isYUV = format == QLatin1String("yuv420p");
        answers.formatGiven = !commandLine.getPixelFormat().isEmpty();
    }
    if (commandLine.hasPlane())
        answers.plane = commandLine.getPlane();
    m_session.setPlane(answers.plane);
    // A plane asked for is shown in gray unless colour is asked for too.
    const ReferenceFileArguments &own = commandLine.getReferenceFileArguments();
    if (commandLine.getDisplay() == 3 || commandLine.hasPlane() || own.hasPlane(1)
        || own.hasPlane(2))
        m_session.setColour(commandLine.getDisplay() == 3);
    m_session.setColourOptions(commandLine.applyColourOptions(m_session.getColourOptions()));
    const ViewArguments &view = commandLine.getViewArguments();
    m_session.setLayout(view.applyLayout(m_session.getLayout()));
    for (int ref = 1; ref <= 2; ++ref)
        m_session.setDifferenceDisplay(ref,
                                       view.applyDifference(m_session.getDifferenceDisplay(ref)));
    if (commandLine.getFrameCacheMiB() > 0)
        m_session.setFrameCacheBudget(qint64(commandLine.getFrameCacheMiB()) << 20);
    for (int ref = 1; ref <= 2; ++ref)
        m_session.setOffset(ref, commandLine.getReferenceOffset(ref));
    const QStringList files[3] = {commandLine.getMainFiles(), commandLine.getReference1Files(),
                                  commandLine.getReference2Files()};
    QStringList notes;
    for (int slot = 0; slot < Session::SlotCount; ++slot) {
        if (files[slot].isEmpty())
            continue;
        // A reference with options of its own is read with a copy of the answers, those put
        // in: they answer for it alone and are not remembered.
        const bool ownOptions = slot != Session::Main && own.isSet(slot);
        LoadSettings ownAnswers = ownOptions
                ? own.applyLoadAnswers(slot, answers, commandLine.getPixelFormat())
                : answers;
        LoadSettings &used = ownOptions ? ownAnswers : answers;
        // A size answers the dimensions question; without one, a file's name may.
        const bool hasSize = commandLine.hasSize() || (ownOptions && own.hasSize(slot));
        MovieLoader loader(m_pWindow, *m_dialogs, used);
        loader.setSizeFromNames(!hasSize);
        MovieFileOptions frames;
        frames.firstFrame = commandLine.getFirstFrame();
        frames.frameCount = commandLine.getFrameCount();
        frames = slot == Session::Main ? frames : own.apply(slot, frames);
        loader.setFrameRange(frames.firstFrame, frames.frameCount);
        std::unique_ptr<Image3D> pMovie;
        if (loader.loadFiles(pMovie, files[slot], !hasSize)) {
            m_session.setMovie(slot, std::move(pMovie), files[slot]);
            rememberLoad(slot, loader, used, !hasSize);
        }
        notes << loader.takeNotes();
    }
    answers.formatGiven = false;
    m_session.setRegion(view.getRegion());
    if (!view.getRegion().isEmpty() && m_session.getRegion() != view.getRegion())
        notes << QStringLiteral("--region lies outside the pictures, or is cut to them");
    emit loadNotes(notes.join(QStringLiteral("; ")));
    return notes;
}

void FileActions::rememberLoad(int slot, const MovieLoader &loader, const LoadSettings &answers,
                               bool sizeFromNames)
{
    RecentFiles::Entry entry;
    entry.slot = slot;
    for (const QString &file : loader.getFileNames())
        entry.files.append(QFileInfo(file).absoluteFilePath());
    entry.frameWidth = answers.frameWidth;
    entry.frameHeight = answers.frameHeight;
    entry.pixelFormat = MovieLoader::formatOf(answers).getName();
    entry.plane = answers.plane;
    entry.firstFrame = loader.getFirstFrame();
    entry.frameCount = loader.getFrameCount();
    entry.sizeFromName = sizeFromNames;
    m_settings.addRecentFile(entry);
}

void FileActions::openRecentFile(int index)
{
    if (index < 0 || index >= m_settings.getRecentFiles().getEntries().size())
        return;
    const RecentFiles::Entry entry = m_settings.getRecentFiles().getEntries().at(index);
    LoadSettings &answers = m_settings.getLoadAnswers();
    answers.frameWidth = entry.frameWidth;
    answers.frameHeight = entry.frameHeight;
    answers.pixelFormat = entry.pixelFormat;
    answers.isYUV = entry.pixelFormat != QLatin1String("gray");
    answers.plane = entry.plane;
    if (loadFiles(entry.slot, entry.files, false, entry.sizeFromName, entry.firstFrame,
                  entry.frameCount))
        return;
    const bool gone = std::any_of(entry.files.begin(), entry.files.end(),
                                  [](const QString &file) { return !QFileInfo::exists(file); });
    if (!gone)
        return;
    // The loader has said why; the list no longer offers what cannot be read.
    const QList<RecentFiles::Entry> &entries = m_settings.getRecentFiles().getEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).slot == entry.slot && entries.at(i).files == entry.files) {
            m_settings.removeRecentFile(i);
            break;
        }
    }
}

void FileActions::createRecentMenu(QMenu *pFileMenu, QAction *pBefore)
{
    m_pRecentMenu = new QMenu(QStringLiteral("Recent files"), pFileMenu);
    m_pRecentMenu->setObjectName(QStringLiteral("recentFiles"));
    m_pRecentMenu->setToolTipsVisible(true);
    pFileMenu->insertMenu(pBefore, m_pRecentMenu);
    // The entries are made once and only relabelled: one may be the action being triggered
    // when the list changes.
    for (int i = 0; i < RecentFiles::maxCount; ++i) {
        m_pRecentActions[i] = m_pRecentMenu->addAction(QString());
        connect(m_pRecentActions[i], &QAction::triggered, this, [this, i]() { openRecentFile(i); });
    }
    m_pRecentMenu->addSeparator();
    m_pClearRecentAction = m_pRecentMenu->addAction(QStringLiteral("Clear"));
    connect(m_pClearRecentAction, &QAction::triggered, &m_settings, &Settings::clearRecentFiles);
    updateRecentMenu();
}

void FileActions::updateRecentMenu()
{
    const QList<RecentFiles::Entry> &entries = m_settings.getRecentFiles().getEntries();
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

bool FileActions::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    switch (pEvent->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        // Files dropped anywhere in the window, on the picture and on text fields too.
        if (pWatched->isWidgetType() && static_cast<QWidget *>(pWatched)->window() == m_pWindow)
            return handleDrag(pEvent);
        break;
    default:
        break;
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool FileActions::handleDrag(QEvent *pEvent)
{
    QStatusBar *pStatusBar = m_pWindow->statusBar();
    if (pEvent->type() == QEvent::DragLeave) {
        pStatusBar->clearMessage();
        return true;
    }
    // Drag enter and drag move events are drop events too.
    auto *pDrop = static_cast<QDropEvent *>(pEvent);
    const QStringList files = droppedFiles(pDrop->mimeData());
    if (files.isEmpty()) {
        pStatusBar->clearMessage();
        pDrop->ignore();
        return true;
    }
    const Qt::KeyboardModifiers modifiers = pDrop->modifiers();
    const int slot = modifiers & Qt::ControlModifier ? 2 : modifiers & Qt::ShiftModifier ? 1 : 0;
    pDrop->setDropAction(Qt::CopyAction);
    pDrop->accept();
    if (pEvent->type() != QEvent::Drop) {
        const char *texts[3] = {"Drop to load as the main movie", "Drop to load as reference 1",
                                "Drop to load as reference 2"};
        pStatusBar->showMessage(QString::fromUtf8(texts[slot]));
        return true;
    }
    pStatusBar->clearMessage();
    // Read once the drop has returned: the dimensions question must not keep the program the
    // files came from waiting for the end of the drag.
    QTimer::singleShot(0, this, [this, slot, files]() { loadFiles(slot, files, true, false); });
    return true;
}

void FileActions::saveMainMovie()
{
    const QString title = QStringLiteral("Warning");
    const Image3D *pMain = m_session.getMovie(Session::Main);
    if (!pMain || pMain->getWidth() <= 0 || pMain->getHeight() <= 0 || pMain->getNumFrames() <= 0) {
        m_dialogs->warning(m_pWindow, title, QStringLiteral("Nothing to save"));
        return;
    }
    // 8-bit YUV 4:2:0 stays the first choice; y4m keeps 16 bits for movies deeper than 8.
    const QString yuv8 = QStringLiteral("YUV files (*.yuv)");
    const QString yuv16 = QStringLiteral("16-bit YUV 4:2:0 files, yuv420p16le (*.yuv)");
    const QString y4m = QStringLiteral("Y4M files (*.y4m)");
    QString chosen = yuv8;
    const QString fileName
            = m_dialogs->getSaveFileName(m_pWindow, QStringLiteral("Save"), QString(),
                                         yuv8 + ";;" + yuv16 + ";;" + y4m, &chosen);
    if (fileName.isNull())
        return;
    const bool sixteenBit = chosen == yuv16 || (chosen == y4m && pMain->getDepth() > 8);
    if (!sixteenBit && FormatWriter::hasSampleAbove(*pMain, 255.0f)
        && m_dialogs->question(m_pWindow, title,
                               QStringLiteral("The main movie has samples above 255, which the "
                                              "8-bit file will hold as 255.\n"
                                              "Save it clipped?"),
                               QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save)
                != QMessageBox::Save)
        return;

    const std::string name = fileName.toStdString();
    errno = 0;
    const ProgressCallback progress
            = m_dialogs->progress(m_pWindow, QStringLiteral("Saving the main movie..."));
    const MovieWriter::Result result = chosen == y4m
            ? FormatWriter::writeY4m(*pMain, name, sixteenBit, progress)
            : sixteenBit ? FormatWriter::writeYUV16(*pMain, name, progress)
                         : MovieWriter::writeYUV(*pMain, name, progress);
    // The system's reason, as the failing open or write left it.
    const QString reason = errno ? QStringLiteral("\n%1: %2")
                                           .arg(QFileInfo(fileName).fileName(),
                                                QString::fromLocal8Bit(std::strerror(errno)))
                                 : QString();
    switch (result) {
    case MovieWriter::Result::Written:
    case MovieWriter::Result::Cancelled:
        break;
    case MovieWriter::Result::OpenFailed:
        m_dialogs->warning(m_pWindow, title,
                           QStringLiteral("Unable to open specified file for writing") + reason);
        break;
    case MovieWriter::Result::WriteFailed:
        m_dialogs->warning(
                m_pWindow, title,
                QStringLiteral("The file %1 could not be written completely").arg(fileName)
                        + reason);
        break;
    case MovieWriter::Result::ReadFailed:
        m_dialogs->warning(m_pWindow, title, QString::fromStdString(pMain->getFrameError()));
        break;
    case MovieWriter::Result::OutOfMemory:
        m_dialogs->warning(m_pWindow, title,
                           QStringLiteral("Not enough memory to save the main movie"));
        break;
    }
}

void FileActions::exportView()
{
    exportPicture(QStringLiteral("Export view as PNG"), [this]() {
        return std::pair(m_pSliceWidget->renderSlice(),
                         m_pSliceWidget->getRenderer().isColourful(
                                 m_session.getMovieSet(), m_pSliceWidget->getViewType(),
                                 m_pSliceWidget->getFixedCoordinate()));
    });
}

void FileActions::exportLayout()
{
    exportPicture(QStringLiteral("Export layout as PNG"),
                  [this]() { return std::pair(m_layoutPicture(), true); });
}

void FileActions::exportPicture(const QString &caption,
                                const std::function<std::pair<QImage, bool>()> &render)
{
    const QString title = QStringLiteral("Warning");
    if (m_session.getNumFrames() <= 0 || m_pSliceWidget->getImageWidth() <= 0
        || m_pSliceWidget->getImageHeight() <= 0) {
        m_dialogs->warning(m_pWindow, title, QStringLiteral("Nothing to export"));
        return;
    }
    QString fileName = m_dialogs->getSaveFileName(
            m_pWindow, caption, QString::fromStdString(m_settings.getLoadAnswers().lastDirectory),
            QStringLiteral("PNG pictures (*.png)"));
    if (fileName.isNull())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".png");
    const auto [slice, colour] = render();
    if (slice.isNull()) {
        m_dialogs->warning(m_pWindow, title,
                           QStringLiteral("Not enough memory to export the view"));
        return;
    }
    QString reason;
    if (!PngWriter::write(slice, fileName, &reason, colour))
        m_dialogs->warning(m_pWindow, title,
                           QStringLiteral("Unable to write the picture\n%1: %2")
                                   .arg(QFileInfo(fileName).fileName(), reason));
}
