#pragma once

#include <QString>

// How a difference view shows main - reference under its display range (min .. max):
// Signed: gray, min black, max white (as always). Absolute: |d| from black (0) to white
// (max(|min|, |max|)). Heat: a diverging blue-white-red map, min blue, the middle white, max red.
// Mask: the main picture in gray under the main view's range, each pixel where |d| > threshold
// painted in the highlight colour. Blocks: the frame cut in blockSize x blockSize blocks from
// the top-left corner, each painted by its MSE on a sequential colour map from 0 to
// max(|min|, |max|)^2.
struct DifferenceDisplay
{
    enum class Mode { Signed, Absolute, Heat, Mask, Blocks };
    Mode mode = Mode::Signed;
    float threshold = 0.0f; // Mask: |d| above it is highlighted
    int blockSize = 16; // Blocks: 4, 8, 16, 32 or 64

    // "signed", "absolute", "heat", "mask", "blocks"; parse leaves mode alone and returns false
    // for any other name.
    static QString name(Mode mode);
    static bool parse(const QString &text, Mode &mode);

    bool operator==(const DifferenceDisplay &other) const
    {
        return mode == other.mode && threshold == other.threshold && blockSize == other.blockSize;
    }
    bool operator!=(const DifferenceDisplay &other) const { return !(*this == other); }
};
