#pragma once

#include <QImage>

#include "movieset.h"

class Image3D;

// Value-to-gray mapping of a display range (minValue maps to black, maxValue to white).
// Per pixel, the reference rules: a float gray in 0..255, never NaN.

// Gray of the sample (x, y, frame) of the volume; 0 when the volume is null or the position
// lies outside it (the range is not applied). A NaN result (a NaN sample, for example) is 0.
float grayValue(const Image3D *pVolume, float minValue, float maxValue, int x, int y, int frame);

// Gray of the difference A - B at (x, y, frame); a sample missing in one volume counts as 0.0.
// A NaN difference is 0.
float grayDifference(const Image3D *pVolumeA, const Image3D *pVolumeB, float minValue,
                     float maxValue, int x, int y, int frame);

// Gray of one value under the range, without the bounds test; NaN gives 0.
float grayOfValue(float value, float minValue, float maxValue);

// The integer gray 0..255 of a float gray from the functions above: round half up.
int grayLevel(float gray);

// Fast whole-slice rendering, bit for bit the per-pixel rules above: a width x height
// Format_RGB32 image whose pixel (j, i) is the opaque gray of sample x = j, y = i of `frame`
// (image row 0 is volume row 0, the bottom row of the picture). A null image when it does not
// fit in memory.
QImage renderValueSlice(const Image3D *pVolume, float minValue, float maxValue, int frame,
                        int width, int height);
QImage renderDifferenceSlice(const Image3D *pVolumeA, const Image3D *pVolumeB, float minValue,
                             float maxValue, int frame, int width, int height);

// The same for what one view reads at one main frame (MovieSet::sources): reference frames
// shifted by their offsets, a frame outside its movie absent.
float grayOfView(const MovieSet::ViewSources &sources, float minValue, float maxValue, int x,
                 int y);
QImage renderView(const MovieSet::ViewSources &sources, float minValue, float maxValue, int width,
                  int height);
