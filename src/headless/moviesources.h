#pragma once

#include <memory>

class FrameSource;
class MovieSet;

// The movies the window holds as the sources of a comparison, indexed main, reference 1,
// reference 2 (null where absent). A movie read on demand from a YUV file is compared on the
// file's Y, U and V when every movie is, or when the others' single planes are Y as well
// (planes are paired by number); any other movie on the plane the window holds.
class MovieSources
{
public:
    static void make(const MovieSet &movies, std::unique_ptr<FrameSource> (&sources)[3]);
};
