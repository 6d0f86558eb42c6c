#include "sliceview.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

SliceView::SliceView(QGraphicsScene *scene, QWidget *parent) : QGraphicsView(scene, parent)
{
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setRenderHint(QPainter::Antialiasing, true);
    // Dark neutral gray around the picture: its white and black edges stay visible.
    setBackgroundBrush(QColor(48, 48, 48));
    // The pixel under the cursor is reported without a button held.
    viewport()->setMouseTracking(true);
}

SliceView::~SliceView() = default;

void SliceView::zoom(double factor)
{
    QTransform candidate = transform();
    candidate.scale(factor, factor);
    const qreal width = candidate.mapRect(QRectF(0, 0, 1, 1)).width();
    if (width >= 0.01 && width <= 10000) {
        scale(factor, factor);
        emit zoomChanged();
    }
}

void SliceView::setZoom(double scale)
{
    scale = std::clamp(scale, 0.01, 10000.0);
    setTransform(QTransform::fromScale(scale, scale));
    emit zoomChanged();
}

void SliceView::fitToWindow()
{
    const QRectF scene = sceneRect();
    const QSize room = viewport()->size();
    if (scene.isEmpty() || room.isEmpty())
        return;
    setZoom(std::min(room.width() / scene.width(), room.height() / scene.height()));
    centerOn(scene.center());
}

double SliceView::getZoom() const { return transform().mapRect(QRectF(0, 0, 1, 1)).width(); }

void SliceView::mouseMoveEvent(QMouseEvent *event)
{
    QGraphicsView::mouseMoveEvent(event);
    // The middle of the screen pixel under the cursor.
    emit cursorMoved(viewportTransform().inverted().map(event->position() + QPointF(0.5, 0.5)));
}

bool SliceView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave)
        emit cursorLeft();
    return QGraphicsView::viewportEvent(event);
}

void SliceView::paintEvent(QPaintEvent *event)
{
    QGraphicsView::paintEvent(event);
    emit painted();
}

void SliceView::drawForeground(QPainter *painter, const QRectF &rect)
{
    if (m_foreground)
        m_foreground(painter, rect);
}

void SliceView::wheelEvent(QWheelEvent *event)
{
    // Whatever the wheel orientation: the vertical delta, or the horizontal one when the
    // vertical is 0.
    const QPoint angleDelta = event->angleDelta();
    const int delta = angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    if (m_controlDown) {
        zoom(std::pow(2.0, delta / 240.0));
        centerOn(mapToScene(event->position().toPoint()));
    } else if (delta > 0) {
        emit sliceChanged(1);
    } else if (delta < 0) {
        emit sliceChanged(-1);
    }
    event->accept();
}

void SliceView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Control:
        m_controlDown = true;
        break;
    case Qt::Key_PageUp:
        emit sliceChanged(1);
        break;
    case Qt::Key_PageDown:
        emit sliceChanged(-1);
        break;
    default:
        break;
    }
    event->accept();
}

void SliceView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control)
        m_controlDown = false;
    event->accept();
}

void SliceView::focusOutEvent(QFocusEvent *event)
{
    // A Control release delivered elsewhere would otherwise leave the wheel zooming.
    m_controlDown = false;
    QGraphicsView::focusOutEvent(event);
}
