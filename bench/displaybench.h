#pragma once

#include <string>

// The display figures, run inside a child process with a QApplication on the offscreen
// platform. Each prints its medians as "name=value" lines and returns the exit status.
namespace DisplayBench {

// Figure 3: seconds per slice rendered uncached by SliceWidget ("movie", "difference") and by
// the floor ("floor_movie", "floor_difference"), over every frame of the two movies.
int render(const std::string &mainFile, const std::string &refFile, int width, int height,
           int rounds);

// Figure 4: seconds per wheel step, from the event to the pixmap handed to the scene, to a
// slice that is not cached ("uncached") and to one that is ("cached"); "cached_renders" counts
// the slices rendered during the cached steps (0 when they cost no sample arithmetic).
int step(const std::string &mainFile, int width, int height, int rounds);

} // namespace DisplayBench
