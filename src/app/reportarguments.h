#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// --report DIR [--worst K] on the command line: the report of MAIN against --ref1 REF and/or
// --ref2 REF (one file each) written into DIR, with the K worst frames (default 5, K >= 1) as
// pictures. It takes --size, --pix-fmt, --frames and the offsets, and excludes the other modes.
class ReportArguments
{
public:
    static constexpr int maxWorstCount = 1000;

    static void addOptions(QCommandLineParser &parser);
    // The lines of the usage and of --help, each ending with a newline.
    static QString usage();
    static QString helpText();
    // False with the error (one sentence) for a bad DIR or K, an option given twice, --worst
    // without --report, another mode, or files other than MAIN with one or two references.
    bool parse(const QCommandLineParser &parser, const QStringList &mainFiles,
               const QStringList &reference1Files, const QStringList &reference2Files,
               QString &error);
    bool isSet() const { return !m_directory.isEmpty(); }
    QString getDirectory() const { return m_directory; }
    int getWorstCount() const { return m_worstCount; }

private:
    QString m_directory;
    int m_worstCount = 5;
};
