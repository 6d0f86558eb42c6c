#pragma once

#include <memory>

#include <QObject>

class DialogProvider;
class QWidget;
class Session;

// "Find offset" in the window: looks for where reference 1 or 2 fits the main movie within
// ±Range frames (OffsetSearch, on Y), with progress and Cancel, and sets the reference's offset
// to the best one when it is clear; says what it found in a note.
class OffsetFinder : public QObject
{
    Q_OBJECT
public:
    static constexpr int Range = 30;

    // The session and the dialog provider (which the window may replace) stay the caller's.
    OffsetFinder(Session &session, const std::unique_ptr<DialogProvider> &dialogs,
                 QWidget *pWindow);
    void find(int ref);

signals:
    void noted(const QString &note);

private:
    Session &m_session;
    const std::unique_ptr<DialogProvider> &m_dialogs;
    QWidget *m_pWindow;
};
