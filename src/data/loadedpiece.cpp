#include "loadedpiece.h"

#include "image2d.h"
#include "framecache.h"
#include "image3d.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

StackExtent stackExtent(const std::vector<LoadedPiece> &pieces)
{
    StackExtent extent;
    for (const LoadedPiece &entry : pieces) {
        if (entry.isVolume) {
            const auto *pVolume = static_cast<const Image3D *>(entry.piece);
            extent.width = std::max(extent.width, pVolume->getWidth());
            extent.height = std::max(extent.height, pVolume->getHeight());
            extent.frames += std::max(0, pVolume->getNumFrames());
            if (const FrameCache *pCache = pVolume->getFrameCache())
                extent.readingBytes
                        += std::max<qint64>(pCache->getBudget() - pCache->getHeldBytes(), 0);
        } else {
            const auto *pImage = static_cast<const Image2D *>(entry.piece);
            extent.width = std::max(extent.width, pImage->getWidth());
            extent.height = std::max(extent.height, pImage->getHeight());
            extent.frames += 1;
        }
    }
    return extent;
}

std::unique_ptr<Image3D> stackPieces(const std::vector<LoadedPiece> &pieces, int maxFrames)
{
    const StackExtent extent = stackExtent(pieces);
    const int width = extent.width;
    const int height = extent.height;
    qint64 frames = extent.frames;
    int depth = 8;
    for (const LoadedPiece &entry : pieces) {
        if (entry.isVolume)
            depth = std::max(depth, static_cast<const Image3D *>(entry.piece)->getDepth());
    }

    auto result = std::make_unique<Image3D>();
    result->setDepth(depth);
    if (frames > INT_MAX) {
        result->setErrorString("Too many frames in all: " + std::to_string(frames) + " (at most "
                               + std::to_string(INT_MAX) + " can be loaded)");
        return result;
    }
    frames = std::min<qint64>(frames, std::max(maxFrames, 0));
    if (!result->setDimensions(width, height, int(frames)))
        return result;

    float *pTarget = result->getData();
    const qint64 frameSamples = qint64(width) * height;
    // Frame `frame` of the result from a source frame of w x h.
    auto copyFrame = [&](const float *pSource, int w, int h, qint64 frame) {
        for (int y = 0; y < h; ++y) {
            std::memcpy(pTarget + frame * frameSamples + qint64(y) * width, pSource + qint64(y) * w,
                        size_t(w) * sizeof(float));
        }
    };
    qint64 offset = 0;
    for (const LoadedPiece &entry : pieces) {
        if (offset >= frames)
            break;
        if (entry.isVolume) {
            // Frame by frame, so a piece read on demand from its file is never held whole; a
            // frame that can't be read stays 0.0.
            const auto *pVolume = static_cast<const Image3D *>(entry.piece);
            const int n
                    = int(std::min<qint64>(std::max(0, pVolume->getNumFrames()), frames - offset));
            for (int k = 0; k < n && pVolume->getWidth() > 0 && pVolume->getHeight() > 0; ++k) {
                pVolume->readAhead(k, 1);
                if (const FrameCache::Frame frame = pVolume->getFrame(k))
                    copyFrame(frame.get(), pVolume->getWidth(), pVolume->getHeight(), offset + k);
            }
            offset += n;
        } else {
            const auto *pImage = static_cast<const Image2D *>(entry.piece);
            if (pImage->getWidth() > 0 && pImage->getHeight() > 0 && pImage->getData())
                copyFrame(pImage->getData(), pImage->getWidth(), pImage->getHeight(), offset);
            offset += 1;
        }
    }
    return result;
}

void deletePieces(std::vector<LoadedPiece> &pieces)
{
    for (LoadedPiece &entry : pieces)
        delete entry.piece;
    pieces.clear();
}
