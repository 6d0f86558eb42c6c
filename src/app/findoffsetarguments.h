#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// --find-offset[=MAX] on the command line: the offsets -MAX .. MAX are tried (MAX 30 when not
// given). It takes the files of --metrics and excludes --metrics, --block-errors and the
// offsets it is to find.
class FindOffsetArguments
{
public:
    static constexpr int defaultRange = 30;
    static constexpr int maxRange = 100000;

    static void addOptions(QCommandLineParser &parser);
    // The arguments with a bare --find-offset given its default: the parser knows no option
    // whose value may be left out.
    static QStringList withDefaultRange(const QStringList &arguments);
    // False with the error (one sentence) for a bad MAX, the option given twice or with an
    // option it excludes.
    bool parse(const QCommandLineParser &parser, QString &error);
    bool isSet() const { return m_range >= 0; }
    int getRange() const { return m_range; } // -1 when not set

private:
    int m_range = -1;
};
