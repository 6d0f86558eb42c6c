#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QDoubleSpinBox;
class QMenu;
class QToolBar;
class Session;

// The View menu's "Layout" submenu (Single, Side by side, Grid, Wipe, Flicker: Alt+1 .. Alt+5,
// and a grid of three columns) and the tool bar's flicker rate, checked as the session says.
class LayoutActions : public QObject
{
    Q_OBJECT
public:
    // Fills pMenu (the View menu's "Layout") and adds the rate to pToolBar.
    LayoutActions(Session &session, QMenu *pMenu, QToolBar *pToolBar, QObject *pParent);

private:
    void showSession();

    Session &m_session;
    QActionGroup *m_pKinds = nullptr;
    QAction *m_pThreeColumns = nullptr;
    QDoubleSpinBox *m_pRate = nullptr;
    QAction *m_pRateAction = nullptr; // the rate's place in the tool bar
};
