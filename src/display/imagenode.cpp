#include "imagenode.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QTransform>

ImageNode::ImageNode() { setTransform(QTransform(1, 0, 0, -1, 0, 0)); }

ImageNode::~ImageNode() = default;

void ImageNode::setPixmap(const QPixmap *pPixmap)
{
    // A new pixmap may have another size: announce it before the bounding rectangle changes.
    prepareGeometryChange();
    m_pPixmap = pPixmap;
    update();
}

void ImageNode::setWipe(const QPixmap *pB, double position, bool vertical)
{
    m_pWipe = pB;
    m_wipePosition = position;
    m_wipeVertical = vertical;
    update();
}

void ImageNode::setHorizontalPosition(int hPos)
{
    m_horizontalPosition = float(hPos);
    update();
}

void ImageNode::setVerticalPosition(int vPos)
{
    m_verticalPosition = float(vPos);
    update();
}

void ImageNode::setRegion(const QRect &region)
{
    m_region = region;
    update();
}

QRectF ImageNode::boundingRect() const
{
    if (!m_pPixmap)
        return QRectF(0, 0, 1, 1);
    return QRectF(0, 0, m_pPixmap->width(), m_pPixmap->height());
}

void ImageNode::paint(QPainter *pPainter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (!m_pPixmap)
        return;
    pPainter->drawPixmap(0, 0, *m_pPixmap);
    const qreal width = m_pPixmap->width();
    const qreal height = m_pPixmap->height();
    if (m_pWipe) {
        // Pixmap row 0 is the picture's bottom row: "above the line" is the rows past it.
        const QRectF beyond = m_wipeVertical
                ? QRectF(width * m_wipePosition, 0, width * (1 - m_wipePosition), height)
                : QRectF(0, 0, width, height * (1 - m_wipePosition));
        pPainter->drawPixmap(beyond, *m_pWipe, beyond);
        pPainter->setPen(QPen(QColor(Qt::yellow), 0));
        if (m_wipeVertical)
            pPainter->drawLine(QLineF(beyond.left(), 0, beyond.left(), height));
        else
            pPainter->drawLine(QLineF(0, beyond.bottom(), width, beyond.bottom()));
    }
    // Width 0: a cosmetic pen, one device pixel wide at every zoom.
    pPainter->setPen(QPen(QColor(Qt::red), 0));
    if (m_horizontalPosition >= 0) {
        const qreal y = qreal(m_horizontalPosition) + 0.5;
        pPainter->drawLine(QLineF(0, y, width, y));
    }
    if (m_verticalPosition >= 0) {
        const qreal x = qreal(m_verticalPosition) + 0.5;
        pPainter->drawLine(QLineF(x, 0, x, height));
    }
    if (!m_region.isEmpty()) {
        // Yellow dashes on black, seen on any picture.
        const QRectF outline(m_region.x(), height - m_region.y() - m_region.height(),
                             m_region.width(), m_region.height());
        pPainter->setPen(QPen(QColor(Qt::black), 0));
        pPainter->drawRect(outline);
        pPainter->setPen(QPen(QColor(Qt::yellow), 0, Qt::DashLine));
        pPainter->drawRect(outline);
    }
}
