#pragma once

#include <string>

#include <QString>

// The loading flow's remembered answers for one run: the frame size (pixels) and the
// YUV-or-gray choice of the dimensions question, and the folder the file dialog ended in.
struct LoadSettings
{
    int frameWidth = 352;
    int frameHeight = 288;
    bool isYUV = true;
    std::string lastDirectory; // UTF-8; empty until the first file dialog
    // An ffmpeg pixel format name; empty: yuv420p or gray as isYUV says.
    QString pixelFormat;
    int plane = 0; // 0 = Y, 1 = U, 2 = V
    // Set by the command line's --pix-fmt: a format guessed from a file name doesn't replace it.
    bool formatGiven = false;
    // A frame range is no remembered answer: it holds for the load it was given for
    // (MovieLoader::setFrameRange).
};
