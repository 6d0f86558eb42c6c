#include "findoffsetarguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

void FindOffsetArguments::addOptions(QCommandLineParser &parser)
{
    parser.addOption(
            QCommandLineOption(QStringLiteral("find-offset"), QString(), QStringLiteral("MAX")));
}

QStringList FindOffsetArguments::withDefaultRange(const QStringList &arguments)
{
    QStringList result = arguments;
    for (qsizetype i = 1; i < result.size(); ++i) {
        if (result[i] == QLatin1String("--"))
            break;
        if (result[i] == QLatin1String("--find-offset")
            || result[i] == QLatin1String("-find-offset"))
            result[i] = QStringLiteral("--find-offset=%1").arg(defaultRange);
    }
    return result;
}

bool FindOffsetArguments::parse(const QCommandLineParser &parser, QString &error)
{
    const QStringList values = parser.values(QStringLiteral("find-offset"));
    if (values.isEmpty())
        return true;
    if (values.size() > 1) {
        error = QStringLiteral("--find-offset given more than once.");
        return false;
    }
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,6}$"));
    if (!pattern.match(values.first()).hasMatch() || values.first().toInt() > maxRange) {
        error = QStringLiteral("Invalid value '%1' for --find-offset: expected a whole number of "
                               "frames from 0 to %2, for example 30.")
                        .arg(values.first())
                        .arg(maxRange);
        return false;
    }
    for (const char *name : {"metrics", "block-errors", "ref1-offset", "ref2-offset"}) {
        if (parser.isSet(QString::fromLatin1(name))) {
            error = QStringLiteral("--find-offset and --%1 exclude each other.")
                            .arg(QLatin1String(name));
            return false;
        }
    }
    m_range = values.first().toInt();
    return true;
}
