#pragma once

#include <string>

#include "progresscallback.h"

class MovieSet;

// Looks through the main frames, one direction at a time, for the first where main -
// reference differs somewhere by more than a threshold (|d| > threshold). Only frames both
// movies have count, and only pixels both have (rows counted from the bottom). Frames are read
// one by one through the movies' frame caches, and the search stops at the first sample found.
class DifferenceSearch
{
public:
    enum class Outcome { Found, NotFound, Cancelled, ReadFailed };
    struct Result
    {
        Outcome outcome = Outcome::NotFound;
        // Found: the main frame; ReadFailed: the main frame whose movies could not be read.
        int frame = -1;
        std::string error; // ReadFailed: the movie's frame error
    };

    // From main frame `from` (itself left out) in direction dir (+1 or -1) to the first or last
    // frame of the movies, comparing with reference ref (1 or 2) under its offset. progress is
    // told (frames looked at, frames both movies have in that direction) after each frame.
    static Result find(const MovieSet &movies, int ref, int from, int dir, float threshold,
                       const ProgressCallback &progress = {});
};
