#pragma once

#include <string>

// The difference display modes figure, run inside a child process. It prints its medians as
// "name=value" lines and returns the exit status.
namespace DiffModesBench {

// Figure 17: seconds per frame of the difference of two movies rendered into a fresh image,
// as signed gray by renderView ("signed") and by DifferenceRendering::render as absolute, heat
// map, mask and 16 x 16 blocks ("absolute", "heat", "mask", "blocks").
int render(const std::string &mainFile, const std::string &refFile, int width, int height,
           int rounds);

} // namespace DiffModesBench
