#pragma once

#include <QGraphicsScene>

class ImageNode;
class QPixmap;

// Scene owning exactly one ImageNode; forwards the node's three setters.
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

private:
    ImageNode *m_pNode = nullptr;
};
