// SliceScene: one ImageNode, owned, with the three setters forwarded.
#include <QtTest>

#include <QPixmap>

#include "imagenodetestaccess.h"
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
    QVERIFY(ImageNodeTestAccess::node(*pScene));
}

void TestSliceScene::forwardsSetters()
{
    SliceScene scene(nullptr);
    const QPixmap pixmap(3, 2);
    scene.setPixmap(&pixmap);
    scene.setHorizontalPosition(1);
    scene.setVerticalPosition(-4);
    const ImageNode &node = *ImageNodeTestAccess::node(scene);
    QCOMPARE(ImageNodeTestAccess::pixmap(node), &pixmap);
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(node), 1.0f);
    QCOMPARE(ImageNodeTestAccess::verticalPosition(node), -4.0f);
    QCOMPARE(scene.itemsBoundingRect(), QRectF(0, -2, 3, 2));
    scene.setPixmap(nullptr);
    QCOMPARE(ImageNodeTestAccess::pixmap(node), nullptr);
}

QTEST_MAIN(TestSliceScene)
#include "tst_slicescene.moc"
