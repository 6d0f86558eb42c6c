// rawcompare's start-up as src/app/main.cpp does it, with the probe that reports when the main
// window is shown.

#include "mainwidget.h"
#include "shownprobe.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ShownProbe probe;
    MainWidget window;
    return app.exec();
}
