#pragma once

#include <QGraphicsScene>

class ImageNode;
class QPixmap;
class QRect;

// Scene owning exactly one ImageNode; forwards the node's setters.
class SliceScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit SliceScene(QObject *parent = nullptr);
    ~SliceScene() override;

    void setPixmap(const QPixmap *pPixmap);
    void setWipe(const QPixmap *pB, double position, bool vertical);
    void setHorizontalPosition(int hPos);
    void setVerticalPosition(int vPos);
    void setRegion(const QRect &region);

private:
    ImageNode *m_pNode = nullptr;
};
