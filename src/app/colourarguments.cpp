#include "colourarguments.h"

#include <algorithm>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

namespace {

bool isSampleRange(const QString &value)
{
    ColourOptions::Range range;
    return ColourOptions::parse(value, range);
}

} // namespace

void ColourArguments::addOptions(QCommandLineParser &parser)
{
    for (const char *name : {"display", "matrix", "chroma", "transfer"})
        parser.addOption(
                QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
}

QStringList ColourArguments::displayRanges(const QCommandLineParser &parser)
{
    QStringList values = parser.values(QStringLiteral("range"));
    values.erase(std::remove_if(values.begin(), values.end(), isSampleRange), values.end());
    return values;
}

bool ColourArguments::parse(const QCommandLineParser &parser, QString &error)
{
    // Each choice must be a name the options know.
    auto take = [&](const char *name, QString &value, auto kind, const char *expected) {
        const QString option = QString::fromLatin1(name);
        QStringList values = parser.values(option);
        if (option == QLatin1String("range"))
            values.erase(std::remove_if(values.begin(), values.end(),
                                        [](const QString &v) { return !isSampleRange(v); }),
                         values.end());
        if (values.size() > 1) {
            error = QStringLiteral("--%1 given more than once.").arg(option);
            return false;
        }
        if (values.isEmpty())
            return true;
        if (!ColourOptions::parse(values.first(), kind)) {
            error = QStringLiteral("Invalid %1 '%2': expected %3.")
                            .arg(option, values.first(), QLatin1String(expected));
            return false;
        }
        value = values.first();
        return true;
    };
    const QStringList displays = parser.values(QStringLiteral("display"));
    if (displays.size() > 1) {
        error = QStringLiteral("--display given more than once.");
        return false;
    }
    if (!displays.isEmpty()) {
        m_displayText = displays.first().toLower();
        m_display = int(QStringList {"y", "u", "v", "colour"}.indexOf(m_displayText));
        if (m_display < 0) {
            error = QStringLiteral("Invalid display '%1': expected y, u, v or colour.")
                            .arg(m_displayText);
            return false;
        }
    }
    return take("matrix", m_matrix, ColourOptions::Matrix(), "auto, 601, 709 or 2020")
            && take("range", m_range, ColourOptions::Range(), "auto, limited or full")
            && take("chroma", m_chroma, ColourOptions::Chroma(), "nearest or bilinear")
            && take("transfer", m_transfer, ColourOptions::Transfer(), "sdr, pq or hlg");
}

ColourOptions ColourArguments::apply(ColourOptions base) const
{
    if (!m_matrix.isEmpty())
        ColourOptions::parse(m_matrix, base.matrix);
    if (!m_range.isEmpty())
        ColourOptions::parse(m_range, base.range);
    if (!m_chroma.isEmpty())
        ColourOptions::parse(m_chroma, base.chroma);
    if (!m_transfer.isEmpty())
        ColourOptions::parse(m_transfer, base.transfer);
    return base;
}
