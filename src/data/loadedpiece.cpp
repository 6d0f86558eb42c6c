#include "loadedpiece.h"

#include "image2d.h"
#include "image3d.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

std::unique_ptr<Image3D> stackPieces(const std::vector<LoadedPiece> &pieces)
{
    int width = 0;
    int height = 0;
    qint64 frames = 0;
    int depth = 8;
    for (const LoadedPiece &entry : pieces) {
        if (entry.isVolume) {
            const auto *pVolume = static_cast<const Image3D *>(entry.piece);
            depth = std::max(depth, pVolume->getDepth());
            width = std::max(width, pVolume->getWidth());
            height = std::max(height, pVolume->getHeight());
            frames += std::max(0, pVolume->getNumFrames());
        } else {
            const auto *pImage = static_cast<const Image2D *>(entry.piece);
            width = std::max(width, pImage->getWidth());
            height = std::max(height, pImage->getHeight());
            frames += 1;
        }
    }

    auto result = std::make_unique<Image3D>();
    result->setDepth(depth);
    if (frames > INT_MAX) {
        result->setErrorString("Too many frames in all: " + std::to_string(frames) + " (at most "
                               + std::to_string(INT_MAX) + " can be loaded)");
        return result;
    }
    if (!result->setDimensions(width, height, int(frames)))
        return result;

    float *pTarget = result->getData();
    const qint64 frameSamples = qint64(width) * height;
    qint64 offset = 0;
    auto copyFrames = [&](const float *pSource, int w, int h, int n) {
        for (int k = 0; k < n; ++k) {
            for (int y = 0; y < h; ++y) {
                std::memcpy(pTarget + (offset + k) * frameSamples + qint64(y) * width,
                            pSource + (qint64(k) * h + y) * w, size_t(w) * sizeof(float));
            }
        }
    };
    for (const LoadedPiece &entry : pieces) {
        if (entry.isVolume) {
            const auto *pVolume = static_cast<const Image3D *>(entry.piece);
            const int n = std::max(0, pVolume->getNumFrames());
            if (pVolume->getWidth() > 0 && pVolume->getHeight() > 0 && pVolume->getData())
                copyFrames(pVolume->getData(), pVolume->getWidth(), pVolume->getHeight(), n);
            offset += n;
        } else {
            const auto *pImage = static_cast<const Image2D *>(entry.piece);
            if (pImage->getWidth() > 0 && pImage->getHeight() > 0 && pImage->getData())
                copyFrames(pImage->getData(), pImage->getWidth(), pImage->getHeight(), 1);
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
