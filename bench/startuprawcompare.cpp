// rawcompare's start-up as src/app/main.cpp does it (command line, application, main window),
// with the probe that reports when the main window is shown; with movies on the command line,
// when the first frame of the main movie is on screen.

#include <QApplication>
#include <QStringList>

#include "commandline.h"
#include "imagenodetestaccess.h"
#include "mainwidget.h"
#include "shownprobe.h"
#include "slicewidget.h"

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine commandLine;
    if (commandLine.parse(arguments) != CommandLine::Action::Run)
        return 2;

    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    MainWidget window;
    const bool movies = !commandLine.getMainFiles().isEmpty();
    ShownProbe probe([&window, movies] {
        if (!movies)
            return true;
        const auto *pSlices = window.findChild<SliceWidget *>();
        return pSlices && ImageNodeTestAccess::shownPixmap(*pSlices) != nullptr;
    });
    window.openFromCommandLine(commandLine);
    return app.exec();
}
