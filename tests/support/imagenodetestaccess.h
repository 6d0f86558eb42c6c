#pragma once

#include <QGraphicsScene>

#include "imagenode.h"
#include "sliceview.h"
#include "slicewidget.h"

// What an ImageNode holds, for tests and benchmarks: the pixmap it paints and where its lines go.
class ImageNodeTestAccess
{
public:
    static const QPixmap *pixmap(const ImageNode &node) { return node.m_pPixmap; }
    static float horizontalPosition(const ImageNode &node) { return node.m_horizontalPosition; }
    static float verticalPosition(const ImageNode &node) { return node.m_verticalPosition; }
    // The scene's first item when it is an ImageNode (a SliceScene holds one and nothing else).
    static const ImageNode *node(const QGraphicsScene &scene)
    {
        const QList<QGraphicsItem *> items = scene.items();
        return items.isEmpty() ? nullptr : dynamic_cast<const ImageNode *>(items.first());
    }
    // The slice pixmap the widget's view shows; null when it shows none.
    static const QPixmap *shownPixmap(const SliceWidget &widget)
    {
        const ImageNode *pNode = node(*widget.getView()->scene());
        return pNode ? pixmap(*pNode) : nullptr;
    }
};
