#include "settings.h"

#include <algorithm>

#include <QSettings>

#include "pixelformat.h"

namespace {

// The format the answers name: yuv420p or gray by isYUV when they name none.
QString formatName(const LoadSettings &answers)
{
    if (!answers.pixelFormat.isEmpty())
        return answers.pixelFormat;
    return answers.isYUV ? QStringLiteral("yuv420p") : QStringLiteral("gray");
}

} // namespace

Settings::Settings(QObject *pParent) : QObject(pParent)
{
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.beginGroup(QStringLiteral("loading"));
    const QString directory = settings.value(QStringLiteral("lastDirectory")).toString();
    if (!directory.isEmpty())
        m_loadAnswers.lastDirectory = directory.toStdString();
    const int width = settings.value(QStringLiteral("frameWidth")).toInt();
    const int height = settings.value(QStringLiteral("frameHeight")).toInt();
    if (width > 0 && height > 0) {
        m_loadAnswers.frameWidth = width;
        m_loadAnswers.frameHeight = height;
    }
    const QString format = settings.value(QStringLiteral("pixelFormat")).toString();
    if (PixelFormat::byName(format)) {
        m_loadAnswers.pixelFormat = format;
        m_loadAnswers.isYUV = format != QLatin1String("gray");
    }
    settings.endGroup();
    m_frameCacheMiB = std::max(0, settings.value(QStringLiteral("frameCache/mebibytes")).toInt());
    m_recentFiles.read(settings);
    settings.beginGroup(QStringLiteral("colour"));
    m_colourShown = settings.value(QStringLiteral("shown"), true).toBool();
    // A name this version doesn't know keeps the default.
    ColourOptions::parse(settings.value(QStringLiteral("matrix")).toString(),
                         m_colourOptions.matrix);
    ColourOptions::parse(settings.value(QStringLiteral("range")).toString(), m_colourOptions.range);
    ColourOptions::parse(settings.value(QStringLiteral("chroma")).toString(),
                         m_colourOptions.chroma);
    ColourOptions::parse(settings.value(QStringLiteral("transfer")).toString(),
                         m_colourOptions.transfer);
    settings.endGroup();
    m_windowGeometry = settings.value(QStringLiteral("window/geometry")).toByteArray();
    m_windowState = settings.value(QStringLiteral("window/state")).toByteArray();
}

Settings::~Settings() = default;

void Settings::saveLoadAnswers()
{
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.beginGroup(QStringLiteral("loading"));
    settings.setValue(QStringLiteral("lastDirectory"),
                      QString::fromStdString(m_loadAnswers.lastDirectory));
    settings.setValue(QStringLiteral("frameWidth"), m_loadAnswers.frameWidth);
    settings.setValue(QStringLiteral("frameHeight"), m_loadAnswers.frameHeight);
    settings.setValue(QStringLiteral("pixelFormat"), formatName(m_loadAnswers));
    settings.endGroup();
}

void Settings::setFrameCacheMiB(int mebibytes)
{
    m_frameCacheMiB = mebibytes;
    QSettings settings;
    if (settings.status() == QSettings::NoError)
        settings.setValue(QStringLiteral("frameCache/mebibytes"), mebibytes);
}

void Settings::setColour(bool shown, const ColourOptions &options)
{
    m_colourShown = shown;
    m_colourOptions = options;
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.beginGroup(QStringLiteral("colour"));
    settings.setValue(QStringLiteral("shown"), shown);
    settings.setValue(QStringLiteral("matrix"), ColourOptions::name(options.matrix));
    settings.setValue(QStringLiteral("range"), ColourOptions::name(options.range));
    settings.setValue(QStringLiteral("chroma"), ColourOptions::name(options.chroma));
    settings.setValue(QStringLiteral("transfer"), ColourOptions::name(options.transfer));
    settings.endGroup();
}

void Settings::addRecentFile(const RecentFiles::Entry &entry)
{
    m_recentFiles.add(entry);
    saveRecentFiles();
}

void Settings::removeRecentFile(int index)
{
    m_recentFiles.remove(index);
    saveRecentFiles();
}

void Settings::clearRecentFiles()
{
    m_recentFiles.clear();
    saveRecentFiles();
}

void Settings::saveRecentFiles()
{
    QSettings settings;
    if (settings.status() == QSettings::NoError)
        m_recentFiles.write(settings);
    emit recentFilesChanged();
}

void Settings::setWindow(const QByteArray &geometry, const QByteArray &state)
{
    m_windowGeometry = geometry;
    m_windowState = state;
    QSettings settings;
    if (settings.status() != QSettings::NoError)
        return;
    settings.setValue(QStringLiteral("window/geometry"), geometry);
    settings.setValue(QStringLiteral("window/state"), state);
}
