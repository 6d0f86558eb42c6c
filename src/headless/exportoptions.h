#pragma once

#include <optional>

#include <QString>

#include "colouroptions.h"
#include "differencedisplay.h"
#include "moviefileopener.h"
#include "viewtype.h"

// What `rawcompare --export-png` was asked to do.
struct ExportOptions
{
    QString directory; // created when missing
    int viewType = ViewType::Main;
    QString mainFile;
    QString reference1File; // empty: none
    QString reference2File;
    MovieFileOptions files;
    int plane = 0; // 0 = Y, 1 = U, 2 = V; Y for a file without that plane, as the window does
    // Reference 1's and 2's own options (--ref1-size, ...), plane included, over the shared
    // ones; none: files and plane.
    std::optional<MovieFileOptions> referenceFiles[2] = {};
    // Movies with chroma in colour (a movie view only; differences stay of the plane).
    bool colour = false;
    ColourOptions colourOptions;
    // How a difference view shows main - reference (both references alike).
    DifferenceDisplay difference;
    bool hasRange = false; // else the range the window's view starts with
    float minValue = 0.0f;
    float maxValue = 255.0f;
    // Reference k's frame f - offset is shown with main frame f, as in the window.
    int reference1Offset = 0;
    int reference2Offset = 0;
};
