#include "differencerendering.h"

#include <algorithm>
#include <cmath>

#include "differencecolours.h"
#include "graymapping.h"
#include "image3d.h"

namespace {

constexpr quint32 Black = 0xff000000u;

inline quint32 grayPixel(int level) { return 0xff000000u | quint32(level) * 0x00010101u; }

inline int channel(double value) { return int(value + 0.5); }

DifferenceColours::Rule ruleOf(DifferenceDisplay::Mode mode)
{
    return mode == DifferenceDisplay::Mode::Absolute ? DifferenceColours::Rule::Absolute
                                                     : DifferenceColours::Rule::Heat;
}

// One frame of a movie as the view reads it: no samples where the movie or the frame is missing
// or the frame can't be read.
class FramePlane
{
public:
    FramePlane(const Image3D *pMovie, int frame)
    {
        if (!pMovie || frame < 0 || frame >= pMovie->getNumFrames())
            return;
        m_samples = pMovie->getFrame(frame);
        if (m_samples) {
            m_width = pMovie->getWidth();
            m_height = pMovie->getHeight();
        }
    }

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Row y (0 at the bottom), or nullptr outside the frame.
    const float *row(int y) const
    {
        return y >= 0 && y < m_height ? m_samples.get() + qint64(m_width) * y : nullptr;
    }
    const float *at(int x, int y) const
    {
        const float *pRow = row(y);
        return pRow && x >= 0 && x < m_width ? pRow + x : nullptr;
    }
    // The samples of row y that an image `width` wide shows (0 outside the frame).
    int columns(int y, int width) const { return row(y) ? std::min(m_width, width) : 0; }

private:
    FrameCache::Frame m_samples;
    int m_width = 0;
    int m_height = 0;
};

// The frames a difference view reads, and the area (from the bottom-left corner) where both
// have samples.
struct FramePair
{
    explicit FramePair(const MovieSet::ViewSources &sources)
        : main(sources.pA, sources.frameA), reference(sources.pB, sources.frameB)
    { }
    int commonWidth() const { return std::min(main.width(), reference.width()); }
    int commonHeight() const { return std::min(main.height(), reference.height()); }

    FramePlane main;
    FramePlane reference;
};

// Where a block's MSE falls on the map: 0 .. max(|min|, |max|)^2.
double blockPosition(double mse, const DisplayRange &range)
{
    const double largest
            = std::max(std::fabs(double(range.minValue)), std::fabs(double(range.maxValue)));
    const double top = largest * largest;
    if (!(top > 0.0))
        return mse > 0.0 ? 1.0 : 0.0;
    return mse / top;
}

// The area both frames cover, as BlockErrors reads it: its top row first.
PlaneRef commonPlane(const FramePlane &plane, int width, int height)
{
    return PlaneRef {plane.row(height - 1), -qint64(plane.width()), width, height};
}

void renderMapped(const FramePair &frames, const DifferenceColours &table, QImage &image)
{
    const int width = image.width();
    for (int i = 0; i < image.height(); ++i) {
        auto *pLine = reinterpret_cast<quint32 *>(image.scanLine(i));
        const int both
                = std::min(frames.main.columns(i, width), frames.reference.columns(i, width));
        table.mapDifferences(frames.main.row(i), frames.reference.row(i), pLine, both);
        std::fill(pLine + both, pLine + width, Black);
    }
}

void renderMask(const FramePair &frames, const DisplayRange &mainRange, float threshold,
                QImage &image)
{
    const DifferenceColours gray(DifferenceColours::Rule::Gray, mainRange);
    const int width = image.width();
    for (int i = 0; i < image.height(); ++i) {
        auto *pLine = reinterpret_cast<quint32 *>(image.scanLine(i));
        const int shown = frames.main.columns(i, width);
        const int both = std::min(shown, frames.reference.columns(i, width));
        gray.maskRow(frames.main.row(i), frames.reference.row(i), threshold,
                     DifferenceRendering::MaskColour, pLine, both);
        gray.mapValues(frames.main.row(i) + both, pLine + both, shown - both);
        std::fill(pLine + shown, pLine + width, Black);
    }
}

void renderBlocks(const FramePair &frames, const DisplayRange &range, int depth, int blockSize,
                  QImage &image)
{
    const int width = image.width();
    const int commonWidth = frames.commonWidth();
    const int commonHeight = frames.commonHeight();
    std::vector<BlockError> blocks;
    if (commonWidth > 0 && commonHeight > 0 && blockSize > 0) {
        blocks = BlockErrors::compute(commonPlane(frames.main, commonWidth, commonHeight),
                                      commonPlane(frames.reference, commonWidth, commonHeight),
                                      depth, blockSize);
    }
    const int across = blockSize > 0 ? (commonWidth + blockSize - 1) / blockSize : 0;
    std::vector<quint32> colours(blocks.size());
    for (size_t b = 0; b < blocks.size(); ++b)
        colours[b] = DifferenceRendering::blockColour(blockPosition(blocks[b].mse, range));
    const int shown = std::min(commonWidth, width);
    for (int i = 0; i < image.height(); ++i) {
        auto *pLine = reinterpret_cast<quint32 *>(image.scanLine(i));
        int painted = 0;
        if (i < commonHeight && !blocks.empty()) {
            // Blocks are counted from the top row of the common area down.
            const quint32 *pColours
                    = colours.data() + size_t((commonHeight - 1 - i) / blockSize) * size_t(across);
            for (int x = 0; x < shown; x += blockSize)
                std::fill(pLine + x, pLine + std::min(shown, x + blockSize),
                          pColours[x / blockSize]);
            painted = shown;
        }
        std::fill(pLine + painted, pLine + width, Black);
    }
}

struct Anchor
{
    double t;
    int red;
    int green;
    int blue;
};

QRgb blend(const Anchor *pAnchors, int count, double t)
{
    if (!(t > 0.0))
        t = 0.0;
    t = std::min(t, 1.0);
    int k = 1;
    while (k < count - 1 && t > pAnchors[k].t)
        ++k;
    const Anchor &a = pAnchors[k - 1];
    const Anchor &b = pAnchors[k];
    const double s = (t - a.t) / (b.t - a.t);
    return qRgb(channel(a.red + s * (b.red - a.red)), channel(a.green + s * (b.green - a.green)),
                channel(a.blue + s * (b.blue - a.blue)));
}

} // namespace

