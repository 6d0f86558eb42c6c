#include "panelbench.h"

#include "benchclock.h"
#include "image3d.h"
#include "metricsdock.h"

#include <QApplication>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace PanelBench {

int fill(const std::string &mainFile, const std::string &referenceFile, int width, int height)
{
    int argc = 1;
    char name[] = "rawbench";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Opened as the window opens files: read on demand, so the dock compares Y, U and V
    // through the open files, as --metrics does.
    Image3D main, reference;
    if (!main.openRaw(mainFile, width, height, true)
        || !reference.openRaw(referenceFile, width, height, true)) {
        std::fprintf(stderr, "panel: the movies could not be read\n");
        return 1;
    }
    MetricsDock dock;
    dock.resize(800, 600);
    dock.show();
    QCoreApplication::processEvents();
    // The progress bar shows while the dock computes.
    const QProgressBar *pProgress = dock.findChild<QProgressBar *>();
    const QAbstractItemModel *pRows = dock.findChild<QTableView *>()->model();

    // A timer that fires as often as the loop lets it: the gaps between its ticks are the
    // stalls a user would feel.
    double longestGap = 0.0;
    double lastTick = 0.0;
    double done = -1.0;
    const double start = benchSeconds();
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&]() {
        const double now = benchSeconds();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (pProgress->isHidden() && pRows->rowCount() == main.getNumFrames()) {
            done = now;
            app.quit();
        }
    });
    lastTick = benchSeconds();
    dock.setMovies({&main, &reference, nullptr});
    ticker.start();
    app.exec();
    if (done < 0) {
        std::fprintf(stderr, "panel: the dock did not fill\n");
        return 1;
    }
    std::printf("panel=%.6f\nstall=%.6f\n", done - start, longestGap);
    return 0;
}

} // namespace PanelBench
