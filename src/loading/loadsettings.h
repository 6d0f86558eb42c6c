#pragma once

#include <string>

// The loading flow's remembered answers for one run: the frame size (pixels) and the
// YUV-or-gray choice of the dimensions question, and the folder the file dialog ended in.
struct LoadSettings
{
    int frameWidth = 352;
    int frameHeight = 288;
    bool isYUV = true;
    std::string lastDirectory; // UTF-8; empty until the first file dialog
};
