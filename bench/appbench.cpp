#include "appbench.h"

#include <cstdio>

#include <unistd.h>

#include "benchclock.h"
#include "benchfloors.h"
#include "roundrobin.h"
#include "image3d.h"
#include "loadbench.h"
#include "mainwidget.h"
#include "moviewriter.h"

namespace AppBench {

int ranges(const std::string &mainFile, int mainWidth, int mainHeight, const std::string &refFile,
           int refWidth, int refHeight, int rounds)
{
    Image3D mainMovie;
    Image3D refMovie;
    if (!LoadBench::loadInput(&mainMovie, mainFile, mainWidth, mainHeight)
        || !LoadBench::loadInput(&refMovie, refFile, refWidth, refHeight))
        return 1;

    float check = 0.0f;
    RoundRobin robin;
    const int range = robin.add("computeRange", [&] {
        float minValue = 0.0f, maxValue = 0.0f;
        const double start = benchSeconds();
        MainWidget::computeRange(&mainMovie, minValue, maxValue);
        const double seconds = benchSeconds() - start;
        check += minValue + maxValue;
        return seconds;
    });
    const int floor = robin.add("min/max floor", [&] {
        float minValue = 0.0f, maxValue = 0.0f;
        const double seconds = BenchFloors::minMax(mainMovie.getData(), mainMovie.getSampleCount(),
                                                   &minValue, &maxValue);
        check += minValue + maxValue;
        return seconds;
    });
    const int difference = robin.add("computeDifferenceRange", [&] {
        float minValue = 0.0f, maxValue = 0.0f;
        const double start = benchSeconds();
        MainWidget::computeDifferenceRange(&mainMovie, &refMovie, minValue, maxValue);
        const double seconds = benchSeconds() - start;
        check += minValue + maxValue;
        return seconds;
    });
    robin.run(rounds);
    std::printf("range=%.9f\nfloor_range=%.9f\ndifference_range=%.9f\ncheck=%g\n",
                robin.median(range), robin.median(floor), robin.median(difference), double(check));
    return 0;
}

int save(const std::string &mainFile, int width, int height, const std::string &folder, int rounds)
{
    Image3D movie;
    if (!LoadBench::loadInput(&movie, mainFile, width, height))
        return 1;
    const std::string oursFile = folder + "/saved.yuv";
    const std::string floorFile = folder + "/floor.yuv";
    bool failed = false;

    RoundRobin robin;
    const int ours = robin.add("writer", [&] {
        unlink(oursFile.c_str());
        const double start = benchSeconds();
        failed = failed || MovieWriter::writeYUV(movie, oursFile) != MovieWriter::Result::Written;
        const double seconds = benchSeconds() - start;
        unlink(oursFile.c_str());
        return seconds;
    });
    const int floor = robin.add("fwrite floor", [&] {
        const double seconds = BenchFloors::writeFrames(
                floorFile, MovieWriter::frameBytes(width, height), movie.getNumFrames());
        failed = failed || seconds < 0;
        return seconds;
    });
    robin.run(rounds);
    if (failed) {
        std::fprintf(stderr, "save: a write failed\n");
        return 1;
    }
    std::printf("save=%.9f\nfloor_save=%.9f\n", robin.median(ours), robin.median(floor));
    return 0;
}

} // namespace AppBench
