#include "differencejump.h"

#include <QAction>
#include <QMenu>

#include "dialogprovider.h"
#include "differencesearch.h"
#include "session.h"
#include "viewtype.h"

DifferenceJump::DifferenceJump(Session &session, const std::unique_ptr<DialogProvider> &dialogs,
                               QMenu *pMenu, QWidget *pWindow)
    : QObject(pWindow), m_session(session), m_dialogs(dialogs), m_pWindow(pWindow)
{
    const char *texts[2] = {"Next difference", "Previous difference"};
    const QKeySequence keys[2] = {QKeySequence(Qt::Key_N), QKeySequence(Qt::SHIFT | Qt::Key_N)};
    for (int i = 0; i < 2; ++i) {
        m_pActions[i] = new QAction(QString::fromUtf8(texts[i]), this);
        m_pActions[i]->setShortcut(keys[i]);
        const int dir = i == 0 ? 1 : -1;
        connect(m_pActions[i], &QAction::triggered, this, [this, dir]() { jump(dir); });
        pMenu->addAction(m_pActions[i]);
    }
    updateEnabled();
    connect(&m_session, &Session::movieChanged, this, &DifferenceJump::updateEnabled);
    connect(&m_session, &Session::viewTypeChanged, this, &DifferenceJump::updateEnabled);
}

int DifferenceJump::getReference() const
{
    const int view = m_session.getViewType();
    int ref = view == ViewType::Diff2 ? 2 : 1;
    if (view != ViewType::Diff1 && view != ViewType::Diff2
        && !m_session.getMovie(Session::Reference1))
        ref = 2;
    return m_session.getMovie(Session::Main) && m_session.getMovie(ref) ? ref : 0;
}

void DifferenceJump::jump(int dir)
{
    const int ref = getReference();
    if (ref == 0)
        return;
    const int from = m_session.getFrame();
    const float threshold = m_session.getDifferenceDisplay(ref).threshold;
    const DifferenceSearch::Result result = DifferenceSearch::find(
            m_session.getMovieSet(), ref, from, dir, threshold,
            m_dialogs->progress(
                    m_pWindow,
                    dir > 0 ? QStringLiteral("Looking for the next difference...")
                            : QStringLiteral("Looking for the previous difference...")));
    switch (result.outcome) {
    case DifferenceSearch::Outcome::Found:
        m_session.setFrame(result.frame);
        break;
    case DifferenceSearch::Outcome::NotFound:
        emit noted(QStringLiteral("No difference above %1 %2 frame %3")
                           .arg(QString::number(double(threshold)),
                                dir > 0 ? QStringLiteral("after") : QStringLiteral("before"))
                           .arg(from + 1));
        break;
    case DifferenceSearch::Outcome::ReadFailed:
        m_dialogs->warning(m_pWindow, QStringLiteral("Warning"),
                           QString::fromStdString(result.error));
        break;
    case DifferenceSearch::Outcome::Cancelled:
        break;
    }
}

void DifferenceJump::updateEnabled()
{
    const bool enabled = getReference() != 0;
    for (QAction *pAction : m_pActions)
        pAction->setEnabled(enabled);
}
