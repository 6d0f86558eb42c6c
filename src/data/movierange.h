#pragma once

#include "progresscallback.h"

class Image3D;

// Smallest and largest values of whole movies, frame after frame through Image3D::getFrame, so
// that a movie read on demand is never held whole. Comparisons are strict, so a NaN never
// becomes a bound; frames are scanned in order and each in memory order.
namespace MovieRange {

// Of the movie's samples; (0, 255) when it has none (no movie, no frames, no frame readable).
// A frame that can't be read is left out. False when the progress callback cancelled: then
// the bounds are untouched.
bool valueRange(const Image3D *pMovie, float &minValue, float &maxValue,
                const ProgressCallback &progress = {});

// Of first - second over the larger width, height and frame count of the two, a sample outside
// a movie, of a missing movie or of a frame that can't be read counting as 0; (-128, 128) when
// that extent is empty. Frame f of first meets frame f - secondOffset of second (frames f from
// 0). False when cancelled, with the bounds untouched.
bool differenceRange(const Image3D *pFirst, const Image3D *pSecond, float &minValue,
                     float &maxValue, const ProgressCallback &progress = {}, int secondOffset = 0);

} // namespace MovieRange
