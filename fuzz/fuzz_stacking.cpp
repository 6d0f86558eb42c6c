// Stacking of arbitrary lists of pieces. Input: up to 16 records of four bytes: kind (bit 0:
// movie, else still image), then for a movie a code each for width, height and frames, for an
// image a code for its size. Codes map to small values (with zero, negatives and odd sizes) or to
// extremes. The result is checked against the stacking rules sample by sample.

#include "fuzzcheck.h"
#include "image2d.h"
#include "image3d.h"
#include "loadedpiece.h"
#include "scratchfile.h"

#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<ScratchFile> scratch;
std::map<int, std::string> imageFiles; // key: width + 16 * height

// Pieces whose volume is larger than this are not filled; results larger than this (and small
// enough to be allocated for real) are not built, to keep runs short.
constexpr int64_t SampleBudget = int64_t(1) << 18;

int extent(uint8_t code)
{
    static const int extremes[] = {INT_MAX, INT_MIN, 65536, 46341, 30000, 1 << 20, -65536, 4096};
    if (code >= 0xf8)
        return extremes[code - 0xf8];
    return int(code % 24) - 4; // -4 .. 19
}

// A PNG of width x height with varied grays, written once per size.
const std::string &imageFile(int width, int height)
{
    std::string &path = imageFiles[width + 16 * height];
    if (path.empty()) {
        QImage picture(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int v = (x * 37 + y * 11 + width * 5 + height) & 0xff;
                picture.setPixel(x, y, qRgb(v, v, v));
            }
        const QString name = scratch->folder()
                + QString::fromLatin1("/piece %1x%2.png").arg(width).arg(height);
        FUZZ_CHECK(picture.save(name, "png"), "piece image written");
        path = name.toStdString();
    }
    return path;
}

// a * b * c, or INT64_MIN / INT64_MAX when it doesn't fit (a * b alone always fits).
int64_t product(int64_t a, int64_t b, int64_t c)
{
    int64_t result = 0;
    if (__builtin_mul_overflow(a * b, c, &result))
        return ((a * b < 0) != (c < 0)) ? INT64_MIN : INT64_MAX;
    return result;
}

struct Extent
{
    int width = 0;
    int height = 0;
    int frames = 0;
    const float *pData = nullptr;
};

Extent extentOf(const LoadedPiece &entry)
{
    if (entry.isVolume) {
        const auto *pVolume = static_cast<const Image3D *>(entry.piece);
        return {pVolume->getWidth(), pVolume->getHeight(), pVolume->getNumFrames(),
                pVolume->getData()};
    }
    const auto *pImage = static_cast<const Image2D *>(entry.piece);
    return {pImage->getWidth(), pImage->getHeight(), 1, pImage->getData()};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch = std::make_unique<ScratchFile>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    std::vector<LoadedPiece> pieces;
    for (size_t at = 0; at + 4 <= size && pieces.size() < 16; at += 4) {
        const uint8_t *pRecord = pData + at;
        if (pRecord[0] & 1) {
            const int w = extent(pRecord[1]);
            const int h = extent(pRecord[2]);
            int f = extent(pRecord[3]);
            const int64_t samples = product(w, h, f);
            if (samples > SampleBudget && samples <= (int64_t(1) << 62))
                f = 0;
            auto *pVolume = new Image3D(w, h, f);
            if (samples > 0 && samples <= SampleBudget) {
                for (int64_t i = 0; i < pVolume->getSampleCount(); ++i)
                    pVolume->getData()[i] = float(i % 251 + 1 + int(pieces.size()));
            }
            pieces.push_back({true, pVolume});
        } else {
            auto *pImage = new Image2D;
            if (pRecord[1] != 0) {
                const int w = 1 + pRecord[1] % 7;
                const int h = 1 + (pRecord[1] / 7) % 7;
                FUZZ_CHECK(pImage->loadImage(imageFile(w, h)), "piece image loads");
            }
            pieces.push_back({false, pImage});
        }
    }

    // The rules: the largest extents, from 0; frames summed, a still image counting one.
    int64_t width = 0, height = 0, frames = 0;
    for (const LoadedPiece &entry : pieces) {
        const Extent e = extentOf(entry);
        width = std::max<int64_t>(width, e.width);
        height = std::max<int64_t>(height, e.height);
        frames += entry.isVolume ? std::max(0, e.frames) : 1;
    }
    const int64_t samples = product(width, height, frames);
    if (samples > SampleBudget && samples <= (int64_t(1) << 62)) {
        deletePieces(pieces);
        return 0;
    }

    const std::unique_ptr<Image3D> result = stackPieces(pieces);
    if (frames > INT_MAX || samples > SampleBudget) {
        // Too many frames, or far more samples than any memory holds: refused with a message.
        FUZZ_CHECK(result->getNumFrames() == 0 && result->getSampleCount() == 0,
                   "oversized result is empty");
        FUZZ_CHECK(!result->getErrorString().empty(), "oversized result says why");
        deletePieces(pieces);
        return 0;
    }
    FUZZ_CHECK(result->getWidth() == width && result->getHeight() == height
                       && result->getNumFrames() == frames,
               "result extents");
    FUZZ_CHECK(result->getSampleCount() == std::max<int64_t>(0, samples), "result sample count");

    // Expected samples: each piece at x = 0, y = 0 of its frames, the rest 0.0.
    std::vector<float> expected(size_t(std::max<int64_t>(0, samples)), 0.0f);
    int64_t offset = 0;
    for (const LoadedPiece &entry : pieces) {
        const Extent e = extentOf(entry);
        const int64_t n = entry.isVolume ? std::max(0, e.frames) : 1;
        if (e.width > 0 && e.height > 0 && e.pData) {
            for (int64_t k = 0; k < n; ++k)
                for (int64_t y = 0; y < e.height; ++y)
                    for (int64_t x = 0; x < e.width; ++x)
                        expected[size_t(x + width * (y + height * (offset + k)))]
                                = e.pData[x + e.width * (y + e.height * k)];
        }
        offset += n;
    }
    for (size_t i = 0; i < expected.size(); ++i)
        FUZZ_CHECK(result->getData()[i] == expected[i], "stacked sample");
    deletePieces(pieces);
    FUZZ_CHECK(pieces.empty(), "list emptied");
    return 0;
}
