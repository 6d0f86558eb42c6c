#include "reportarguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include "reportoptions.h"

void ReportArguments::addOptions(QCommandLineParser &parser)
{
    parser.addOption(
            QCommandLineOption(QStringLiteral("report"), QString(), QStringLiteral("DIR")));
    parser.addOption(QCommandLineOption(QStringLiteral("worst"), QString(), QStringLiteral("K")));
}

QString ReportArguments::usage()
{
    return QStringLiteral(
            "       rawcompare --report DIR [--worst K] [--size WxH] [--pix-fmt NAME | --gray]\n"
            "                  [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]\n"
            "                  MAIN --ref1 REF [--ref2 REF]\n");
}

QString ReportArguments::helpText()
{
    return QStringLiteral(
            "  --report DIR    with the files of --metrics: write DIR/index.html, a page\n"
            "                  with the summary, PSNR and SSIM plots and the worst frames\n"
            "                  as pictures beside it (DIR is created when missing)\n"
            "  --worst K       the report's K worst frames (default 5): the lowest Y PSNR\n"
            "                  against reference 1 (else 2)\n");
}

bool ReportArguments::parse(const QCommandLineParser &parser, const QStringList &mainFiles,
                            const QStringList &reference1Files, const QStringList &reference2Files,
                            QString &error)
{
    const QStringList directories = parser.values(QStringLiteral("report"));
    const QStringList counts = parser.values(QStringLiteral("worst"));
    for (const auto &[name, values] : {std::pair {"report", directories}, {"worst", counts}}) {
        if (values.size() > 1) {
            error = QStringLiteral("--%1 given more than once.").arg(QLatin1String(name));
            return false;
        }
    }
    if (directories.isEmpty()) {
        if (!counts.isEmpty()) {
            error = QStringLiteral("--worst needs --report.");
            return false;
        }
        return true;
    }
    if (directories.first().isEmpty()) {
        error = QStringLiteral("Empty folder name.");
        return false;
    }
    for (const char *name : {"metrics", "block-errors", "find-offset", "export-png"}) {
        if (parser.isSet(QString::fromLatin1(name))) {
            error = QStringLiteral("--report and --%1 exclude each other.")
                            .arg(QLatin1String(name));
            return false;
        }
    }
    int worst = ReportOptions::defaultWorstCount;
    if (!counts.isEmpty()) {
        static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,4}$"));
        worst = counts.first().toInt();
        if (!pattern.match(counts.first()).hasMatch() || worst < 1 || worst > maxWorstCount) {
            error = QStringLiteral("Invalid value '%1' for --worst: expected a whole number of "
                                   "frames from 1 to %2, for example 5.")
                            .arg(counts.first())
                            .arg(maxWorstCount);
            return false;
        }
    }
    if (mainFiles.size() != 1 || reference1Files.size() > 1 || reference2Files.size() > 1
        || (reference1Files.isEmpty() && reference2Files.isEmpty())) {
        error = QStringLiteral("--report compares one MAIN file with --ref1 REF and/or --ref2 "
                               "REF, one file each.");
        return false;
    }
    m_directory = directories.first();
    m_worstCount = worst;
    return true;
}
