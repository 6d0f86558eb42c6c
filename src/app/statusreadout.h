#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QMainWindow;
class Session;
class SliceWidget;

// The window's title and its status bar, left to right: the readout of the pixel under the
// pointer (every movie and difference there; in colour also the samples and the RGB of the view
// shown), how the references fall short of the main movie, what the view shows (the plane, or
// how colour is made), the view, the frame and the zoom. With RAWCOMPARE_STATUS_TO_STDERR set, each
// new status text also goes to stderr as one line "status: readout | mismatch | view | frame |
// zoom", for checks of the real window.
class StatusReadout : public QObject
{
    Q_OBJECT
public:
    StatusReadout(Session &session, SliceWidget &sliceWidget, QMainWindow &window);

    // After every redraw: frame pos (from 0) of numFrames is shown.
    void showPosition(int pos, int numFrames);
    // (x, y) of the slice image, y from the bottom; (-1, -1) off the picture.
    void showPixel(int x, int y);
    void showZoom();
    // A passing message, such as what a load could not do as asked.
    void showNote(const QString &note);

private:
    void updateReadout();
    void updateDisplay();
    void report();

    Session &m_session;
    SliceWidget &m_sliceWidget;
    QMainWindow &m_window;
    QLabel *m_pReadoutLabel = nullptr;
    QLabel *m_pMismatchLabel = nullptr;
    QLabel *m_pDisplayLabel = nullptr;
    QLabel *m_pViewLabel = nullptr;
    QLabel *m_pFrameLabel = nullptr;
    QLabel *m_pZoomLabel = nullptr;
    // The pixel under the pointer (slice image, row 0 at the bottom), -1 when none.
    int m_hoverX = -1;
    int m_hoverY = -1;
    bool m_report = false;
    QString m_reported;
};
