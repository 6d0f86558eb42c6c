#pragma once

#include <QString>

// What `rawcompare --metrics` was asked to do.
struct MetricsOptions
{
    QString mainFile;
    QString reference1File; // empty: none
    QString reference2File;
    bool isJson = false; // else CSV
    int frameWidth = 0; // 0: from the file name (raw files); y4m headers always win
    int frameHeight = 0;
    QString pixelFormat; // empty: from the file name, else yuv420p
    int firstFrame = 0; // counted from 0, in every file
    int frameCount = -1; // -1: to the end
    int threads = 0; // 0: the machine's cores
    // Where each reference starts on the main movie's frames: main frame f is compared with
    // reference frame f - offset (frames counted after --frames).
    int reference1Offset = 0;
    int reference2Offset = 0;
};
