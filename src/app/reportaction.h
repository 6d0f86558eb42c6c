#pragma once

#include <memory>

#include <QObject>

class DialogProvider;
class Playback;
class QWidget;
class Session;
class SliceWidget;

// File > "Write report...": the report of the session's main movie and references (as
// `rawcompare --report` writes it) into a folder the user chooses, with progress and Cancel
// while the movies are compared, the pictures as the views render them.
class ReportAction : public QObject
{
    Q_OBJECT
public:
    // Everything passed stays the caller's and must outlive the action.
    ReportAction(Session &session, const std::unique_ptr<DialogProvider> &dialogs, QWidget *pWindow,
                 SliceWidget *pSliceWidget, Playback *pPlayback);

    void writeReport();

private:
    // Asks for the folder and writes; false with the reason in error (empty: cancelled).
    bool write(QString &error);

    Session &m_session;
    const std::unique_ptr<DialogProvider> &m_dialogs;
    QWidget *m_pWindow;
    SliceWidget *m_pSliceWidget;
    Playback *m_pPlayback;
};
