#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QMainWindow>

#include "loadsettings.h"
#include "recentfiles.h"
#include "movieset.h"

class CommandLine;
class DialogProvider;
class Image3D;
class MetricsDock;
class MovieLoader;
class Playback;
class QAction;
class QDoubleSpinBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QSpinBox;
class ScaleWidget;
class SliceWidget;

// The one main window: owns the three movie slots (main, reference 1, reference 2), shows them
// and their differences in a slice widget beside five range editors (one per ViewType) and the
// position label, and routes loading, clearing, saving, view switching and range editing.
class MainWidget : public QMainWindow
{
    Q_OBJECT
public:
    MainWidget();
    ~MainWidget() override;

    // Every dialog and message box of the window goes through this provider; the default runs
    // the real Qt dialogs. The window owns it.
    void setDialogProvider(std::unique_ptr<DialogProvider> pDialogs);

    // Asks for files and loads them into slot. True exactly when the slot holds a new movie;
    // the caller then hands the movies to the slice widget.
    bool loadMovie(std::unique_ptr<Image3D> &slot);

    // Loads the files named on the command line, main movie first; its frame size, format and
    // plane become the remembered answers of the dimensions question. Returns the notes of what
    // was taken from file names, for stderr.
    QStringList openFromCommandLine(const CommandLine &commandLine);

    // Smallest and largest sample of the movie; (0, 255) without samples.
    static void computeRange(const Image3D *pMovie, float &minValue, float &maxValue);
    // Smallest and largest of first - second over the larger extent of both, a sample outside
    // a movie (or of a missing one) counting as 0; (-128, 128) when there is nothing to scan.
    static void computeDifferenceRange(const Image3D *pFirst, const Image3D *pSecond,
                                       float &minValue, float &maxValue);

    // Memory for the frames of the movies read from files, shared equally by those movies.
    void setFrameCacheBudget(qint64 bytes);
    qint64 getFrameCacheBudget() const { return m_frameCacheBudget; }

    const Image3D *getMainMovie() const { return m_pMainMovie.get(); }
    const Image3D *getReference1() const { return m_pReference1.get(); }
    const Image3D *getReference2() const { return m_pReference2.get(); }
    MetricsDock *getMetricsDock() const { return m_pMetricsDock; }
    const RecentFiles &getRecentFiles() const { return m_recentFiles; }
    // The movies and where each reference starts on the main movie's frames, as the views, the
    // readout and the metrics pair them.
    MovieSet getMovieSet() const;
    // The spin box of reference ref's offset (1 or 2), in its range editor.
    QSpinBox *getOffsetBox(int ref) const { return m_pOffsetBoxes[ref == 2 ? 1 : 0]; }
    // Reference ref (1 or 2) starts at main frame offset: its frame f - offset is shown and
    // compared with main frame f.
    void setReferenceOffset(int ref, int offset);
    Playback *getPlayback() const { return m_pPlayback; }
    SliceWidget *getSliceWidget() const { return m_pSliceWidget; }
    // The tool bar's frames per second of playback.
    QDoubleSpinBox *getFrameRateBox() const { return m_pFrameRateBox; }

public slots:
    void onLoadMainMovie();
    void onLoadReference1();
    void onLoadReference2();
    void onClearMainMovie();
    void onClearReference1();
    void onClearReference2();
    void onSaveMainMovie();
    // Asks for the frame cache size in MiB.
    void onFrameCacheSize();
    // Writes the frame on screen of the current view as a PNG picture, exactly as the view maps
    // it (one pixel per sample, no zoom; the picture's top row first).
    void onExportView();
    void onViewChanged(QAction *pAction);
    void onMainRange(float minValue, float maxValue);
    void onMainAuto();
    void onRef1Range(float minValue, float maxValue);
    void onRef1Auto();
    void onRef2Range(float minValue, float maxValue);
    void onRef2Auto();
    void onDiff1Range(float minValue, float maxValue);
    void onDiff1Auto();
    void onDiff2Range(float minValue, float maxValue);
    void onDiff2Auto();
    void onSlicePosition(int pos, int numSlices);
    void onRenderFailed();
    // Status bar and title after every redraw: view, frame n/N, the pixel under the cursor.
    void onStatusPosition(int pos, int numSlices);
    // (x, y) of the slice image, y from the bottom; (-1, -1) off the picture.
    void onPixelHovered(int x, int y);
    void onZoomChanged();
    // The first main movie sizes the window: at 100 % when that fits within 90 % of the
    // screen, else the largest picture that fits there.
    void fitWindowToMovie();
    // Loads entry `index` of File > "Recent files" into its slot again, with the answers it was
    // read with; an entry whose files are gone leaves the list after the loader's message.
    void openRecentFile(int index);
    void clearRecentFiles();

protected:
    void closeEvent(QCloseEvent *pEvent) override;
    // Frame keys from anywhere in the window, Enter in a range field.
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void createMenus();
    void loadInto(std::unique_ptr<Image3D> &slot);
    void clearSlot(std::unique_ptr<Image3D> &slot);
    // Computes the automatic range of a view from the movies and puts it into its editor.
    void setAutomaticRange(int viewType);
    // Views still at their starting range take the range of their movies' depth when that is
    // more than 8 bits: 0 .. 2^depth - 1, differences -2^(depth-1) .. 2^(depth-1).
    void widenStartingRanges();
    // Hands the three current slots to the slice widget; due after every change of a slot.
    void showMovies();
    // Splits the frame cache budget among the movies read from files.
    void shareFrameCacheBudget();
    // The status bar's labels, left to right; named so they can be found.
    void createStatusBar();
    // Quit, menu mnemonics, the view keys Ctrl+1..Ctrl+5 and their tooltips.
    void createKeys();
    // A key pressed on pWidget of this window: true when it was used here.
    bool handleKey(QWidget *pWidget, const QKeyEvent &event);
    void updateReadout();
    // Drag and drop of files onto any part of the window: plain to the main movie, Shift to
    // reference 1, Ctrl to reference 2; only local files. True when the event was handled.
    bool handleDrag(QEvent *pEvent);
    // Reads files into slot slotIndex (0 main, 1 and 2 references) as File > Load does once the
    // files are chosen; a loaded movie enters the recent files. True when the slot holds it.
    bool loadFilesInto(int slotIndex, const QStringList &files, bool askDimensions,
                       bool sizeFromNames);
    std::unique_ptr<Image3D> &slotAt(int slotIndex);
    // Runs `load` with a loader of this window's settings into slot slotIndex, with the metrics
    // dock and playback held meanwhile; a loaded movie is shown and remembered. True when loaded.
    bool loadWith(int slotIndex, bool sizeFromNames,
                  const std::function<bool(MovieLoader &)> &load);
    void rememberLoad(int slotIndex, const MovieLoader &loader, bool sizeFromNames);
    // File > "Recent files": a fixed set of entries, shown as the list fills.
    void createRecentMenu();
    void updateRecentMenu();
    // The settings of the application (QSettings): read once at start; the loading answers and
    // the recent files written as they change, the window's geometry and docks when it closes.
    // Nothing is read or written when the settings cannot be used (no organisation name set).
    void restoreSettings();
    void saveLoadSettings();
    void saveRecentFiles();
    void saveWindowSettings();
    // With RAWCOMPARE_STATUS_TO_STDERR set, each new status bar text goes to stderr as one
    // line "status: readout | mismatch | view | frame | zoom", for checks of the real window.
    void reportStatus();

