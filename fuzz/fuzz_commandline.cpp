// The command-line parser on arbitrary argument lists. Input: the arguments after the program
// name, separated by zero bytes, decoded as main() decodes them. Every outcome must have the
// promised form, and a successful parse must read back the same from its own normal form.

#include "commandline.h"
#include "fuzzcheck.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace {

bool sameResult(const CommandLine &a, const CommandLine &b)
{
    return a.hasSize() == b.hasSize() && a.getFrameWidth() == b.getFrameWidth()
            && a.getFrameHeight() == b.getFrameHeight() && a.getPixelFormat() == b.getPixelFormat()
            && a.hasPlane() == b.hasPlane() && a.getPlane() == b.getPlane()
            && a.getMainFiles() == b.getMainFiles()
            && a.getReference1Files() == b.getReference1Files()
            && a.getReference2Files() == b.getReference2Files()
            && a.getFirstFrame() == b.getFirstFrame() && a.getFrameCount() == b.getFrameCount()
            && a.isJson() == b.isJson()
            && a.getReport().getDirectory() == b.getReport().getDirectory()
            && a.getReport().getWorstCount() == b.getReport().getWorstCount();
}

// Every file name must come from the arguments: whole, or as the value of "--opt=value".
bool fromArguments(const QStringList &files, const QStringList &arguments)
{
    for (const QString &file : files) {
        bool found = false;
        for (const QString &argument : arguments)
            found = found || argument == file || argument.endsWith(QLatin1Char('=') + file);
        if (!found)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    QStringList arguments {QStringLiteral("rawcompare")};
    bool lineBreakGiven = false;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || pData[i] == 0) {
            if (i > start || i < size)
                arguments.append(QString::fromLocal8Bit(
                        reinterpret_cast<const char *>(pData + start), qsizetype(i - start)));
            start = i + 1;
        }
    }
    for (const QString &argument : arguments)
        lineBreakGiven = lineBreakGiven || argument.contains(QLatin1Char('\n'))
                || argument.contains(QLatin1Char('\r'));

    CommandLine commandLine;
    const CommandLine::Action action = commandLine.parse(arguments);
    const QString text = commandLine.getText();

    switch (action) {
    case CommandLine::Action::Fail: {
        FUZZ_CHECK(commandLine.getExitStatus() == 2, "errors exit with 2");
        const QString prefix = QStringLiteral("rawcompare: ");
        const QString suffix = QLatin1Char('\n') + CommandLine::usage();
        FUZZ_CHECK(text.startsWith(prefix) && text.endsWith(suffix), "error line and usage");
        const QString error = text.mid(prefix.size(), text.size() - prefix.size() - suffix.size());
        FUZZ_CHECK(!error.isEmpty(), "the error says something");
        FUZZ_CHECK(lineBreakGiven || !error.contains(QLatin1Char('\n')), "a one-line error");
        FUZZ_CHECK(!commandLine.hasSize() && commandLine.getMainFiles().isEmpty()
                           && commandLine.getReference1Files().isEmpty()
                           && commandLine.getReference2Files().isEmpty(),
                   "a failed parse keeps nothing");
        return 0;
    }
    case CommandLine::Action::ShowHelp:
        FUZZ_CHECK(commandLine.getExitStatus() == 0, "help exits with 0");
        FUZZ_CHECK(text.startsWith(CommandLine::usage()), "help starts with the usage");
        return 0;
    case CommandLine::Action::ShowVersion:
        FUZZ_CHECK(commandLine.getExitStatus() == 0, "version exits with 0");
        FUZZ_CHECK(text == CommandLine::versionText(), "version text");
        return 0;
    case CommandLine::Action::BlockErrors:
        FUZZ_CHECK(commandLine.getBlockSize() >= 4 && commandLine.getBlockSize() <= 64,
                   "blocks of 4 to 64 samples");
        [[fallthrough]];
    case CommandLine::Action::Report:
        FUZZ_CHECK(action != CommandLine::Action::Report
                           || (!commandLine.getReport().getDirectory().isEmpty()
                               && commandLine.getReport().getWorstCount() >= 1),
                   "a report goes into a folder and shows a frame at least");
        [[fallthrough]];
    case CommandLine::Action::FindOffset:
    case CommandLine::Action::Metrics:
        FUZZ_CHECK(commandLine.getMainFiles().size() == 1
                           && commandLine.getReference1Files().size()
                                           + commandLine.getReference2Files().size()
                                   >= 1,
                   "metrics compare one main file with a reference");
        break;
    case CommandLine::Action::ExportPng:
        FUZZ_CHECK(commandLine.getMainFiles().size() == 1
                           && !commandLine.getExportDirectory().isEmpty()
                           && commandLine.getViewType() >= 0 && commandLine.getViewType() <= 4,
                   "an export writes one view of one main file into a folder");
        break;
    case CommandLine::Action::Run:
        break;
    }

    FUZZ_CHECK(commandLine.getExitStatus() == 0, "a run is no error");
    if (commandLine.hasSize()) {
        FUZZ_CHECK(commandLine.getFrameWidth() >= 1 && commandLine.getFrameWidth() <= 65536
                           && commandLine.getFrameHeight() >= 1
                           && commandLine.getFrameHeight() <= 65536,
                   "size within 1..65536");
    } else {
        FUZZ_CHECK(commandLine.getFrameWidth() == 0 && commandLine.getFrameHeight() == 0,
                   "no size, no dimensions");
    }
    const QStringList lists[3] = {commandLine.getMainFiles(), commandLine.getReference1Files(),
                                  commandLine.getReference2Files()};
    for (const QStringList &files : lists) {
        FUZZ_CHECK(!files.contains(QString()), "no empty file name");
        FUZZ_CHECK(fromArguments(files, arguments), "file names come from the arguments");
    }

    // The normal form: options with attached values, then every main file after "--".
    QStringList normal {QStringLiteral("rawcompare")};
    if (commandLine.hasSize())
        normal.append(QStringLiteral("--size=%1x%2")
                              .arg(commandLine.getFrameWidth())
                              .arg(commandLine.getFrameHeight()));
    if (!commandLine.getPixelFormat().isEmpty())
        normal.append(QStringLiteral("--pix-fmt=") + commandLine.getPixelFormat());
    if (commandLine.hasPlane())
        normal.append(QStringLiteral("--plane=") + QString("yuv").at(commandLine.getPlane()));
    if (action == CommandLine::Action::Metrics)
        normal.append(QStringLiteral("--metrics"));
    if (commandLine.isJson())
        normal.append(QStringLiteral("--json"));
    if (action == CommandLine::Action::Report)
        normal << QStringLiteral("--report=") + commandLine.getReport().getDirectory()
               << QStringLiteral("--worst=%1").arg(commandLine.getReport().getWorstCount());
    if (commandLine.getFirstFrame() != 0 || commandLine.getFrameCount() != -1)
        normal.append(QStringLiteral("--frames=%1").arg(commandLine.getFirstFrame())
                      + (commandLine.getFrameCount() < 0
                                 ? QString()
                                 : QStringLiteral(":%1").arg(commandLine.getFrameCount())));
    for (const QString &file : lists[1])
        normal.append(QStringLiteral("--ref1=") + file);
    for (const QString &file : lists[2])
        normal.append(QStringLiteral("--ref2=") + file);
    normal.append(QStringLiteral("--"));
    normal.append(lists[0]);
    CommandLine again;
    FUZZ_CHECK(again.parse(normal) == action && sameResult(commandLine, again),
               "the normal form reads back the same");
    return 0;
}
