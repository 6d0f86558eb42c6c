#include "viewarguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

namespace {

const QStringList ViewNames {"main", "ref1", "ref2", "diff1", "diff2"};
const char *const Names[] {"layout", "views", "diff-mode", "threshold", "block", "region"};

// X,Y,W,H with X and Y from 0 and W and H from 1; empty when the text is not that.
QRect parseRegion(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    int values[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && parts.size() == 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok || values[i] < (i < 2 ? 0 : 1) || values[i] > 1000000)
            return QRect();
    }
    return parts.size() == 4 ? QRect(values[0], values[1], values[2], values[3]) : QRect();
}

} // namespace

void ViewArguments::addOptions(QCommandLineParser &parser)
{
    for (const char *name : Names)
        parser.addOption(
                QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
}

bool ViewArguments::parse(const QCommandLineParser &parser, QString &error)
{
    for (const char *name : Names) {
        if (parser.values(QString::fromLatin1(name)).size() > 1) {
            error = QStringLiteral("--%1 given more than once.").arg(QLatin1String(name));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("layout"))) {
        const QString text = parser.value(QStringLiteral("layout"));
        if (!(m_hasKind = Layout::parse(text, m_kind))) {
            error = QStringLiteral("Invalid layout '%1': expected single, side-by-side, grid, "
                                   "wipe or flicker.")
                            .arg(text);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("views"))) {
        const QString text = parser.value(QStringLiteral("views"));
        for (const QString &name : text.split(QLatin1Char(',')))
            m_views.append(int(ViewNames.indexOf(name.trimmed())));
        if (m_views.contains(-1) || m_views.size() > 6) {
            error = QStringLiteral("Invalid views '%1': expected up to 6 of main, ref1, ref2, "
                                   "diff1 and diff2, separated by commas.")
                            .arg(text);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("diff-mode"))) {
        const QString text = parser.value(QStringLiteral("diff-mode"));
        if (!(m_hasMode = DifferenceDisplay::parse(text, m_mode))) {
            error = QStringLiteral("Invalid difference mode '%1': expected signed, absolute, "
                                   "heat, mask or blocks.")
                            .arg(text);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("threshold"))) {
        bool ok = false;
        const QString text = parser.value(QStringLiteral("threshold"));
        m_threshold = text.toFloat(&ok);
        if (!ok || !(m_threshold >= 0)) {
            error = QStringLiteral("Invalid threshold '%1': expected a number from 0 up.")
                            .arg(text);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("block"))) {
        const QString text = parser.value(QStringLiteral("block"));
        m_blockSize = QStringList {"4", "8", "16", "32", "64"}.contains(text) ? text.toInt() : 0;
        if (m_blockSize == 0) {
            error = QStringLiteral("Invalid block size '%1': expected 4, 8, 16, 32 or 64.")
                            .arg(text);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("region"))) {
        const QString text = parser.value(QStringLiteral("region"));
        m_region = parseRegion(text);
        if (m_region.isEmpty()) {
            error = QStringLiteral(
                            "Invalid region '%1': expected X,Y,W,H, the left and top from 0, "
                            "the width and height from 1.")
                            .arg(text);
            return false;
        }
    }
    return true;
}

Layout ViewArguments::applyLayout(Layout base) const
{
    if (m_hasKind)
        base.kind = m_kind;
    // Views given fill the panes from the first; a grid has as many panes as views.
    for (int i = 0; i < m_views.size(); ++i) {
        if (i < base.views.size())
            base.views[i] = m_views.at(i);
    }
    if (base.kind == Layout::Kind::Grid && m_views.size() >= 2)
        base.views = m_views;
    return base;
}

DifferenceDisplay ViewArguments::applyDifference(DifferenceDisplay base) const
{
    if (m_hasMode)
        base.mode = m_mode;
    if (m_threshold >= 0)
        base.threshold = m_threshold;
    if (m_blockSize > 0)
        base.blockSize = m_blockSize;
    return base;
}
