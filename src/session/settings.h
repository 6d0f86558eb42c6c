#pragma once

#include <QByteArray>
#include <QObject>

#include "colouroptions.h"
#include "loadsettings.h"
#include "recentfiles.h"

// What the window keeps between runs (QSettings, ~/.config/rawcompare/rawcompare.conf): the
// loading flow's remembered answers, the frame cache size, the recent files and the window's
// geometry, and how colour is shown. Read once when made; each part written when it changes.
// Nothing is read or written when the application's settings cannot be used. The session itself
// knows nothing of it, so the headless modes run without.
class Settings : public QObject
{
    Q_OBJECT
public:
    explicit Settings(QObject *pParent = nullptr);
    ~Settings() override;

    // The answers the loading flow remembers; the flow updates them in place, then
    // saveLoadAnswers() keeps them.
    LoadSettings &getLoadAnswers() { return m_loadAnswers; }
    void saveLoadAnswers();

    // The frame cache size chosen in the window, in MiB; 0 when none was kept.
    int getFrameCacheMiB() const { return m_frameCacheMiB; }
    void setFrameCacheMiB(int mebibytes);

    // Whether movies with chroma are shown in colour (the first time: yes), and how.
    bool getColourShown() const { return m_colourShown; }
    const ColourOptions &getColourOptions() const { return m_colourOptions; }
    void setColour(bool shown, const ColourOptions &options);

    const RecentFiles &getRecentFiles() const { return m_recentFiles; }
    void addRecentFile(const RecentFiles::Entry &entry);
    void removeRecentFile(int index);
    void clearRecentFiles();

    // As QMainWindow::saveGeometry / saveState gave them; empty when none was kept.
    QByteArray getWindowGeometry() const { return m_windowGeometry; }
    QByteArray getWindowState() const { return m_windowState; }
    void setWindow(const QByteArray &geometry, const QByteArray &state);

signals:
    void recentFilesChanged();

private:
    void saveRecentFiles();

    LoadSettings m_loadAnswers;
    int m_frameCacheMiB = 0;
    bool m_colourShown = true;
    ColourOptions m_colourOptions;
    RecentFiles m_recentFiles;
    QByteArray m_windowGeometry;
    QByteArray m_windowState;
};
