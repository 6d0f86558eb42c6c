#pragma once

#include <optional>

#include <QRect>
#include <QString>

#include "metricsgate.h"
#include "moviefileopener.h"

// What `rawcompare --metrics` or `--block-errors` was asked to do.
struct MetricsOptions
{
    QString mainFile;
    QString reference1File; // empty: none
    QString reference2File;
    bool isJson = false; // else CSV
    MovieFileOptions files; // the main movie's, and a reference's without options of its own
    int threads = 0; // 0: the machine's cores
    // Bytes the workers' frames may take together; < 0: FrameCache::defaultBudget().
    qint64 memoryBudget = -1;
    // Where each reference starts on the main movie's frames: main frame f is compared with
    // reference frame f - offset (frames counted after --frames).
    int reference1Offset = 0;
    int reference2Offset = 0;
    int blockSize = 0; // --block-errors: the side of the blocks, 4 .. 64
    MetricsGate gate {}; // --metrics: the bounds every frame must hold
    // --metrics: the part of the picture measured (x right, y down from the top row); empty:
    // the whole frame.
    QRect region {};
    // Reference 1's and 2's own options (--ref1-size, ...) over the shared ones; none: files.
    std::optional<MovieFileOptions> referenceFiles[2] = {};

    // How reference ref (1 or 2) is read.
    const MovieFileOptions &referenceFileOptions(int ref) const
    {
        const std::optional<MovieFileOptions> &own = referenceFiles[ref == 2 ? 1 : 0];
        return own ? *own : files;
    }
};
