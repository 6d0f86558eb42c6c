#pragma once

#include <string>

#include <QStringList>

// The measured operations of the playback figure, each run inside a child process of its own;
// each prints "name=value" lines and returns the process's exit status.
namespace PlaybackBench {

// Opens the YUV 4:2:0 movie in the window as the command line does (its Y plane in gray, or in
// colour), shows it at 100 %, plays it
// with the frame rate box at 1000 for `seconds` and counts the frames shown (a paint of a frame
// other than the one painted before). Prints "fps=" (frames shown a second), "skipped=" (frames
// shown that did not follow the one before), "paint=" (mean seconds a paint of the view takes),
// and what one frame costs apart, medians over the frames of the movie opened anew before the
// window exists: "read=" (read, and convert to floats for gray), "render=" (the slice image),
// "upload=" (the pixmap made from it), and "percentile=" (auto scale of one frame, ignoring
// outliers).
int play(const std::string &file, int width, int height, double seconds, bool colour,
         const QStringList &extra = {});

// Opens the movie in the window against itself as reference 1, wiped (main | ref1), at 100 %,
// and prints the median seconds of "slice=" (rendering one slice of the main view), "wipe="
// (moving the wipe line), "crosshair=" (moving the cross-hair) and "paint=" (the pane's paint
// that follows a move, as any change of the picture).
int moves(const std::string &file, int width, int height);

} // namespace PlaybackBench
