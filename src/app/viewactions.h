#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class QToolBar;
class Session;
class SliceView;

// The View menu's entries and the "View" tool bar: the five kinds of view as one exclusive
// group (Ctrl+1 .. Ctrl+5), checked as the session says, and the zoom entries of the slice view.
class ViewActions : public QObject
{
    Q_OBJECT
public:
    // Adds the view entries to pMenu and pToolBar; the actions belong to this object.
    ViewActions(Session &session, QMenu *pMenu, QToolBar *pToolBar, QObject *pParent);
    // Adds "Fit to window", "Actual size (100 %)", "Zoom in" and "Zoom out" of view to pMenu.
    void addZoomActions(SliceView &view, QMenu *pMenu);

    // The group whose triggered(QAction*) says which view the user chose.
    QActionGroup *getGroup() const { return m_pGroup; }
    // The ViewType of pAction, or -1 when it is none of the five.
    int viewOf(const QAction *pAction) const;
    // "Main movie", "Reference movie 1", ..., "Difference: main-ref2".
    static QString viewText(int viewType);

private:
    QActionGroup *m_pGroup = nullptr;
    QAction *m_pViewActions[5] = {};
};
