#pragma once

#include <memory>

#include <QObject>

class DialogProvider;
class QAction;
class QMenu;
class QWidget;
class Session;

// The View menu's "Next difference" (N) and "Previous difference" (Shift+N): the frame shown
// moves to the nearest frame in that direction where main - reference exceeds, somewhere, the
// threshold of that difference's view. The difference is the one shown, or in a movie view
// the difference with reference 1 (reference 2 when only it is loaded). A long search shows
// progress with Cancel.
class DifferenceJump : public QObject
{
    Q_OBJECT
public:
    // Adds both entries to pMenu; everything passed stays the caller's.
    DifferenceJump(Session &session, const std::unique_ptr<DialogProvider> &dialogs, QMenu *pMenu,
                   QWidget *pWindow);

    // The reference (1 or 2) a jump compares the main movie with; 0 while either is missing.
    int getReference() const;
    // Shows the nearest frame above the threshold after (dir 1) or before (dir -1) the one
    // shown; without one the frame stays and noted() says so.
    void jump(int dir);

signals:
    // "No difference above T after frame F" (or "before"), F counted from 1 as shown.
    void noted(const QString &note);

private:
    void updateEnabled();

    Session &m_session;
    const std::unique_ptr<DialogProvider> &m_dialogs;
    QWidget *m_pWindow;
    QAction *m_pActions[2] = {};
};
