#pragma once

#include <string>

class Image3D;

// The measured operations of the loading figures, run inside a child process. Each prints
// "seconds=" (the operation alone) and "check=" (a value derived from the result, so that no
// work can be optimised away) and returns the process's exit status.
namespace LoadBench {

// Image3D::loadRaw of the Y plane of a file of that pixel format (an ffmpeg name) into a new
// volume.
int load(const std::string &fileName, int width, int height, const std::string &format);

// The floor: read the file once through a reused frame buffer and write a freshly allocated
// float array of the volume's size once (allocated the way the volume is: straight from the
// kernel, with huge pages where offered).
int floor(const std::string &fileName, int width, int height, const std::string &format);

// Reads a YUV input of the other figures into pMovie; false, with a line on stderr, when the
// reader does not return a complete movie.
bool loadInput(Image3D *pMovie, const std::string &fileName, int width, int height);

} // namespace LoadBench
