#pragma once

#include <QObject>

class Playback;
class QAction;
class QDoubleSpinBox;
class QToolBar;
class Session;
class SliceWidget;

// Playback of the slice widget's frames and its tool bar entries: Play / Pause and the frames
// per second; a main movie whose file gives a frame rate (y4m) sets the rate.
class PlaybackControls : public QObject
{
    Q_OBJECT
public:
    PlaybackControls(Session &session, SliceWidget *pSliceWidget, QToolBar *pToolBar,
                     QObject *pParent);

    Playback *getPlayback() const { return m_pPlayback; }

private:
    void adoptFrameRate(int slot);

    Session &m_session;
    Playback *m_pPlayback = nullptr;
    QDoubleSpinBox *m_pFrameRateBox = nullptr;
};
