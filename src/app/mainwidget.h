#pragma once

#include <memory>

#include <QMainWindow>
#include <QStringList>

class CommandLine;
class ComparisonArea;
class DialogProvider;
class FileActions;
class HistogramDock;
class Image3D;
class MetricsDock;
class PlaybackControls;
class QAction;
class QDockWidget;
class RangeColumn;
class RegionPanel;
class Session;
class Settings;
class SliceWidget;
class StatusReadout;
class ViewActions;

// The one main window: shows the session's movies and their differences in a slice widget
// beside the range column (one editor per ViewType and the position label), with the File and
// View menus, the tool bar, the metrics dock and the status bar. The session holds what is
// compared; the window assembles the parts that read it and routes the menus' slots to them.
class MainWidget : public QMainWindow
{
    Q_OBJECT
public:
    MainWidget();
    ~MainWidget() override;

    // Every dialog and message box of the window goes through this provider; the default runs
    // the real Qt dialogs. The window owns it.
    void setDialogProvider(std::unique_ptr<DialogProvider> pDialogs);

    // Asks for files and loads them into slot, with the window's remembered answers. True
    // exactly when the slot holds a new movie.
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

    // What the window compares: its movies, offsets, ranges, frame and view.
    Session &getSession() const { return *m_pSession; }

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
    // Writes the frame on screen of the current view as a PNG picture.
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
    // Loads entry `index` of File > "Recent files" into its slot again.
    void openRecentFile(int index);
    void clearRecentFiles();

protected:
    void closeEvent(QCloseEvent *pEvent) override;

private:
    void createMenus();
    // A dock shown beside the panes: the window widens by its width.
    void widenFor(const QDockWidget &dock);

    // Declared first, destroyed last: the parts below read them until they go.
    std::unique_ptr<Settings> m_pSettings;
    std::unique_ptr<Session> m_pSession;
    std::unique_ptr<DialogProvider> m_pDialogs;
    ComparisonArea *m_pArea = nullptr;
    SliceWidget *m_pSliceWidget = nullptr; // the first pane of m_pArea
    RangeColumn *m_pRangeColumn = nullptr;
    MetricsDock *m_pMetricsDock = nullptr;
    RegionPanel *m_pRegionPanel = nullptr;
    bool m_hadRegion = false;
    HistogramDock *m_pHistogramDock = nullptr;
    ViewActions *m_pViewActions = nullptr;
    FileActions *m_pFileActions = nullptr;
    PlaybackControls *m_pPlaybackControls = nullptr;
    StatusReadout *m_pStatus = nullptr;
    bool m_sizedToMovie = false; // the window has been sized to the first main movie
    bool m_geometryRestored = false; // a stored geometry sized the window instead
};
