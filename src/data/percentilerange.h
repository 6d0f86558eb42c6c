#pragma once

#include "progresscallback.h"

class Image3D;

// Display ranges that leave out a share of the samples at each end, exactly. Of the n samples
// taken (NaN samples left out), sorted ascending as s[0] .. s[n-1], the range is
// s[k] .. s[n-1-k] with k = floor(share * (n - 1)); share 0 gives the smallest and largest
// sample. Frames are streamed through Image3D::getFrame, so a movie read on demand is never held
// whole. Share 0 keeps no samples: the bounds are taken frame by frame (for a movie read from a
// raw file, from the file's integers). Above 0, integer-valued samples (and their differences)
// are counted in a histogram, any others are selected with nth_element.
namespace PercentileRange {

// The share left out at each end to ignore outliers: the 0.1 % and 99.9 % points.
constexpr double OutlierShare = 0.001;

enum class Outcome { Done, Cancelled, OutOfMemory };

// Of the movie's samples in frames firstFrame .. firstFrame + frameCount - 1 (frameCount < 0:
// to the last), frames that can't be read left out; (0, 255) when there are none. share is
// clamped to 0 .. 0.5. Progress is told after every frame (done, frames scanned); bounds are set
// only when Done.
Outcome valueRange(const Image3D *pMovie, int firstFrame, int frameCount, double share,
                   float &minValue, float &maxValue, const ProgressCallback &progress = {});

// Of first - second over the larger width, height and frame count of the two, in those frames;
// a sample outside a movie, of a missing movie or of a frame that can't be read counts as 0, as
// the difference views show it; (-128, 128) when that extent is empty or every difference is
// NaN. Frame f of first meets frame f - secondOffset of second.
Outcome differenceRange(const Image3D *pFirst, const Image3D *pSecond, int firstFrame,
                        int frameCount, double share, float &minValue, float &maxValue,
                        const ProgressCallback &progress = {}, int secondOffset = 0);

} // namespace PercentileRange
