#include "playbackbench.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>

#include "benchapplication.h"
#include "benchclock.h"
#include "colourframes.h"
#include "colourrendering.h"
#include "commandline.h"
#include "graymapping.h"
#include "image3d.h"
#include "mainwidget.h"
#include "session.h"
#include "percentilerange.h"
#include "playback.h"
#include "slicewidget.h"
#include "slicescene.h"
#include "sliceview.h"

namespace PlaybackBench {

namespace {

// Times every paint of the view: from the paint event's arrival to the view's painted().
class PaintClock : public QObject
{
public:
    using QObject::QObject;
    double total = 0;
    int paints = 0;
    double started = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            started = benchSeconds();
        return QObject::eventFilter(watched, event);
    }
};

// What one frame costs apart, medians over (at most) 30 frames of the movie opened anew, before
// any window exists: reading and converting, rendering the slice, making the pixmap; then auto
// scale of one frame ignoring outliers (its frame in memory). False when a frame fails.
bool measureParts(const std::string &file, int width, int height, bool colour, double parts[4])
{
    Image3D movie;
    if (!movie.openRaw(file, width, height, true) || !movie.getColourFrames())
        return false;
    const ColourRendering rendering;
    std::vector<double> times[4];
    const int frames = std::min(movie.getNumFrames(), 30);
    for (int f = 0; f < frames; ++f) {
        double t = benchSeconds();
        const bool ok
                = colour ? !movie.getColourFrames()->getFrame(f).isNull() : bool(movie.getFrame(f));
        times[0].push_back(benchSeconds() - t);
        t = benchSeconds();
        const QImage image = colour ? rendering.render(&movie, f, width, height)
                                    : renderValueSlice(&movie, 0, 255, f, width, height);
        times[1].push_back(benchSeconds() - t);
        t = benchSeconds();
        const QPixmap pixmap = QPixmap::fromImage(image);
        times[2].push_back(benchSeconds() - t);
        if (!ok || pixmap.isNull())
            return false;
    }
    for (int round = 0; round < 5; ++round) {
        float low = 0, high = 0;
        const double t = benchSeconds();
        PercentileRange::valueRange(&movie, 0, 1, PercentileRange::OutlierShare, low, high);
        times[3].push_back(benchSeconds() - t);
    }
    for (int i = 0; i < 4; ++i) {
        std::sort(times[i].begin(), times[i].end());
        parts[i] = times[i][times[i].size() / 2];
    }
    return true;
}

} // namespace

int play(const std::string &file, int width, int height, double seconds, bool colour,
         const QStringList &extra)
{
    BenchApplication application;
    double parts[4] = {};
    if (!measureParts(file, width, height, colour, parts)) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    MainWidget window;
    CommandLine commandLine;
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    if (commandLine.parse(QStringList {QStringLiteral("rawcompare"), QStringLiteral("--size"), size,
                                       QStringLiteral("--display"),
                                       colour ? QStringLiteral("colour") : QStringLiteral("y"),
                                       QString::fromStdString(file)}
                          + extra)
        != CommandLine::Action::Run) {
        std::fprintf(stderr, "bad command line\n");
        return 1;
    }
    window.openFromCommandLine(commandLine);
    if (!window.getSession().getMovie(Session::Main)
        || window.getSession().getMovie(Session::Main)->getNumFrames() < 2) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        return 1;
    }
    SliceWidget *pSlices = window.findChild<SliceWidget *>();
    SliceView *pView = pSlices->getView();
    pView->setZoom(1.0);
    const int frames = window.getSession().getMovie(Session::Main)->getNumFrames();
    // The window on screen before the clock starts.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    PaintClock clock;
    pView->viewport()->installEventFilter(&clock);
    int lastPainted = pSlices->getFixedCoordinate();
    int shown = 0;
    int skipped = 0;
    bool counting = false;
    QObject::connect(pView, &SliceView::painted, &clock, [&]() {
        const int frame = pSlices->getFixedCoordinate();
        if (!counting)
            return;
        clock.total += benchSeconds() - clock.started;
        ++clock.paints;
        if (frame != lastPainted) {
            ++shown;
            if (frame != (lastPainted + 1) % frames)
                ++skipped;
            lastPainted = frame;
        }
    });
    window.findChild<QDoubleSpinBox *>(QStringLiteral("frameRate"))->setValue(1000);
    window.findChild<Playback *>()->play();
    // A second of warm-up, then the measured time.
    const double warmUpEnd = benchSeconds() + 1.0;
    while (benchSeconds() < warmUpEnd)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    lastPainted = pSlices->getFixedCoordinate();
    counting = true;
    const double start = benchSeconds();
    while (benchSeconds() - start < seconds)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const double elapsed = benchSeconds() - start;
    counting = false;
    window.findChild<Playback *>()->pause();

    std::printf("fps=%.3f\nskipped=%d\npaint=%.6f\nread=%.6f\nrender=%.6f\nupload=%.6f\n"
                "percentile=%.6f\nviewport=%dx%d\n",
                shown / elapsed, skipped, clock.paints ? clock.total / clock.paints : 0.0, parts[0],
                parts[1], parts[2], parts[3], pView->viewport()->width(),
                pView->viewport()->height());
    return 0;
}

int moves(const std::string &file, int width, int height)
{
    BenchApplication application;
    MainWidget window;
    CommandLine commandLine;
    const QString name = QString::fromStdString(file);
    if (commandLine.parse({QStringLiteral("rawcompare"), QStringLiteral("--size"),
                           QStringLiteral("%1x%2").arg(width).arg(height),
                           QStringLiteral("--display"), QStringLiteral("y"),
                           QStringLiteral("--layout"), QStringLiteral("wipe"),
                           QStringLiteral("--views"), QStringLiteral("main,ref1"), name,
                           QStringLiteral("--ref1"), name})
        != CommandLine::Action::Run)
        return 1;
    window.openFromCommandLine(commandLine);
    SliceWidget *pPane = window.findChild<SliceWidget *>();
    pPane->getView()->setZoom(1.0);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::vector<double> slice, wipe, crossHair, paint;
    Session &session = window.getSession();
    for (int round = 0; round < 41; ++round) {
        double t = benchSeconds();
        const QImage image = pPane->renderSlice();
        slice.push_back(benchSeconds() - t);
        Layout layout = session.getLayout();
        layout.wipePosition = 0.2 + 0.015 * round;
        t = benchSeconds();
        session.setLayout(layout);
        wipe.push_back(benchSeconds() - t);
        t = benchSeconds();
        pPane->getScene()->setVerticalPosition(100 + round);
        pPane->getScene()->setHorizontalPosition(100 + round);
        crossHair.push_back(benchSeconds() - t);
        // The paint that follows either move, the same as after any change of the picture.
        t = benchSeconds();
        pPane->getView()->viewport()->repaint();
        paint.push_back(benchSeconds() - t);
        if (image.isNull())
            return 1;
    }
    std::printf("slice=%.6f\nwipe=%.6f\ncrosshair=%.6f\npaint=%.6f\n", median(slice), median(wipe),
                median(crossHair), median(paint));
    return 0;
}

} // namespace PlaybackBench
