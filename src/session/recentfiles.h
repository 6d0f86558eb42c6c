#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// The movies last loaded into the window's slots, most recent first, at most maxCount, each
// with the answers it was read with, so that it can be read again the same way.
class RecentFiles
{
public:
    static constexpr int maxCount = 10;

    struct Entry
    {
        int slot = 0; // 0 main movie, 1 reference 1, 2 reference 2
        QStringList files; // absolute paths, stacked in this order
        int frameWidth = 0; // pixels
        int frameHeight = 0;
        QString pixelFormat; // an ffmpeg pixel format name
        int plane = 0; // 0 = Y, 1 = U, 2 = V
        int firstFrame = 0;
        int frameCount = -1; // -1: to the end
        bool sizeFromName = false; // a frame size in a file's name answered for it
    };

    const QList<Entry> &getEntries() const { return m_entries; }
    // Puts entry on top; an entry of the same slot and files goes, and the oldest beyond
    // maxCount.
    void add(const Entry &entry);
    void remove(int index);
    void clear() { m_entries.clear(); }

    // "main: clip.yuv", "reference 2: a.png +3".
    static QString describe(const Entry &entry);

    // The list under the key "recentFiles" of settings; entries without files are skipped.
    void read(QSettings &settings);
    void write(QSettings &settings) const;

private:
    QList<Entry> m_entries;
};
