#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <QImage>
#include <QObject>
#include <QStringList>

#include "recentfiles.h"

class CommandLine;
class DialogProvider;
struct LoadSettings;
class MovieLoader;
class Playback;
class QAction;
class QEvent;
class QMainWindow;
class QMenu;
class ReportAction;
class Session;
class Settings;
class SliceWidget;

// The File menu's work: loading files into a slot of the session (the file dialog, a drop on
// the window, a recent entry or the command line), clearing a slot, saving the main movie,
// exporting the view as a picture, writing a report, and the recent files list kept in the
// settings. Playback
// pauses while a load's dialogs run.
class FileActions : public QObject
{
    Q_OBJECT
public:
    // Builds the File menu's entries into pFileMenu; everything passed stays the caller's.
    FileActions(Session &session, Settings &settings,
                const std::unique_ptr<DialogProvider> &dialogs, QMainWindow *pWindow,
                SliceWidget *pSliceWidget, Playback *pPlayback, QMenu *pFileMenu);

    // Asks for files and loads them into slot (Session::Slot).
    void load(int slot);
    void clear(int slot);
    // Writes the main movie as 8-bit or 16-bit YUV 4:2:0 or y4m, as the user chooses.
    void saveMainMovie();
    // Writes the frame on screen of the current view as a PNG picture, exactly as the view maps
    // it (one pixel per sample, no zoom; the picture's top row first).
    void exportView();
    // Writes what the panes show (setLayoutPicture) as one PNG.
    void exportLayout();
    void setLayoutPicture(std::function<QImage()> picture) { m_layoutPicture = std::move(picture); }
    // Loads entry `index` of the recent files into its slot again, with the answers it was read
    // with; an entry whose files are gone leaves the list after the loader's message.
    void openRecentFile(int index);
    // Loads the files named on the command line, main movie first; its frame size, format and
    // plane become the remembered answers. Returns the notes of what was taken from file names
    // or could not be done as asked, for stderr.
    QStringList openFromCommandLine(const CommandLine &commandLine);

signals:
    // What a load in the window could not do as asked (a plane a file lacks, ...).
    void loadNotes(const QString &notes);

protected:
    // Files dropped anywhere on the window: plain to the main movie, Shift to reference 1, Ctrl
    // to reference 2; only local files.
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    // Asks for a file name and writes the picture render() makes (colour: as RGB).
    void exportPicture(const QString &caption,
                       const std::function<std::pair<QImage, bool>()> &render);
    // Reads files into slot as File > Load does once they are chosen (files empty: asks for
    // them), frames firstFrame .. + frameCount - 1 (-1: to the end) of raw and y4m files; a
    // loaded movie enters the session and the recent files. True when loaded.
    bool loadFiles(int slot, const QStringList &files, bool askDimensions, bool sizeFromNames,
                   int firstFrame = 0, int frameCount = -1);
    // The last load of loader, read with answers, into slot, becomes the first recent entry.
    void rememberLoad(int slot, const MovieLoader &loader, const LoadSettings &answers,
                      bool sizeFromNames);
    bool handleDrag(QEvent *pEvent);
    void createRecentMenu(QMenu *pFileMenu, QAction *pBefore);
    void updateRecentMenu();

    Session &m_session;
    Settings &m_settings;
    const std::unique_ptr<DialogProvider> &m_dialogs;
    QMainWindow *m_pWindow;
    SliceWidget *m_pSliceWidget;
    std::function<QImage()> m_layoutPicture = []() { return QImage(); };
    Playback *m_pPlayback;
    QAction *m_pExportAction = nullptr; // enabled while a picture is shown
    ReportAction *m_pReportAction = nullptr;
    QMenu *m_pRecentMenu = nullptr;
    QAction *m_pRecentActions[RecentFiles::maxCount] = {};
    QAction *m_pClearRecentAction = nullptr;
};
