// The start-up peer: a minimal Qt 6 program that shows one empty QMainWindow.

#include "shownprobe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ShownProbe probe;
    QMainWindow window;
    window.show();
    return app.exec();
}
