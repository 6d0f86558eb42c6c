// ImageNode: the flip, the bounding rectangle and what paint() draws.
#include <QtTest>

#include <QGraphicsScene>
#include <QPainter>
#include <QPixmap>

#include "imagenodetestaccess.h"

namespace {

const int PixmapWidth = 6;
const int PixmapHeight = 4;

// Pixel (x, y) of the pixmap is gray 40 * y + x: every row and column tells itself apart.
QPixmap gradientPixmap()
{
    QImage image(PixmapWidth, PixmapHeight, QImage::Format_RGB32);
    for (int y = 0; y < PixmapHeight; ++y)
        for (int x = 0; x < PixmapWidth; ++x)
            image.setPixel(x, y, qRgb(40 * y + x, 40 * y + x, 40 * y + x));
    return QPixmap::fromImage(image);
}

// What the node paints at one device pixel per item unit, over a blue background, as the
// screen would show it (scene y from -height to 0).
QImage renderNode(ImageNode *pNode, int width, int height)
{
    QGraphicsScene scene;
    scene.addItem(pNode);
    QImage target(width, height, QImage::Format_RGB32);
    target.fill(Qt::blue);
    {
        QPainter painter(&target);
        scene.render(&painter, QRectF(0, 0, width, height), QRectF(0, -height, width, height));
    }
    scene.removeItem(pNode);
    return target;
}

} // namespace

class TestImageNode : public QObject
{
    Q_OBJECT
private slots:
    void newNodeHasFlipAndNoLines();
    void boundingRect();
    void settersStoreValues();
    void paintsFlippedPixmapAndLines_data();
    void paintsFlippedPixmapAndLines();
    void withoutPixmapPaintsNothing();
};

void TestImageNode::newNodeHasFlipAndNoLines()
{
    ImageNode node;
    QCOMPARE(ImageNodeTestAccess::pixmap(node), nullptr);
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(node), -1.0f);
    QCOMPARE(ImageNodeTestAccess::verticalPosition(node), -1.0f);
    QCOMPARE(node.transform(), QTransform(1, 0, 0, -1, 0, 0));
    QCOMPARE(node.parentItem(), nullptr);
    QCOMPARE(node.scene(), nullptr);
}

void TestImageNode::boundingRect()
{
    ImageNode node;
    QCOMPARE(node.boundingRect(), QRectF(0, 0, 1, 1));
    const QPixmap pixmap = gradientPixmap();
    node.setPixmap(&pixmap);
    QCOMPARE(ImageNodeTestAccess::pixmap(node), &pixmap);
    QCOMPARE(node.boundingRect(), QRectF(0, 0, PixmapWidth, PixmapHeight));
    // Flipped: the item covers scene y from -height to 0.
    QCOMPARE(node.sceneBoundingRect(), QRectF(0, -PixmapHeight, PixmapWidth, PixmapHeight));
    node.setPixmap(nullptr);
    QCOMPARE(node.boundingRect(), QRectF(0, 0, 1, 1));
}

void TestImageNode::settersStoreValues()
{
    ImageNode node;
    node.setHorizontalPosition(3);
    node.setVerticalPosition(0);
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(node), 3.0f);
    QCOMPARE(ImageNodeTestAccess::verticalPosition(node), 0.0f);
    node.setHorizontalPosition(-7);
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(node), -7.0f);
}

void TestImageNode::paintsFlippedPixmapAndLines_data()
{
    QTest::addColumn<int>("hPos");
    QTest::addColumn<int>("vPos");

    QTest::newRow("new node: no lines") << -1 << -1;
    QTest::newRow("horizontal 0: bottom row on screen") << 0 << -1;
    QTest::newRow("horizontal 3: top row on screen") << 3 << -1;
    QTest::newRow("vertical 0: left column") << -1 << 0;
    QTest::newRow("vertical 5: right column") << -1 << 5;
    QTest::newRow("both lines: row 1, column 2") << 1 << 2;
    QTest::newRow("negative positions: no lines") << -5 << -100;
    QTest::newRow("beyond the pixmap: drawn outside, image untouched") << 10 << 20;
}

void TestImageNode::paintsFlippedPixmapAndLines()
{
    QFETCH(int, hPos);
    QFETCH(int, vPos);

    const QPixmap pixmap = gradientPixmap();
    auto *pNode = new ImageNode;
    pNode->setPixmap(&pixmap);
    pNode->setHorizontalPosition(hPos);
    pNode->setVerticalPosition(vPos);
    const QImage screen = renderNode(pNode, PixmapWidth, PixmapHeight);
    delete pNode;

    const QRgb red = qRgb(255, 0, 0);
    for (int screenY = 0; screenY < PixmapHeight; ++screenY) {
        const int row = PixmapHeight - 1 - screenY; // pixmap row 0 at the bottom
        for (int x = 0; x < PixmapWidth; ++x) {
            const int gray = 40 * row + x;
            const QRgb expected = (row == hPos || x == vPos) ? red : qRgb(gray, gray, gray);
            if (screen.pixel(x, screenY) != expected)
                QFAIL(qPrintable(QStringLiteral("screen pixel (%1, %2) is %3, expected %4")
                                         .arg(x)
                                         .arg(screenY)
                                         .arg(screen.pixel(x, screenY), 8, 16)
                                         .arg(expected, 8, 16)));
        }
    }
}

void TestImageNode::withoutPixmapPaintsNothing()
{
    auto *pNode = new ImageNode;
    pNode->setHorizontalPosition(0);
    pNode->setVerticalPosition(0);
    const QImage screen = renderNode(pNode, 4, 4);
    delete pNode;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            QCOMPARE(screen.pixel(x, y), qRgb(0, 0, 255));

    // Called directly as well.
    ImageNode node;
    node.setHorizontalPosition(0);
    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(Qt::blue);
    {
        QPainter painter(&target);
        node.paint(&painter, nullptr, nullptr);
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            QCOMPARE(target.pixel(x, y), qRgb(0, 0, 255));
}

QTEST_MAIN(TestImageNode)
#include "tst_imagenode.moc"
