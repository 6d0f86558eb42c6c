#include "displaybench.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QSlider>
#include <QWheelEvent>

#include "benchapplication.h"
#include "benchclock.h"
#include "benchfloors.h"
#include "interleavedruns.h"
#include "roundrobin.h"
#include "image3d.h"
#include "imagenodetestaccess.h"
#include "loadbench.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

namespace DisplayBench {

namespace {

// Sends one wheel notch to the view, as the window system would deliver it.
void wheel(SliceView *pView, int delta)
{
    const QPointF position(pView->viewport()->width() / 2.0, pView->viewport()->height() / 2.0);
    QWheelEvent event(position, pView->viewport()->mapToGlobal(position), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pView->viewport(), &event);
}

const QPixmap *shownPixmap(const SliceWidget &widget)
{
    return ImageNodeTestAccess::shownPixmap(widget);
}

// Every pixmap has a key of its own: a slice shown as a new pixmap was rendered again.
qint64 shownKey(const SliceWidget &widget)
{
    return shownPixmap(widget) ? shownPixmap(widget)->cacheKey() : 0;
}

} // namespace

int render(const std::string &mainFile, const std::string &refFile, int width, int height,
           int rounds)
{
    BenchApplication application;
    Image3D mainMovie;
    Image3D refMovie;
    if (!LoadBench::loadInput(&mainMovie, mainFile, width, height)
        || !LoadBench::loadInput(&refMovie, refFile, width, height))
        return 1;
    const int frames = std::min(mainMovie.getNumFrames(), refMovie.getNumFrames());
    if (frames < 2)
        return 1;

    SliceWidget widget;
    widget.setMovies(&mainMovie, &refMovie, nullptr);
    QSlider *pSlider = widget.getSlider();

    // One round renders frames 1 .. frames - 1, none of them cached: the range is set again
    // first, which empties the cache (and renders frame 0).
    auto oursPerSlice = [&](int viewType) {
        widget.setViewType(viewType);
        pSlider->setValue(0);
        if (viewType == ViewType::Main)
            widget.setMainRange(0.0f, 255.0f);
        else
            widget.setDiff1Range(-128.0f, 128.0f);
        const double start = benchSeconds();
        for (int f = 1; f < frames; ++f)
            pSlider->setValue(f);
        const double seconds = benchSeconds() - start;
        if (!shownPixmap(widget))
            std::fprintf(stderr, "render: no slice shown\n");
        return seconds / (frames - 1);
    };
    // Every slice goes to an image of its own, as the slices of the cache do; the images are
    // allocated and touched once, beforehand, so that the floor holds no allocation.
    std::vector<QImage> images;
    for (int f = 0; f < frames; ++f) {
        images.emplace_back(width, height, QImage::Format_RGB32);
        images.back().fill(0u);
    }
    const qint64 frameSamples = qint64(width) * height;
    auto floorPerSlice = [&](bool difference) {
        double seconds = 0.0;
        for (int f = 1; f < frames; ++f) {
            seconds += BenchFloors::renderSlice(
                    mainMovie.getData() + f * frameSamples,
                    difference ? refMovie.getData() + f * frameSamples : nullptr, &images[f]);
        }
        return seconds / (frames - 1);
    };

    RoundRobin robin;
    const int movie = robin.add("movie", [&] { return oursPerSlice(ViewType::Main); });
    const int difference = robin.add("difference", [&] { return oursPerSlice(ViewType::Diff1); });
    const int floorMovie = robin.add("floor movie", [&] { return floorPerSlice(false); });
    const int floorDifference = robin.add("floor difference", [&] { return floorPerSlice(true); });
    robin.run(rounds);
    std::printf("movie=%.9f\ndifference=%.9f\nfloor_movie=%.9f\nfloor_difference=%.9f\n",
                robin.median(movie), robin.median(difference), robin.median(floorMovie),
                robin.median(floorDifference));
    return 0;
}

int step(const std::string &mainFile, int width, int height, int rounds)
{
    BenchApplication application;
    Image3D mainMovie;
    if (!LoadBench::loadInput(&mainMovie, mainFile, width, height))
        return 1;
    // Few enough slices that all of them stay in the cache.
    const int slices = std::min(mainMovie.getNumFrames(), 16);
    if (slices < 2)
        return 1;

    SliceWidget widget;
    widget.resize(1280, 800);
    widget.setMovies(&mainMovie, nullptr, nullptr);
    SliceView *pView = widget.getView();

    // A round steps forward from slice 0 over slices not rendered yet, then back over the
    // same slices, now cached. A slice shown again as a new pixmap was rendered again.
    std::vector<double> uncached;
    std::vector<double> cached;
    int cachedRenders = 0;
    std::vector<qint64> keys(size_t(slices), 0);
    for (int round = -1; round < rounds; ++round) {
        widget.getSlider()->setValue(0);
        widget.setMainRange(0.0f, 255.0f);
        // Reading a pixmap's key costs nanoseconds, beside microseconds for even a cached step.
        double start = benchSeconds();
        for (int k = 1; k < slices; ++k) {
            wheel(pView, 120);
            keys[size_t(k)] = shownKey(widget);
        }
        const double forward = (benchSeconds() - start) / (slices - 1);
        int renders = 0;
        start = benchSeconds();
        for (int k = slices - 2; k >= 0; --k) {
            wheel(pView, -120);
            if (k > 0 && shownKey(widget) != keys[size_t(k)])
                ++renders;
        }
        const double back = (benchSeconds() - start) / (slices - 1);
        if (widget.getFixedCoordinate() != 0) {
            std::fprintf(stderr, "step: the wheel did not step back to slice 0\n");
            return 1;
        }
        if (round < 0)
            continue;
        cachedRenders += renders;
        uncached.push_back(forward);
        cached.push_back(back);
    }
    std::printf("uncached=%.9f\ncached=%.9f\ncached_renders=%d\n",
                InterleavedRuns::median(uncached), InterleavedRuns::median(cached), cachedRenders);
    return 0;
}

} // namespace DisplayBench
