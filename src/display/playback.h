#pragma once

#include <QObject>

class QTimer;
class SliceWidget;

// Plays a slice widget's slices forward at a frame rate, looping from the last to the first,
// through the widget's ordinary step and redraw. A step waits for the view to paint the one
// before it: when the machine can't keep up, the steps follow the paints as fast as they come
// and the ticks in between are dropped, never queued, so every frame is shown once.
class Playback : public QObject
{
    Q_OBJECT
public:
    explicit Playback(SliceWidget *pSliceWidget, QObject *parent = nullptr);
    ~Playback() override;

    // Frames per second, 0.1 .. 1000; the timer's interval is 1000 / rate ms, rounded, at least 1.
    void setFrameRate(double framesPerSecond);
    double getFrameRate() const { return m_frameRate; }
    int getInterval() const;

    bool isPlaying() const;
    void play();
    void pause();
    void toggle();

signals:
    void playingChanged(bool playing);

private:
    void onTick();
    void onPainted();

    SliceWidget *m_pSliceWidget = nullptr;
    QTimer *m_pTimer = nullptr;
    double m_frameRate = 25;
    // A step was made and the view has not painted since.
    bool m_awaitingPaint = false;
    // A tick came while awaiting the paint.
    bool m_tickMissed = false;
};
