#include "diffmodesbench.h"

#include <algorithm>
#include <cstdio>

#include <QImage>

#include "benchclock.h"
#include "differencerendering.h"
#include "graymapping.h"
#include "image3d.h"
#include "loadbench.h"
#include "roundrobin.h"

namespace DiffModesBench {

int render(const std::string &mainFile, const std::string &refFile, int width, int height,
           int rounds)
{
    Image3D mainMovie;
    Image3D refMovie;
    if (!LoadBench::loadInput(&mainMovie, mainFile, width, height)
        || !LoadBench::loadInput(&refMovie, refFile, width, height))
        return 1;
    const int frames = std::min(mainMovie.getNumFrames(), refMovie.getNumFrames());
    if (frames < 1)
        return 1;
    const DisplayRange range {-128.0f, 128.0f};
    const DisplayRange mainRange {0.0f, 255.0f};
    quint32 check = 0;
    // One round renders every frame once, each into an image of its own, as the panes do.
    auto perFrame = [&](auto renderFrame) {
        const double start = benchSeconds();
        for (int f = 0; f < frames; ++f) {
            const QImage image
                    = renderFrame(MovieSet::ViewSources {&mainMovie, f, &refMovie, f, true});
            check += image.pixel(width / 2, height / 2);
        }
        return (benchSeconds() - start) / frames;
    };
    auto inMode = [&](DifferenceDisplay::Mode mode) {
        DifferenceDisplay display;
        display.mode = mode;
        // Noise of deviation 12 on both sides of the difference: a few percent of the pixels
        // lie beyond 40.
        display.threshold = 40.0f;
        display.blockSize = 16;
        return perFrame([&](const MovieSet::ViewSources &sources) {
            return DifferenceRendering::render(sources, range, mainRange, display, 8, width,
                                               height);
        });
    };

    RoundRobin robin;
    const int signedGray = robin.add("signed", [&] {
        return perFrame([&](const MovieSet::ViewSources &sources) {
            return renderView(sources, range.minValue, range.maxValue, width, height);
        });
    });
    const int absolute
            = robin.add("absolute", [&] { return inMode(DifferenceDisplay::Mode::Absolute); });
    const int heat = robin.add("heat", [&] { return inMode(DifferenceDisplay::Mode::Heat); });
    const int mask = robin.add("mask", [&] { return inMode(DifferenceDisplay::Mode::Mask); });
    const int blocks = robin.add("blocks", [&] { return inMode(DifferenceDisplay::Mode::Blocks); });
    robin.run(rounds);
    std::printf("signed=%.9f\nabsolute=%.9f\nheat=%.9f\nmask=%.9f\nblocks=%.9f\ncheck=%u\n",
                robin.median(signedGray), robin.median(absolute), robin.median(heat),
                robin.median(mask), robin.median(blocks), check);
    return 0;
}

} // namespace DiffModesBench
