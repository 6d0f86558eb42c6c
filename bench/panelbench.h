#pragma once

#include <string>

// The metrics panel figure, run inside a child process (offscreen platform): prints
// "panel=SECONDS" (from handing the movies to the shown dock to its last row) and
// "stall=SECONDS" (the longest the event loop went without turning meanwhile). The movies are
// read into memory first, as the window holds them (the luma of YUV 4:2:0), untimed.
namespace PanelBench {

int fill(const std::string &mainFile, const std::string &referenceFile, int width, int height);

} // namespace PanelBench