QImage DifferenceRendering::render(const MovieSet::ViewSources &sources, const DisplayRange &range,
                                   const DisplayRange &mainRange, const DifferenceDisplay &display,
                                   int depth, int width, int height)
{
    if (!sources.difference || display.mode == DifferenceDisplay::Mode::Signed)
        return renderView(sources, range.minValue, range.maxValue, width, height);
    // Every pixel is written below.
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const FramePair frames(sources);
    if (display.mode == DifferenceDisplay::Mode::Mask)
        renderMask(frames, mainRange, display.threshold, image);
    else if (display.mode == DifferenceDisplay::Mode::Blocks)
        renderBlocks(frames, range, depth, display.blockSize, image);
    else
        renderMapped(frames, DifferenceColours(ruleOf(display.mode), range), image);
    return image;
}

QRgb DifferenceRendering::pixelAt(const MovieSet::ViewSources &sources, const DisplayRange &range,
                                  const DisplayRange &mainRange, const DifferenceDisplay &display,
                                  int depth, int width, int height, int x, int row)
{
    if (x < 0 || x >= width || row < 0 || row >= height)
        return Black;
    if (!sources.difference || display.mode == DifferenceDisplay::Mode::Signed)
        return grayPixel(grayLevel(grayOfView(sources, range.minValue, range.maxValue, x, row)));
    const FramePair frames(sources);
    const float *pMain = frames.main.at(x, row);
    const float *pReference = frames.reference.at(x, row);
    if (display.mode == DifferenceDisplay::Mode::Mask) {
        if (!pMain)
            return Black;
        if (pReference && std::fabs(*pMain - *pReference) > display.threshold)
            return MaskColour;
        return DifferenceColours::colour(DifferenceColours::Rule::Gray, mainRange, *pMain);
    }
    if (display.mode != DifferenceDisplay::Mode::Blocks) {
        if (!pMain || !pReference)
            return Black;
        return DifferenceColours::colour(ruleOf(display.mode), range, *pMain - *pReference);
    }
    BlockError block;
    if (!blockAt(sources, depth, display.blockSize, x, row, block))
        return Black;
    return blockColour(blockPosition(block.mse, range));
}

QRgb DifferenceRendering::heatColour(double t)
{
    if (!(t > 0.0))
        t = 0.0;
    // Up to the middle red and green rise from 0 to 255 under full blue; past it green and
    // blue fall back to 0 under full red.
    const double up = std::min(t, 1.0) * 510.0;
    const double down = 510.0 - up;
    return qRgb(channel(std::min(up, 255.0)), channel(std::min(up, down)),
                channel(std::min(down, 255.0)));
}

QRgb DifferenceRendering::blockColour(double t)
{
    // Lightness rises steadily from anchor to anchor, so a larger error always looks brighter.
    static const Anchor anchors[]
            = {{0.0, 0, 0, 0},       {0.125, 40, 11, 84},    {0.25, 101, 21, 110},
               {0.375, 159, 42, 99}, {0.5, 212, 72, 66},     {0.625, 245, 125, 21},
               {0.75, 250, 193, 39}, {0.875, 248, 230, 100}, {1.0, 252, 255, 164}};
    return blend(anchors, int(std::size(anchors)), t);
}

bool DifferenceRendering::blockAt(const MovieSet::ViewSources &sources, int depth, int blockSize,
                                  int x, int row, BlockError &block)
{
    const FramePair frames(sources);
    const int commonWidth = frames.commonWidth();
    const int commonHeight = frames.commonHeight();
    if (blockSize <= 0 || x < 0 || x >= commonWidth || row < 0 || row >= commonHeight)
        return false;
    // The block's corner counted from the top-left of the common area, then its top row as
    // stored (row 0 at the bottom).
    const int left = x / blockSize * blockSize;
    const int top = (commonHeight - 1 - row) / blockSize * blockSize;
    const int width = std::min(blockSize, commonWidth - left);
    const int height = std::min(blockSize, commonHeight - top);
    const int storedTop = commonHeight - 1 - top;
    auto blockPlane = [&](const FramePlane &plane) {
        return PlaneRef {plane.at(left, storedTop), -qint64(plane.width()), width, height};
    };
    // The same sums in the same order as for the whole frame: one block of its full size.
    const std::vector<BlockError> blocks = BlockErrors::compute(
            blockPlane(frames.main), blockPlane(frames.reference), depth, blockSize);
    if (blocks.size() != 1)
        return false;
    block = blocks.front();
    block.x = left;
    block.y = top;
    return true;
}
