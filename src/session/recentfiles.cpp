#include "recentfiles.h"

#include <QFileInfo>
#include <QSettings>

void RecentFiles::add(const Entry &entry)
{
    for (int i = int(m_entries.size()) - 1; i >= 0; --i) {
        if (m_entries.at(i).slot == entry.slot && m_entries.at(i).files == entry.files)
            m_entries.removeAt(i);
    }
    m_entries.prepend(entry);
    while (m_entries.size() > maxCount)
        m_entries.removeLast();
}

void RecentFiles::remove(int index)
{
    if (index >= 0 && index < m_entries.size())
        m_entries.removeAt(index);
}

QString RecentFiles::describe(const Entry &entry)
{
    const QString slot = entry.slot == 0 ? QStringLiteral("main")
                                         : QStringLiteral("reference %1").arg(entry.slot);
    QString name = entry.files.isEmpty() ? QString() : QFileInfo(entry.files.first()).fileName();
    if (entry.files.size() > 1)
        name += QStringLiteral(" +%1").arg(entry.files.size() - 1);
    return slot + QStringLiteral(": ") + name;
}

void RecentFiles::read(QSettings &settings)
{
    m_entries.clear();
    const int count = settings.beginReadArray(QStringLiteral("recentFiles"));
    for (int i = 0; i < count && m_entries.size() < maxCount; ++i) {
        settings.setArrayIndex(i);
        Entry entry;
        entry.slot = settings.value(QStringLiteral("slot")).toInt();
        entry.files = settings.value(QStringLiteral("files")).toStringList();
        entry.frameWidth = settings.value(QStringLiteral("frameWidth")).toInt();
        entry.frameHeight = settings.value(QStringLiteral("frameHeight")).toInt();
        entry.pixelFormat = settings.value(QStringLiteral("pixelFormat")).toString();
        entry.plane = settings.value(QStringLiteral("plane")).toInt();
        entry.firstFrame = settings.value(QStringLiteral("firstFrame"), 0).toInt();
        entry.frameCount = settings.value(QStringLiteral("frameCount"), -1).toInt();
        entry.sizeFromName = settings.value(QStringLiteral("sizeFromName")).toBool();
        // A hand-edited or damaged list must not name a slot the window lacks.
        if (!entry.files.isEmpty() && entry.slot >= 0 && entry.slot <= 2)
            m_entries.append(entry);
    }
    settings.endArray();
}

void RecentFiles::write(QSettings &settings) const
{
    settings.remove(QStringLiteral("recentFiles"));
    settings.beginWriteArray(QStringLiteral("recentFiles"), int(m_entries.size()));
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("slot"), entry.slot);
        settings.setValue(QStringLiteral("files"), entry.files);
        settings.setValue(QStringLiteral("frameWidth"), entry.frameWidth);
        settings.setValue(QStringLiteral("frameHeight"), entry.frameHeight);
        settings.setValue(QStringLiteral("pixelFormat"), entry.pixelFormat);
        settings.setValue(QStringLiteral("plane"), entry.plane);
        settings.setValue(QStringLiteral("firstFrame"), entry.firstFrame);
        settings.setValue(QStringLiteral("frameCount"), entry.frameCount);
        settings.setValue(QStringLiteral("sizeFromName"), entry.sizeFromName);
    }
    settings.endArray();
}
