#pragma once

#include <QRect>
#include <QtGlobal>

// One plane of a picture, borrowed: pTop points at the picture's top row and rowStride is the
// distance in samples from a row to the row below it (negative for bottom-up storage, where
// row 0 is the bottom row: pTop = pSamples + (height - 1) * width, rowStride = -width).
struct PlaneRef
{
    const float *pTop = nullptr;
    qint64 rowStride = 0;
    int width = 0;
    int height = 0;

    // A plane stored bottom-up, width * height samples with row 0 the bottom row.
    static PlaneRef bottomUp(const float *pSamples, int width, int height)
    {
        return PlaneRef {pSamples + qint64(height - 1) * width, -qint64(width), width, height};
    }
    const float *row(int y) const { return pTop + y * rowStride; } // y = 0 is the top row

    // The samples of `rect` (y = 0 the top row), cut to the plane.
    PlaneRef cropped(const QRect &rect) const
    {
        const QRect kept = rect & QRect(0, 0, width, height);
        if (kept.isEmpty())
            return PlaneRef {pTop, rowStride, 0, 0};
        return PlaneRef {row(kept.y()) + kept.x(), rowStride, kept.width(), kept.height()};
    }
    // The samples of a plane of planeWidth x planeHeight that cover `region` of a picture of
    // lumaWidth x lumaHeight (chroma planes are smaller): a region's odd edge takes in the whole
    // chroma sample it cuts.
    static QRect planeRegion(const QRect &region, int lumaWidth, int lumaHeight, int planeWidth,
                             int planeHeight)
    {
        if (lumaWidth <= 0 || lumaHeight <= 0 || region.isEmpty())
            return QRect();
        const auto scaled = [](int value, int plane, int luma, bool up) {
            const qint64 product = qint64(value) * plane;
            return int(up ? (product + luma - 1) / luma : product / luma);
        };
        const int left = scaled(region.x(), planeWidth, lumaWidth, false);
        const int top = scaled(region.y(), planeHeight, lumaHeight, false);
        const int right = scaled(region.x() + region.width(), planeWidth, lumaWidth, true);
        const int bottom = scaled(region.y() + region.height(), planeHeight, lumaHeight, true);
        return QRect(left, top, right - left, bottom - top);
    }
};
