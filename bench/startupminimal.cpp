// The start-up peer: a minimal Qt 6 program that shows one empty QMainWindow.

#include <QApplication>
#include <QMainWindow>

#include "shownprobe.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ShownProbe probe;
    QMainWindow window;
    window.show();
    return app.exec();
}
