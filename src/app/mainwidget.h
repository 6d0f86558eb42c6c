#pragma once

#include <memory>
#include <string>

#include <QMainWindow>

#include "loadsettings.h"

class CommandLine;
class DialogProvider;
class Image3D;
class MetricsDock;
class Playback;
class QAction;
class QDoubleSpinBox;
class QKeyEvent;
class QLabel;
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

    const Image3D *getMainMovie() const { return m_pMainMovie.get(); }
    const Image3D *getReference1() const { return m_pReference1.get(); }
    const Image3D *getReference2() const { return m_pReference2.get(); }
    MetricsDock *getMetricsDock() const { return m_pMetricsDock; }
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
    // The status bar's labels, left to right; named so they can be found.
    void createStatusBar();
    // Quit, menu mnemonics, the view keys Ctrl+1..Ctrl+5 and their tooltips.
    void createKeys();
    // A key pressed on pWidget of this window: true when it was used here.
    bool handleKey(QWidget *pWidget, const QKeyEvent &event);
    void updateReadout();
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
    ScaleWidget *m_pScaleWidgets[5] = {};
    QLabel *m_pPositionLabel = nullptr;
    // Remembered answers of the loading flow for this run.
    LoadSettings m_loadSettings;
    std::unique_ptr<DialogProvider> m_pDialogs;
    QLabel *m_pReadoutLabel = nullptr;
    QLabel *m_pMismatchLabel = nullptr;
    QLabel *m_pViewLabel = nullptr;
    QLabel *m_pFrameLabel = nullptr;
    QLabel *m_pZoomLabel = nullptr;
    // The pixel under the cursor (slice image, row 0 at the bottom), -1 when none.
    int m_hoverX = -1;
    int m_hoverY = -1;
    bool m_sizedToMovie = false; // the window has been sized to the first main movie
    Playback *m_pPlayback = nullptr;
    QDoubleSpinBox *m_pFrameRateBox = nullptr;
};
