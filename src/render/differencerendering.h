#pragma once

#include <QImage>

#include "blockerrors.h"
#include "differencedisplay.h"
#include "displayrange.h"
#include "movieset.h"

// Difference views in every DifferenceDisplay mode: the one place the panes, the readout and the
// export turn main - reference into pixels. Images are width x height Format_RGB32 with image
// row 0 the bottom row of the picture, as renderView makes them; d = main - reference in float.
//
// Signed is renderView's image. Absolute, Heat and Blocks paint a pixel only where both movies
// have a sample, black elsewhere; Mask shows the main picture's gray wherever main has a sample
// (black elsewhere) and highlights only where both have one. Absolute and Heat show a NaN
// difference in black.
// Blocks pair the samples as the view does (sample (x, y) of main with sample (x, y) of the
// reference, row 0 at the bottom) and cut the area both movies cover in blockSize x blockSize
// blocks from its top-left corner.
class DifferenceRendering
{
public:
    // Mask's highlight: saturated magenta, which no gray and neither end of the heat map shows.
    static constexpr QRgb MaskColour = 0xffff00ffu;

    // The image of what a difference view reads (sources.difference; a movie view gets
    // renderView's image) under `range`; `mainRange` is the main view's range, under which Mask
    // paints the main picture in gray. `depth` is the movies' bit depth. Null when memory runs
    // out.
    static QImage render(const MovieSet::ViewSources &sources, const DisplayRange &range,
                         const DisplayRange &mainRange, const DifferenceDisplay &display, int depth,
                         int width, int height);
    // Pixel (x, row) (row 0 at the bottom) of that image by the same rules; black outside it.
    static QRgb pixelAt(const MovieSet::ViewSources &sources, const DisplayRange &range,
                        const DisplayRange &mainRange, const DifferenceDisplay &display, int depth,
                        int width, int height, int x, int row);

    // The heat map's colour of t in 0..1: blue (0), white (0.5), red (1). t is clamped; NaN
    // counts as 0.
    static QRgb heatColour(double t);
    // The blocks' sequential map of t in 0..1, dark to bright: black, purple, red, orange,
    // pale yellow. t is clamped; NaN counts as 0.
    static QRgb blockColour(double t);

    // The block of blockSize under pixel (x, row) (row 0 at the bottom), with its errors, for
    // the readout; false where main and reference don't both have a sample.
    static bool blockAt(const MovieSet::ViewSources &sources, int depth, int blockSize, int x,
                        int row, BlockError &block);
};
