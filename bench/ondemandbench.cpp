#include "ondemandbench.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSlider>

#include "benchapplication.h"
#include "benchclock.h"
#include "benchfloors.h"
#include "framecache.h"
#include "image3d.h"
#include "imagenodetestaccess.h"
#include "interleavedruns.h"
#include "percentilerange.h"
#include "roundrobin.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

namespace OnDemandBench {

namespace {

std::unique_ptr<Image3D> open(const std::string &file, int width, int height)
{
    auto pMovie = std::make_unique<Image3D>();
    if (!pMovie->openRaw(file, width, height, true)) {
        std::fprintf(stderr, "cannot open %s: %s\n", file.c_str(),
                     pMovie->getErrorString().c_str());
        return nullptr;
    }
    return pMovie;
}

// One key press as the window system delivers it, then whatever it set off on screen.
void press(SliceView *pView, int key, bool autoRepeat)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(pView, &event);
    QApplication::processEvents();
}

bool shown(const SliceWidget &widget) { return ImageNodeTestAccess::shownPixmap(widget); }

// The luma of one YUV 4:2:0 frame with one pread.
bool readLuma(int fd, int frame, int width, int height, unsigned char *pBytes)
{
    const qint64 luma = qint64(width) * height;
    const qint64 offset = qint64(frame) * luma * 3 / 2;
    return pread(fd, pBytes, size_t(luma), off_t(offset)) == ssize_t(luma);
}

} // namespace

int memory(const std::string &mainFile, const std::string &refFile, int width, int height,
           qint64 frameBudget)
{
    BenchApplication application;
    std::unique_ptr<Image3D> pMain = open(mainFile, width, height);
    std::unique_ptr<Image3D> pRef = refFile == "-" ? nullptr : open(refFile, width, height);
    if (!pMain || (refFile != "-" && !pRef))
        return 1;
    qint64 budgets = 0;
    for (Image3D *pMovie : {pMain.get(), pRef.get()}) {
        if (pMovie) {
            pMovie->getFrameCache()->setBudget(frameBudget);
            budgets += frameBudget;
        }
    }
    SliceWidget widget;
    widget.resize(1280, 800);
    widget.setMovies(pMain.get(), pRef.get(), nullptr);
    if (pRef)
        widget.setViewType(ViewType::Diff1);
    widget.show();
    QApplication::processEvents();
    const int frames = pMain->getNumFrames();
    int shownFrames = 1;
    for (int f = 1; f < frames; ++f) {
        press(widget.getView(), Qt::Key_PageUp, true);
        if (widget.getFixedCoordinate() == f && shown(widget))
            ++shownFrames;
    }
    if (shownFrames != frames) {
        std::fprintf(stderr, "memory: %d of %d frames shown\n", shownFrames, frames);
        return 1;
    }
    std::printf("frame_budget=%lld\nslice_budget=%lld\nframes=%d\n", budgets, qint64(256) << 20,
                shownFrames);
    return 0;
}

int step(const std::string &file, int width, int height, int rounds)
{
    BenchApplication application;
    SliceWidget widget;
    widget.resize(1280, 800);
    widget.show();
    std::unique_ptr<Image3D> pMovie;
    bool failed = false;
    // A new movie each time: frame 0 is read when it is shown, frame 1 by the step alone.
    auto oursStep = [&] {
        widget.setMovies(nullptr, nullptr, nullptr);
        pMovie = open(file, width, height);
        if (!pMovie || pMovie->getNumFrames() < 2) {
            failed = true;
            return 0.0;
        }
        widget.setMovies(pMovie.get(), nullptr, nullptr);
        widget.setMainRange(0.0f, 255.0f);
        QApplication::processEvents();
        pMovie->getFrameCache()->waitForReadAhead();
        const qint64 frameBytes = qint64(width) * height * qint64(sizeof(float));
        if (pMovie->getFrameCache()->getHeldBytes() > frameBytes) {
            std::fprintf(stderr, "step: more than frame 0 read before the step\n");
            failed = true;
        }
        const double start = benchSeconds();
        press(widget.getView(), Qt::Key_PageUp, false);
        const double seconds = benchSeconds() - start;
        failed = failed || widget.getFixedCoordinate() != 1 || !shown(widget);
        return seconds;
    };
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0)
        return 1;
    const qint64 luma = qint64(width) * height;
    std::vector<unsigned char> bytes(size_t(luma), 0);
    std::vector<float> samples(size_t(luma), 0.0f);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0u);
    auto floorStep = [&] {
        const double start = benchSeconds();
        failed = failed || !readLuma(fd, 1, width, height, bytes.data());
        for (qint64 i = 0; i < luma; ++i)
            samples[size_t(i)] = float(bytes[size_t(i)]);
        BenchFloors::renderSlice(samples.data(), nullptr, &image);
        return benchSeconds() - start;
    };
    // The same with the float frame and the image freshly allocated, as a cache must.
    auto freshStep = [&] {
        const double start = benchSeconds();
        std::unique_ptr<float[]> pFresh(new float[size_t(luma)]);
        QImage fresh(width, height, QImage::Format_RGB32);
        failed = failed || !readLuma(fd, 1, width, height, bytes.data());
        for (qint64 i = 0; i < luma; ++i)
            pFresh[size_t(i)] = float(bytes[size_t(i)]);
        BenchFloors::renderSlice(pFresh.get(), nullptr, &fresh);
        return benchSeconds() - start;
    };
    RoundRobin robin;
    const int ours = robin.add("uncached step", oursStep);
    const int floor = robin.add("read + convert + render", floorStep);
    const int fresh = robin.add("the same into fresh memory", freshStep);
    robin.run(rounds);
    close(fd);
    if (failed) {
        std::fprintf(stderr, "step: a step failed\n");
        return 1;
    }
    std::printf("step=%.9f\nfloor_step=%.9f\nfresh_step=%.9f\n", robin.median(ours),
                robin.median(floor), robin.median(fresh));
    return 0;
}

