#pragma once

#include <QGraphicsItem>

class QPixmap;

// Graphics item that paints one borrowed slice pixmap, flipped vertically so that pixmap row 0
// is at the bottom (the item occupies scene y from -height to 0), and optionally a red
// horizontal and vertical line through the centres of one pixmap row and column.
class ImageNode : public QGraphicsItem
{
public:
    ImageNode();
    ~ImageNode() override;

    // The pixmap stays the caller's; null paints nothing.
    void setPixmap(const QPixmap *pPixmap);
    // Pixmap row (column) the line goes through; negative: no line.
    void setHorizontalPosition(int hPos);
    void setVerticalPosition(int vPos);

    // (0, 0, pixmap width, pixmap height) in item coordinates; (0, 0, 1, 1) without a pixmap.
    QRectF boundingRect() const override;
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption,
               QWidget *pWidget) override;

private:
    friend class ImageNodeTestAccess; // tests read what the node paints

    const QPixmap *m_pPixmap = nullptr;
    float m_horizontalPosition = -1.0f;
    float m_verticalPosition = -1.0f;
};
