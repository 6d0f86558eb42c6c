// SliceScene: one ImageNode, owned, with the three setters forwarded.
#include <QtTest>

#include <QPixmap>

#include "imagenode.h"
#include "slicescene.h"

class TestSliceScene : public QObject
{
    Q_OBJECT
private slots:
    void ownsExactlyOneNode();
    void forwardsSetters();
};

void TestSliceScene::ownsExactlyOneNode()
{
    QObject parent;
    auto *pScene = new SliceScene(&parent);
    QCOMPARE(pScene->parent(), &parent);
    QCOMPARE(pScene->items().size(), 1);
    QVERIFY(pScene->getNode() != nullptr);
    QCOMPARE(static_cast<const QGraphicsItem *>(pScene->getNode()), pScene->items().first());
    QCOMPARE(pScene->getNode()->scene(), pScene);
}

void TestSliceScene::forwardsSetters()
{
    SliceScene scene(nullptr);
    const QPixmap pixmap(3, 2);
    scene.setPixmap(&pixmap);
    scene.setHorizontalPosition(1);
    scene.setVerticalPosition(-4);
    QCOMPARE(scene.getNode()->getPixmap(), &pixmap);
    QCOMPARE(scene.getNode()->getHorizontalPosition(), 1.0f);
    QCOMPARE(scene.getNode()->getVerticalPosition(), -4.0f);
    QCOMPARE(scene.itemsBoundingRect(), QRectF(0, -2, 3, 2));
    scene.setPixmap(nullptr);
    QCOMPARE(scene.getNode()->getPixmap(), nullptr);
}

QTEST_MAIN(TestSliceScene)
#include "tst_slicescene.moc"
