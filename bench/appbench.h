#pragma once

#include <string>

// The application figures, run inside a child process. Each prints its medians as
// "name=value" lines and returns the exit status.
namespace AppBench {

// Figure 5: seconds of computeRange over the main movie ("range"), of a plain minimum /
// maximum pass over the same array ("floor_range") and of computeDifferenceRange of the main
// movie and a reference of another size ("difference_range").
int ranges(const std::string &mainFile, int mainWidth, int mainHeight, const std::string &refFile,
           int refWidth, int refHeight, int rounds);

// Figure 6: seconds of saving the movie with the main window's writer ("save") and of writing
// as many bytes with one fwrite per frame ("floor_save"), both into folder.
int save(const std::string &mainFile, int width, int height, const std::string &folder, int rounds);

} // namespace AppBench
