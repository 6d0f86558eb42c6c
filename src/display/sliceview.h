#pragma once

#include <QGraphicsView>

#include <functional>

class QGraphicsScene;

// View on a SliceScene. The wheel steps through slices (sliceChanged), or zooms about the
// cursor point while Control is held in the view; Page Up / Page Down step through slices.
// The view's horizontal scale stays within 0.01..10000 device pixels per scene unit.
class SliceView : public QGraphicsView
{
    Q_OBJECT
public:
    SliceView(QGraphicsScene *scene, QWidget *parent = nullptr);
    ~SliceView() override;

    // Scales the view by factor in both directions, unless the horizontal scale would leave
    // 0.01..10000 (inclusive); then nothing changes.
    void zoom(double factor);

    // Sets the scale to `scale` device pixels per scene unit in both directions, within
    // 0.01..10000.
    void setZoom(double scale);
    // The largest scale that shows the whole scene rectangle in the viewport.
    void fitToWindow();

    // Device pixels per scene unit (per movie pixel): 1.0 at 100 %.
    double getZoom() const;

    // Paints over the scene after every paint of it, in scene coordinates; exposed is the
    // part of the scene being painted. Empty by default.
    using ForegroundPainter = std::function<void(QPainter *painter, const QRectF &exposed)>;
    void setForegroundPainter(ForegroundPainter painter) { m_foreground = std::move(painter); }

signals:
    // dir: +1 next slice, -1 previous slice.
    void sliceChanged(int dir);
    // The mouse moved over the view, now at scenePos (scene units, one per movie pixel).
    void cursorMoved(QPointF scenePos);
    // The mouse left the view.
    void cursorLeft();
    // The scale of the view changed (getZoom).
    void zoomChanged();
    // The viewport has been painted.
    void painted();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    bool m_controlDown = false;
    ForegroundPainter m_foreground;
};
