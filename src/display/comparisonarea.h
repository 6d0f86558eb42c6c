#pragma once

#include <QImage>
#include <QList>
#include <QWidget>

#include "layout.h"

class QGridLayout;
class QTimer;
class QToolButton;
class Session;
class SliceBinding;
class SliceWidget;

// The panes of the comparison as the session's layout says. The first pane always shows the
// session's view; side by side and grid add panes of their own views, locked to the first:
// the same frame, zoom and picture position, and a cross-hair at the same picture pixel in every
// pane. Wipe shows the second view beyond a split line in the first pane (drag the line, or [
// and ] to move it, \ to turn it); flicker shows the second view in its place while B is held,
// or in turn at the layout's rate. Each pane names what it shows in a corner button whose menu
// chooses the pane's view. Shift+drag in any pane selects the session's region, outlined in
// every pane; Escape clears it.
class ComparisonArea : public QWidget
{
    Q_OBJECT
public:
    ComparisonArea(Session &session, QWidget *pParent = nullptr);
    ~ComparisonArea() override;
    // From now on the panes show what the session holds (the first redraw reports the frame).
    void start();

    // The first pane: the one the window's status bar, keys and export of the view follow.
    SliceWidget *getPrimary() const { return m_panes.first(); }
    QList<SliceWidget *> getPanes() const { return m_panes; }
    // The panes across and down.
    QSize getGridSize() const;
    // What pane `index` says it shows: "ref1, offset 2", "main − ref1, heat ±20".
    QString paneLabel(int index) const;
    // What the panes show composed as on screen at one picture pixel per sample, each pane
    // under its label (wipe: the two views joined at the line); null when nothing is shown.
    QImage renderLayout() const;

signals:
    // The mouse is over picture pixel (x, row) of any pane (row 0 at the bottom), or (-1, -1).
    void pixelHovered(int x, int row);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void applyLayout();
    void showLabels();
    void followZoom(SliceWidget *pSource);
    void followScroll(SliceWidget *pSource);
    void showCrossHair(int x, int row);
    void setFlickerShown(bool showB);
    void showRegion();
    // Shift+drag and Escape: true when the event was taken.
    bool selectRegion(QObject *pWatched, QEvent *pEvent);
    SliceWidget *addPane();

    Session &m_session;
    QGridLayout *m_pGrid = nullptr;
    QList<SliceWidget *> m_panes;
    QList<QToolButton *> m_labels;
    QList<SliceBinding *> m_bindings;
    QTimer *m_pFlickerTimer = nullptr;
    bool m_flickerShowsB = false;
    bool m_locking = false; // a pane follows another: no echo back
    bool m_draggingWipe = false;
    bool m_draggingRegion = false;
    QPoint m_regionStart; // the picture pixel the drag started at
};
