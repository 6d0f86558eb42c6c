#pragma once

#include <functional>

// Told (done, total) as a long operation goes through a movie's frames; returning false asks
// the operation to stop and undo what it did. An empty callback is never called.
using ProgressCallback = std::function<bool(int done, int total)>;
