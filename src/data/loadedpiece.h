#pragma once

#include <climits>

#include <QtGlobal>
#include <memory>
#include <vector>

class ErrorBase;
class Image3D;

// One loaded piece of a movie: an Image3D when isVolume, else an Image2D (one frame).
// The list that holds pieces owns them; deletePieces frees them through the virtual destructor.
struct LoadedPiece
{
    bool isVolume = false;
    ErrorBase *piece = nullptr;
};

// The size of the movie stackPieces would make: the largest width and height, and the frames
// of all pieces (64-bit, may exceed INT_MAX); and the bytes that reading the pieces read on
// demand may still take beside it (their frame caches filling up to their budgets).
struct StackExtent
{
    int width = 0;
    int height = 0;
    qint64 frames = 0;
    qint64 readingBytes = 0;
};
StackExtent stackExtent(const std::vector<LoadedPiece> &pieces);

// Joins the pieces, in order, into one new movie as large as the largest piece in each
// direction; each piece sits at x = 0, y = 0 of its frames and the rest stays 0.0. An empty
// list gives 0 x 0 x 0. When the result would have more than INT_MAX frames or does not fit in
// memory, it is 0 x 0 x 0 with the error text set.
// At most maxFrames frames are taken, the first ones. Volumes are copied frame by frame through
// Image3D::getFrame.
std::unique_ptr<Image3D> stackPieces(const std::vector<LoadedPiece> &pieces,
                                     int maxFrames = INT_MAX);

// Deletes every piece and empties the list.
void deletePieces(std::vector<LoadedPiece> &pieces);
