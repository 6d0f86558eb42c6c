#pragma once

#include <QString>

class ColourRendering;
class Image3D;
class MovieSet;
class ViewRenderer;

// The texts of the window's title and status bar, from the three movies (any may be null) and
// where each reference starts on the main movie's frames.
namespace StatusTexts {

// The sample of movie at (x, row) of frame (row 0 at the bottom), read through getFrame; false
// where the movie is absent, smaller or shorter, or the frame can't be read.
bool sampleAt(const Image3D *pMovie, int frame, int x, int row, float &value);

// "x 3  y 0  main 10  ref1 7  ref2   diff1 3  diff2 " for pixel (x, row) of main frame `frame`
// (a reference's frame frame - offset): y counts down from the top row of a canvas of
// canvasHeight rows; a value is blank where its movie (or either movie of a difference) has no
// sample there. Empty when x or row is negative.
QString readout(const MovieSet &movies, int frame, int x, int row, int canvasHeight);

// "YUV 81 90 240  RGB 255 0 0" for pixel (x, row) (row 0 at the bottom) of a frame of a movie
// shown in colour: its Y sample, the U and V samples that cover it and the RGB shown; with a PQ
// transfer "  1000.0 cd/m²" follows. Empty where the movie has no such pixel.
QString colourReadout(const ColourRendering &rendering, const Image3D *pMovie, int frame, int x,
                      int row);

// "block 16,32 16x16  MSE 12.5  PSNR 37.2 dB  max |d| 9" for pixel (x, row) (row 0 at the
// bottom) of a difference view shown as blocks: the block under it (x and y of its top-left
// corner, y down from the top of the area both movies cover) and its errors. Empty otherwise.
QString blockReadout(const ViewRenderer &renderer, const MovieSet &movies, int viewType, int frame,
                     int x, int row);

// Each reference shorter or smaller than the main movie: "Reference 1 shorter (10 of 20 frames)
// and smaller (176x144 of 352x288)", references joined by "; "; empty without a main movie.
// With an offset, shorter means that main frames have no partner: "Reference 1 shorter (offset
// 3: main frames 4 to 13 of 20 have a partner)".
QString mismatch(const MovieSet &movies);

// "rawcompare — main.yuv vs ref1.yuv vs ref2.yuv"; "(no main movie)" in place of the main name.
QString windowTitle(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2);

} // namespace StatusTexts
