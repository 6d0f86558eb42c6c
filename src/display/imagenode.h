#pragma once

#include <QGraphicsItem>
#include <QRect>

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
    // Wipe: pB (borrowed, null: none) is painted over the first pixmap beyond a split line at
    // `position` (0..1) of the width (vertical: the first pixmap left of it) or of the height
    // (the first pixmap above it), with the line drawn.
    void setWipe(const QPixmap *pB, double position, bool vertical);

    // Pixmap row (column) the line goes through; negative: no line.
    void setHorizontalPosition(int hPos);
    void setVerticalPosition(int vPos);
    // The selected region, outlined: x right and y down from the picture's top row (the
    // pixmap's last row); empty: none.
    void setRegion(const QRect &region);

    // (0, 0, pixmap width, pixmap height) in item coordinates; (0, 0, 1, 1) without a pixmap.
    QRectF boundingRect() const override;
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption,
               QWidget *pWidget) override;

private:
    friend class ImageNodeTestAccess; // tests read what the node paints

    const QPixmap *m_pPixmap = nullptr;
    const QPixmap *m_pWipe = nullptr;
    double m_wipePosition = 0.5;
    bool m_wipeVertical = true;
    float m_horizontalPosition = -1.0f;
    float m_verticalPosition = -1.0f;
    QRect m_region;
};
