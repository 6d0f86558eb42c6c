#include "viewactions.h"

#include <cmath>
#include <functional>

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QToolBar>

#include "session.h"
#include "sliceview.h"
#include "viewtype.h"

ViewActions::ViewActions(Session &session, QMenu *pMenu, QToolBar *pToolBar, QObject *pParent)
    : QObject(pParent)
{
    m_pGroup = new QActionGroup(this);
    for (int viewType = ViewType::Main; viewType <= ViewType::Diff2; ++viewType) {
        QAction *pAction = new QAction(viewText(viewType), m_pGroup);
        pAction->setCheckable(true);
        pAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + viewType)));
        pAction->setToolTip(QStringLiteral("%1 (%2)").arg(
                pAction->text(), pAction->shortcut().toString(QKeySequence::NativeText)));
        pMenu->addAction(pAction);
        pToolBar->addAction(pAction);
        m_pViewActions[viewType] = pAction;
    }
    // Checking emits no triggered().
    m_pViewActions[session.getViewType()]->setChecked(true);
    connect(&session, &Session::viewTypeChanged, this,
            [this](int viewType) { m_pViewActions[viewType]->setChecked(true); });
}

int ViewActions::viewOf(const QAction *pAction) const
{
    for (int viewType = ViewType::Main; viewType <= ViewType::Diff2; ++viewType) {
        if (m_pViewActions[viewType] == pAction)
            return viewType;
    }
    return -1;
}

QString ViewActions::viewText(int viewType)
{
    const char *texts[5] = {"Main movie", "Reference movie 1", "Reference movie 2",
                            "Difference: main-ref1", "Difference: main-ref2"};
    return viewType >= 0 && viewType < 5 ? QString::fromUtf8(texts[viewType]) : QString();
}

void ViewActions::addZoomActions(SliceView &view, QMenu *pMenu)
{
    SliceView *pView = &view;
    auto add = [&](const char *text, const QList<QKeySequence> &keys,
                   const std::function<void()> &act) {
        auto *pAction = new QAction(QString::fromUtf8(text), this);
        pAction->setShortcuts(keys);
        connect(pAction, &QAction::triggered, this, act);
        pMenu->addAction(pAction);
    };
    // Ctrl+wheel zooms by the square root of 2 a notch; the keys by the same step.
    const double step = std::sqrt(2.0);
    add("Fit to window", {QKeySequence(Qt::Key_F)}, [pView]() { pView->fitToWindow(); });
    add("Actual size (100 %)", {QKeySequence(Qt::Key_1)}, [pView]() { pView->setZoom(1.0); });
    add("Zoom in", {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)},
        [pView, step]() { pView->zoom(step); });
    add("Zoom out", {QKeySequence(Qt::Key_Minus)}, [pView, step]() { pView->zoom(1 / step); });
}
