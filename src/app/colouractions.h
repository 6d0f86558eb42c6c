#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class Session;
class Settings;

// The View menu's "Colour" submenu: what the views display (the Y, U or V plane in gray, or
// colour, offered once a movie has chroma) and the matrix, range, chroma and transfer used for
// colour. Checked as the session says; each choice goes to the session and is kept in the
// settings.
class ColourActions : public QObject
{
    Q_OBJECT
public:
    ColourActions(Session &session, Settings &settings, QMenu *pViewMenu, QObject *pParent);

private:
    // A group of checkable entries in pMenu under a heading; the entries' data are 0, 1, ...
    QActionGroup *addGroup(QMenu *pMenu, const QString &heading, const QStringList &texts);
    void showSession();
    void choose();

    Session &m_session;
    Settings &m_settings;
    QActionGroup *m_pDisplay = nullptr; // Y, U, V, Colour
    QActionGroup *m_pMatrix = nullptr;
    QActionGroup *m_pRange = nullptr;
    QActionGroup *m_pChroma = nullptr;
    QActionGroup *m_pTransfer = nullptr;
};
