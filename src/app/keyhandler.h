#pragma once

#include <QObject>

class Playback;
class QKeyEvent;
class QWidget;
class SliceWidget;

// The window's keys, wherever the focus is but in a text field: Page Up / Page Down and the
// arrows step the frames, Home and End go to the first and last, Space plays and pauses. Enter
// in a spin box applies its value and gives the keys back to the picture.
class KeyHandler : public QObject
{
    Q_OBJECT
public:
    // Watches every key press of the application for the widgets of pWindow.
    KeyHandler(QWidget *pWindow, SliceWidget *pSliceWidget, Playback *pPlayback);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    // A key pressed on pWidget of the window: true when it was used here.
    bool handleKey(QWidget *pWidget, const QKeyEvent &event);

    QWidget *m_pWindow;
    SliceWidget *m_pSliceWidget;
    Playback *m_pPlayback;
};
