#include <cstdio>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include "blockerrorsrunner.h"
#include "findoffsetrunner.h"
#include "commandline.h"
#include "exportrunner.h"
#include "image2d.h"
#include "mainwidget.h"
#include "metricsrunner.h"
#include "reportrunner.h"

namespace {

// How the modes without a window read the files named on the command line.
MovieFileOptions fileOptionsOf(const CommandLine &commandLine)
{
    MovieFileOptions files;
    if (commandLine.hasSize()) {
        files.frameWidth = commandLine.getFrameWidth();
        files.frameHeight = commandLine.getFrameHeight();
    }
    files.pixelFormat = commandLine.getPixelFormat();
    files.firstFrame = commandLine.getFirstFrame();
    files.frameCount = commandLine.getFrameCount();
    return files;
}

// Each reference with options of its own (--ref1-size, ...): shared with them put in.
template<typename Options>
void putReferenceFileOptions(const CommandLine &commandLine, const MovieFileOptions &shared,
                             Options &options)
{
    const ReferenceFileArguments &own = commandLine.getReferenceFileArguments();
    for (int ref = 1; ref <= 2; ++ref)
        if (own.isSet(ref))
            options.referenceFiles[ref - 1] = own.apply(ref, shared);
}

MetricsOptions metricsOptionsOf(const CommandLine &commandLine)
{
    MetricsOptions options;
    options.mainFile = commandLine.getMainFiles().value(0);
    options.reference1File = commandLine.getReference1Files().value(0);
    options.reference2File = commandLine.getReference2Files().value(0);
    options.isJson = commandLine.isJson();
    options.files = fileOptionsOf(commandLine);
    putReferenceFileOptions(commandLine, options.files, options);
    for (int ref = 1; ref <= 2; ++ref) {
        // Every plane is compared; the plane chosen is what a view shows.
        if (options.referenceFileOptions(ref).plane != 0) {
            std::fprintf(stderr,
                         "rawcompare: note: --ref%d-plane chooses what the views show: "
                         "it changes no comparison\n",
                         ref);
            options.referenceFiles[ref - 1]->plane = 0;
        }
    }
    options.reference1Offset = commandLine.getReferenceOffset(1);
    options.reference2Offset = commandLine.getReferenceOffset(2);
    if (commandLine.getFrameCacheMiB() > 0)
        options.memoryBudget = qint64(commandLine.getFrameCacheMiB()) << 20;
    options.blockSize = commandLine.getBlockSize();
    options.gate = commandLine.getGate();
    options.region = commandLine.getViewArguments().getRegion();
    return options;
}

// --metrics, --block-errors and --find-offset: no window and no window system; a core application
// only, for Qt's image readers.
int runMetrics(const CommandLine &commandLine, char *program)
{
    int qtArgc = 1;
    char *qtArgv[] = {program, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    Image2D::raiseImageAllocationLimit();
    const MetricsOptions options = metricsOptionsOf(commandLine);
    if (commandLine.getFindOffsetRange() >= 0)
        return FindOffsetRunner(stdout, stderr, commandLine.getFindOffsetRange()).run(options);
    if (options.blockSize > 0)
        return BlockErrorsRunner(stdout, stderr).run(options);
    return MetricsRunner(stdout, stderr).run(options);
}

// --export-png: no window and no window system either; Qt's PNG writer needs no more than a
// core application.
int runExport(const CommandLine &commandLine, char *program)
{
    int qtArgc = 1;
    char *qtArgv[] = {program, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    Image2D::raiseImageAllocationLimit();
    ExportOptions options;
    options.directory = commandLine.getExportDirectory();
    options.viewType = commandLine.getViewType();
    options.mainFile = commandLine.getMainFiles().value(0);
    options.reference1File = commandLine.getReference1Files().value(0);
    options.reference2File = commandLine.getReference2Files().value(0);
    options.files = fileOptionsOf(commandLine);
    options.plane = commandLine.getPlane();
    MovieFileOptions shared = options.files;
    shared.plane = options.plane;
    putReferenceFileOptions(commandLine, shared, options);
    options.colour = commandLine.getDisplay() == 3;
    options.colourOptions = commandLine.applyColourOptions(ColourOptions());
    options.difference = commandLine.getViewArguments().applyDifference(DifferenceDisplay());
    options.hasRange = commandLine.hasRange();
    options.minValue = commandLine.getRangeMin();
    options.maxValue = commandLine.getRangeMax();
    options.reference1Offset = commandLine.getReferenceOffset(1);
    options.reference2Offset = commandLine.getReferenceOffset(2);
    return ExportRunner(stderr).run(options);
}

// --report: no window either, but its plots are painted with text, which needs fonts: Qt's
// offscreen platform gives them without any display.
int runReport(const CommandLine &commandLine, char *program)
{
    int qtArgc = 3;
    char platformOption[] = "-platform";
    char platform[] = "offscreen";
    char *qtArgv[] = {program, platformOption, platform, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    Image2D::raiseImageAllocationLimit();
    ReportOptions options;
    options.directory = commandLine.getReport().getDirectory();
    options.worstCount = commandLine.getReport().getWorstCount();
    options.metrics = metricsOptionsOf(commandLine);
    return ReportRunner(stdout, stderr, options).run();
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Parsed before any window system is touched, so --help and errors work without a display.
    CommandLine commandLine;
    switch (commandLine.parse(arguments)) {
    case CommandLine::Action::ShowHelp:
    case CommandLine::Action::ShowVersion:
        std::fputs(commandLine.getText().toLocal8Bit().constData(), stdout);
        return commandLine.getExitStatus();
    case CommandLine::Action::Fail:
        std::fputs(commandLine.getText().toLocal8Bit().constData(), stderr);
        return commandLine.getExitStatus();
    case CommandLine::Action::Metrics:
    case CommandLine::Action::BlockErrors:
    case CommandLine::Action::FindOffset:
        return runMetrics(commandLine, argv[0]);
    case CommandLine::Action::ExportPng:
        return runExport(commandLine, argv[0]);
    case CommandLine::Action::Report:
        return runReport(commandLine, argv[0]);
    case CommandLine::Action::Run:
        break;
    }

    // The command line above is the whole interface: Qt sees only the program name, so a file
    // name is never taken for one of its options. Qt is set up through its environment
    // variables (QT_QPA_PLATFORM and so on).
    Image2D::raiseImageAllocationLimit();
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // Where QSettings keeps the window's remembered settings: ~/.config/rawcompare/.
    QCoreApplication::setOrganizationName(QStringLiteral("rawcompare"));
    QCoreApplication::setApplicationName(QStringLiteral("rawcompare"));
    MainWidget window;
    for (const QString &note : window.openFromCommandLine(commandLine))
        std::fputs((QStringLiteral("rawcompare: ") + note + QLatin1Char('\n'))
                           .toLocal8Bit()
                           .constData(),
                   stderr);
    return app.exec();
}
