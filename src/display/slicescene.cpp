#include "slicescene.h"

#include "imagenode.h"

SliceScene::SliceScene(QObject *parent) : QGraphicsScene(parent), m_pNode(new ImageNode)
{
    addItem(m_pNode);
}

SliceScene::~SliceScene() = default;

void SliceScene::setPixmap(const QPixmap *pPixmap) { m_pNode->setPixmap(pPixmap); }

void SliceScene::setWipe(const QPixmap *pB, double position, bool vertical)
{
    m_pNode->setWipe(pB, position, vertical);
}

void SliceScene::setHorizontalPosition(int hPos) { m_pNode->setHorizontalPosition(hPos); }

void SliceScene::setVerticalPosition(int vPos) { m_pNode->setVerticalPosition(vPos); }

void SliceScene::setRegion(const QRect &region) { m_pNode->setRegion(region); }
