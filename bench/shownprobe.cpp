#include "shownprobe.h"

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include "benchclock.h"

ShownProbe::ShownProbe(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool ShownProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Expose)
        return false;
    auto *pWindow = qobject_cast<QWindow *>(watched);
    if (!pWindow || !pWindow->isTopLevel())
        return false;
    // The window paints its widgets and flushes them while it handles the event.
    watched->event(event);
    if (!pWindow->isExposed())
        return true;
    const char *pStart = std::getenv("RAWBENCH_START");
    const double start = pStart ? std::strtod(pStart, nullptr) : 0.0;
    std::printf("seconds=%.6f\n", benchSeconds() - start);
    std::fflush(stdout);
    std::_Exit(0);
}
