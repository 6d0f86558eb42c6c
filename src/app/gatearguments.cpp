#include "gatearguments.h"

#include <cmath>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

void GateArguments::addOptions(QCommandLineParser &parser)
{
    for (const char *name : {"fail-below", "fail-above", "max-abs-diff"})
        parser.addOption(
                QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
}

bool GateArguments::parse(const QCommandLineParser &parser, bool metrics, QString &error)
{
    for (const char *name : {"fail-below", "fail-above", "max-abs-diff"}) {
        const QStringList values = parser.values(QString::fromLatin1(name));
        if (values.isEmpty())
            continue;
        const QLatin1String option(name);
        if (values.size() > 1 || !metrics) {
            error = values.size() > 1 ? QStringLiteral("--%1 given more than once.")
                                      : QStringLiteral("--%1 needs --metrics.");
            error = error.arg(option);
            return false;
        }
        if (option != QLatin1String("max-abs-diff")) {
            if (!m_gate.addBounds(values.first(), option == QLatin1String("fail-below"), error))
                return false;
            continue;
        }
        bool ok = false;
        const double largest = values.first().toDouble(&ok);
        if (!ok || !std::isfinite(largest) || largest < 0) {
            error = QStringLiteral("Invalid value '%1' for --max-abs-diff: expected a number not "
                                   "below 0.")
                            .arg(values.first());
            return false;
        }
        m_gate.setMaxAbsDiff(largest);
    }
    return true;
}