    // The spin boxes of the reference offsets, in the references' range editors.
    void createOffsetBoxes();
    // The playback tool bar: play / pause and the frame rate (Space plays and pauses).
    void createPlayback();
    // A main movie whose file gives a frame rate (y4m) sets the playback rate.
    void adoptFrameRate();

    SliceWidget *m_pSliceWidget = nullptr;
    MetricsDock *m_pMetricsDock = nullptr;
    std::unique_ptr<Image3D> m_pMainMovie;
    std::unique_ptr<Image3D> m_pReference1;
    std::unique_ptr<Image3D> m_pReference2;
    QAction *m_pViewActions[5] = {};
    QAction *m_pExportAction = nullptr; // enabled while a picture is shown
    ScaleWidget *m_pScaleWidgets[5] = {};
    QLabel *m_pPositionLabel = nullptr;
    // Remembered answers of the loading flow for this run.
    LoadSettings m_loadSettings;
    std::unique_ptr<DialogProvider> m_pDialogs;
    qint64 m_frameCacheBudget = 0;
    QLabel *m_pReadoutLabel = nullptr;
    QLabel *m_pMismatchLabel = nullptr;
    QLabel *m_pViewLabel = nullptr;
    QLabel *m_pFrameLabel = nullptr;
    QLabel *m_pZoomLabel = nullptr;
    // The pixel under the cursor (slice image, row 0 at the bottom), -1 when none.
    int m_hoverX = -1;
    int m_hoverY = -1;
    bool m_sizedToMovie = false; // the window has been sized to the first main movie
    bool m_geometryRestored = false; // a stored geometry sized the window instead
    RecentFiles m_recentFiles;
    QMenu *m_pRecentMenu = nullptr;
    QAction *m_pRecentActions[RecentFiles::maxCount] = {};
    QAction *m_pClearRecentAction = nullptr;
    bool m_reportStatus = false;
    QString m_reportedStatus;
    int m_referenceOffsets[2] = {0, 0}; // main frame of each reference's frame 0
    QSpinBox *m_pOffsetBoxes[2] = {};
    Playback *m_pPlayback = nullptr;
    QDoubleSpinBox *m_pFrameRateBox = nullptr;
};
