#pragma once

#include <QDockWidget>

#include "colourrendering.h"

class HistogramPlot;
class QCheckBox;
class QLabel;
class QRadioButton;
class QTimer;
class Session;

// The "Histogram" dock: the counts of the values the session's view shows at its frame (the
// plane, or R, G and B of a movie shown in colour; differences signed), over the frame or the
// session's region, with the view's display range as two markers that set it when dragged.
// Counts again after each change of what the view shows, only while it is visible.
class HistogramDock : public QDockWidget
{
    Q_OBJECT
public:
    // The session must outlive the dock.
    explicit HistogramDock(Session &session, QWidget *pParent = nullptr);

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    // Counts on the next pass of the event loop, once for a burst of changes.
    void countLater();
    void count();
    void showRange();
    void onRegionChanged();

    Session &m_session;
    ColourRendering m_colourRendering; // kept: its converters hold lookup tables
    HistogramPlot *m_pPlot = nullptr;
    QRadioButton *m_pFrameButton = nullptr;
    QRadioButton *m_pRegionButton = nullptr;
    QCheckBox *m_pLogarithmic = nullptr;
    QLabel *m_pSummary = nullptr;
    QTimer *m_pCountTimer = nullptr;
    bool m_stale = true; // the counts shown are not those of the view
};