int hold(const std::string &file, int width, int height)
{
    BenchApplication application;
    std::unique_ptr<Image3D> pMovie = open(file, width, height);
    if (!pMovie || pMovie->getNumFrames() < 2)
        return 1;
    const int frames = pMovie->getNumFrames();
    SliceWidget widget;
    widget.resize(1280, 800);
    widget.setMovies(pMovie.get(), nullptr, nullptr);
    widget.setMainRange(0.0f, 255.0f);
    widget.show();
    widget.getSlider()->setValue(frames - 1);
    QApplication::processEvents();
    std::vector<double> steps;
    const double interval = 0.040;
    double next = benchSeconds();
    for (int f = frames - 2; f >= 0; --f) {
        // The next repeat comes 40 ms after the last one; meanwhile the program is idle.
        while (benchSeconds() < next) {
            QApplication::processEvents();
            usleep(500);
        }
        const double start = benchSeconds();
        press(widget.getView(), Qt::Key_PageDown, true);
        steps.push_back(benchSeconds() - start);
        next = start + interval;
        if (widget.getFixedCoordinate() != f || !shown(widget)) {
            std::fprintf(stderr, "hold: frame %d not shown\n", f);
            return 1;
        }
    }
    const auto slow = std::count_if(steps.begin(), steps.end(), [](double t) { return t > 0.080; });
    for (size_t k = 0; k < steps.size(); ++k) {
        if (steps[k] > 0.080)
            std::fprintf(stderr, "hold: the step to frame %d took %.1f ms\n", frames - 2 - int(k),
                         steps[k] * 1e3);
    }
    std::printf("longest=%.9f\nmedian=%.9f\nslow=%d\nsteps=%d\n",
                *std::max_element(steps.begin(), steps.end()), InterleavedRuns::median(steps),
                int(slow), int(steps.size()));
    return 0;
}

int range(const std::string &file, int width, int height, int rounds)
{
    bool failed = false;
    float check = 0.0f;
    std::vector<double> cached;
    auto ours = [&] {
        const double start = benchSeconds();
        std::unique_ptr<Image3D> pMovie = open(file, width, height);
        float minValue = 0.0f, maxValue = 0.0f;
        failed = failed || !pMovie
                || PercentileRange::valueRange(pMovie.get(), 0, -1, 0.0, minValue, maxValue)
                        != PercentileRange::Outcome::Done;
        const double seconds = benchSeconds() - start;
        check += minValue + maxValue;
        // The same again on the same movie.
        const double again = benchSeconds();
        failed = failed || !pMovie
                || PercentileRange::valueRange(pMovie.get(), 0, -1, 0.0, minValue, maxValue)
                        != PercentileRange::Outcome::Done;
        cached.push_back(benchSeconds() - again);
        return seconds;
    };
    auto floor = [&] {
        const double start = benchSeconds();
        const int fd = ::open(file.c_str(), O_RDONLY);
        const qint64 luma = qint64(width) * height;
        const qint64 frameBytes = luma * 3 / 2;
        const off_t size = fd < 0 ? 0 : lseek(fd, 0, SEEK_END);
        const int frames = int(size / frameBytes);
        std::vector<unsigned char> bytes(static_cast<size_t>(luma));
        unsigned char minValue = 255, maxValue = 0;
        for (int f = 0; f < frames; ++f) {
            failed = failed || !readLuma(fd, f, width, height, bytes.data());
            for (qint64 i = 0; i < luma; ++i) {
                minValue = std::min(minValue, bytes[size_t(i)]);
                maxValue = std::max(maxValue, bytes[size_t(i)]);
            }
        }
        if (fd >= 0)
            close(fd);
        failed = failed || frames == 0;
        check += float(minValue) + float(maxValue);
        return benchSeconds() - start;
    };
    RoundRobin robin;
    const int oursIndex = robin.add("valueRange", ours);
    const int floorIndex = robin.add("streaming min/max", floor);
    robin.run(rounds);
    if (failed) {
        std::fprintf(stderr, "range: a pass failed\n");
        return 1;
    }
    std::printf("range=%.9f\nfloor_range=%.9f\nrange_cached=%.9f\ncheck=%g\n",
                robin.median(oursIndex), robin.median(floorIndex), InterleavedRuns::median(cached),
                double(check));
    return 0;
}

} // namespace OnDemandBench
