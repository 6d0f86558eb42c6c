#include "paneoverlay.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

#include "differencerendering.h"
#include "image3d.h"
#include "sliceview.h"
#include "viewrenderer.h"
#include "viewtype.h"

void PaneOverlay::paint(QPainter *pPainter, const SliceView &view, const ViewRenderer &renderer,
                        const MovieSet &movies, int viewType, int frame, int imageWidth,
                        int imageHeight)
{
    if (viewType != ViewType::Diff1 && viewType != ViewType::Diff2)
        return;
    const DifferenceDisplay display
            = renderer.getDifferenceDisplay(viewType == ViewType::Diff2 ? 2 : 1);
    const DisplayRange range = renderer.getRange(viewType);
    pPainter->save();
    pPainter->resetTransform();
    if (display.mode == DifferenceDisplay::Mode::Heat) {
        // A bar at the right edge: the range's maximum at the top, its minimum at the bottom.
        const QRect bar(view.viewport()->width() - 28, 12, 14, 160);
        for (int y = 0; y < bar.height(); ++y) {
            const double t = 1.0 - double(y) / (bar.height() - 1);
            pPainter->setPen(QColor(DifferenceRendering::heatColour(t)));
            pPainter->drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
        }
        pPainter->setPen(Qt::white);
        pPainter->drawRect(bar);
        const QRect labels(bar.left() - 70, bar.top() - 8, 66, bar.height() + 16);
        pPainter->drawText(labels, Qt::AlignRight | Qt::AlignTop,
                           QString::number(double(range.maxValue), 'g', 4));
        pPainter->drawText(labels, Qt::AlignRight | Qt::AlignVCenter,
                           QString::number((double(range.minValue) + range.maxValue) / 2, 'g', 4));
        pPainter->drawText(labels, Qt::AlignRight | Qt::AlignBottom,
                           QString::number(double(range.minValue), 'g', 4));
    }
    const double step = display.blockSize * view.getZoom();
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    if (display.mode == DifferenceDisplay::Mode::Blocks && step >= 12 && sources.pA && sources.pB) {
        // The blocks start at the top-left corner of the area both movies cover; image row i
        // covers scene y from -(i + 1) to -i.
        const int width = std::min({sources.pA->getWidth(), sources.pB->getWidth(), imageWidth});
        const int height
                = std::min({sources.pA->getHeight(), sources.pB->getHeight(), imageHeight});
        pPainter->setPen(QPen(QColor(255, 255, 255, 110), 0));
        for (int x = 0; x <= width; x += display.blockSize)
            pPainter->drawLine(view.mapFromScene(QPointF(x, -height)),
                               view.mapFromScene(QPointF(x, 0)));
        for (int y = 0; y <= height; y += display.blockSize)
            pPainter->drawLine(view.mapFromScene(QPointF(0, y - height)),
                               view.mapFromScene(QPointF(width, y - height)));
    }
    pPainter->restore();
}
