#pragma once

#include <QtGlobal>

#include <string>

// The measured operations of the figures of movies read on demand, each run inside a child
// process of its own; each prints "name=value" lines and returns the process's exit status.
namespace OnDemandBench {

// Opens mainFile (and refFile unless it is "-") on demand as YUV 4:2:0, each with a frame cache
// of frameBudget bytes, shows them in a slice widget (difference view when there is a
// reference) and steps with Page Up through every frame. Prints "frame_budget=" (the budgets of
// all caches), "slice_budget=" and "frames=" (the frames shown).
int memory(const std::string &mainFile, const std::string &refFile, int width, int height,
           qint64 frameBudget);

// A step with Page Up from frame 0 to frame 1 of a movie just opened on demand (frame 1 not
// read yet), against reading that frame's luma, converting it to floats and rendering it into
// an image allocated beforehand. Prints "step=", "floor_step=" (medians).
int step(const std::string &file, int width, int height, int rounds);

// Holds Page Down from the last frame to frame 0, one key event every 40 ms (25 a second, as a
// key repeats), and prints "longest=" (the slowest step), "median=" and "steps=".
int hold(const std::string &file, int width, int height);

// PercentileRange::valueRange (share 0) of a movie opened on demand (a new one each round, so
// nothing is cached), against reading the luma frame by frame through one buffer and taking its
// smallest and largest byte. Prints "range=", "floor_range=" (medians).
int range(const std::string &file, int width, int height, int rounds);

} // namespace OnDemandBench
