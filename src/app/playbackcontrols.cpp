#include "playbackcontrols.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QToolBar>

#include "image3d.h"
#include "playback.h"
#include "session.h"

PlaybackControls::PlaybackControls(Session &session, SliceWidget *pSliceWidget, QToolBar *pToolBar,
                                   QObject *pParent)
    : QObject(pParent), m_session(session)
{
    m_pPlayback = new Playback(pSliceWidget, this);
    pToolBar->addSeparator();
    QAction *pPlay = pToolBar->addAction(QStringLiteral("Play"));
    pPlay->setCheckable(true);
    pPlay->setToolTip(QStringLiteral("Play / pause (Space)"));
    connect(pPlay, &QAction::triggered, m_pPlayback, [this](bool play) {
        if (play)
            m_pPlayback->play();
        else
            m_pPlayback->pause();
    });
    connect(m_pPlayback, &Playback::playingChanged, pPlay, [pPlay](bool playing) {
        pPlay->setChecked(playing);
        pPlay->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    });
    m_pFrameRateBox = new QDoubleSpinBox(pToolBar);
    m_pFrameRateBox->setObjectName(QStringLiteral("frameRate"));
    m_pFrameRateBox->setRange(1, 1000);
    m_pFrameRateBox->setDecimals(2);
    m_pFrameRateBox->setSuffix(QStringLiteral(" fps"));
    m_pFrameRateBox->setToolTip(QStringLiteral("Frames per second of playback"));
    m_pFrameRateBox->setValue(m_pPlayback->getFrameRate());
    connect(m_pFrameRateBox, &QDoubleSpinBox::valueChanged, m_pPlayback, &Playback::setFrameRate);
    pToolBar->addWidget(m_pFrameRateBox);
    connect(&m_session, &Session::movieChanged, this, &PlaybackControls::adoptFrameRate);
}

void PlaybackControls::adoptFrameRate(int slot)
{
    const Image3D *pMain = m_session.getMovie(Session::Main);
    if (slot == Session::Main && pMain && pMain->getFrameRate() > 0)
        m_pFrameRateBox->setValue(pMain->getFrameRate());
}
