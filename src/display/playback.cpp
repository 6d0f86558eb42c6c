#include "playback.h"

#include <algorithm>
#include <cmath>

#include <QSlider>
#include <QTimer>

#include "slicewidget.h"
#include "sliceview.h"

Playback::Playback(SliceWidget *pSliceWidget, QObject *parent)
    : QObject(parent), m_pSliceWidget(pSliceWidget)
{
    m_pTimer = new QTimer(this);
    m_pTimer->setTimerType(Qt::PreciseTimer);
    m_pTimer->setInterval(getInterval());
    connect(m_pTimer, &QTimer::timeout, this, &Playback::onTick);
    connect(m_pSliceWidget->getView(), &SliceView::painted, this, &Playback::onPainted);
}

Playback::~Playback() = default;

void Playback::setFrameRate(double framesPerSecond)
{
    m_frameRate = std::clamp(framesPerSecond, 0.1, 1000.0);
    m_pTimer->setInterval(getInterval());
}

int Playback::getInterval() const { return std::max(1, int(std::lround(1000.0 / m_frameRate))); }

bool Playback::isPlaying() const { return m_pTimer->isActive(); }

void Playback::play()
{
    if (isPlaying())
        return;
    m_awaitingPaint = false;
    m_tickMissed = false;
    m_pTimer->start();
    emit playingChanged(true);
}

void Playback::pause()
{
    if (!isPlaying())
        return;
    m_pTimer->stop();
    emit playingChanged(false);
}

void Playback::toggle()
{
    if (isPlaying())
        pause();
    else
        play();
}

void Playback::onPainted()
{
    m_awaitingPaint = false;
    // A tick that came while waiting steps now, not a whole interval later: a machine that
    // can't keep up shows frames as fast as it can.
    if (m_tickMissed && isPlaying())
        QMetaObject::invokeMethod(this, &Playback::onTick, Qt::QueuedConnection);
    m_tickMissed = false;
}

void Playback::onTick()
{
    // A tick queued before a pause (or before a load's dialogs paused playback) steps nothing.
    if (!isPlaying())
        return;
    // A view that isn't on screen never paints: nothing to wait for.
    if (m_awaitingPaint && m_pSliceWidget->getView()->viewport()->isVisible()) {
        m_tickMissed = true;
        return;
    }
    QSlider *pSlider = m_pSliceWidget->getSlider();
    if (pSlider->maximum() <= 0)
        return;
    m_awaitingPaint = true;
    if (m_pSliceWidget->getFixedCoordinate() >= pSlider->maximum())
        pSlider->setValue(0);
    else
        m_pSliceWidget->stepSlice(1);
}
