#pragma once

class MovieSet;

// A display range of one view: minValue maps to black, maxValue to white (min may equal or
// exceed max).
struct DisplayRange
{
    float minValue = 0.0f;
    float maxValue = 255.0f;

    // The range a view starts with for the movies it shows: 0 .. 2^depth - 1 for a movie,
    // -2^(depth-1) .. 2^(depth-1) for a difference, depth being the movie's (the deeper of the
    // two for a difference) and 8 for a movie that is absent. So 0 .. 255 and -128 .. 128 with
    // 8-bit movies or none. viewType is a ViewType value.
    static DisplayRange starting(int viewType, const MovieSet &movies);

    bool operator==(const DisplayRange &other) const
    {
        return minValue == other.minValue && maxValue == other.maxValue;
    }
    bool operator!=(const DisplayRange &other) const { return !(*this == other); }
};
