#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <memory>

#include "comparisonarea.h"
#include "differencerendering.h"
#include "graymapping.h"
#include "image3d.h"
#include "imagenodetestaccess.h"
#include "session.h"
#include "slicescene.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

namespace {

// A 16 x 8 movie of 3 frames, every sample `value`.
std::unique_ptr<Image3D> flat(float value)
{
    auto pMovie = std::make_unique<Image3D>(16, 8, 3);
    std::fill(pMovie->getData(), pMovie->getData() + pMovie->getSampleCount(), value);
    return pMovie;
}

// The gray at picture point (x, y), y down from the top, as the pane's scene paints it (four
// screen pixels a picture pixel, so that a line one pixel wide covers no point looked at).
int shownGray(SliceWidget *pPane, double x, double y)
{
    QImage picture(64, 32, QImage::Format_RGB32);
    QPainter painter(&picture);
    pPane->getScene()->render(&painter, QRectF(0, 0, 64, 32), QRectF(0, -8, 16, 8));
    painter.end();
    return qGray(picture.pixel(int(x * 4), int(y * 4)));
}

// Whether the region's outline crosses picture row y on the left edge of column x: what the
// pane's scene paints there (eight screen pixels a picture pixel) is not the picture's gray.
bool outlinedAt(SliceWidget *pPane, int x, int y, int gray)
{
    QImage picture(128, 64, QImage::Format_RGB32);
    QPainter painter(&picture);
    pPane->getScene()->render(&painter, QRectF(0, 0, 128, 64), QRectF(0, -8, 16, 8));
    painter.end();
    const QRgb left = picture.pixel(std::max(0, 8 * x - 1), 8 * y + 4);
    const QRgb right = picture.pixel(8 * x, 8 * y + 4);
    return left != qRgb(gray, gray, gray) || right != qRgb(gray, gray, gray);
}

// A mouse event at the middle of picture pixel `pixel` (y down from the top) of a pane.
void sendMouse(SliceWidget *pPane, QEvent::Type type, QPoint pixel, Qt::KeyboardModifiers keys)
{
    SliceView *pView = pPane->getView();
    const QPointF at = pView->mapFromScene(QPointF(pixel.x() + 0.5, pixel.y() + 0.5 - 8));
    QMouseEvent event(type, at, pView->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, keys);
    QApplication::sendEvent(pView->viewport(), &event);
}

} // namespace

// The panes of each layout on a session of a main movie (gray 100) and reference 1 (gray 40).
class TestComparisonArea : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void panes_data();
    void panes();
    void lockedTogether();
    void wipe_data();
    void wipe();
    void flickerWhileBIsHeld();
    void differenceModes_data();
    void differenceModes();
    void regionByShiftDrag_data();
    void regionByShiftDrag();

private:
    std::unique_ptr<Session> m_pSession;
    std::unique_ptr<ComparisonArea> m_pArea;
};

void TestComparisonArea::init()
{
    m_pSession = std::make_unique<Session>();
    m_pSession->setMovie(Session::Main, flat(100));
    m_pSession->setMovie(Session::Reference1, flat(40));
    m_pArea = std::make_unique<ComparisonArea>(*m_pSession);
    m_pArea->start();
    m_pArea->resize(800, 400);
    m_pArea->show();
}

void TestComparisonArea::panes_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QList<int>>("views");
    QTest::addColumn<QSize>("grid");
    QTest::addColumn<QString>("lastLabel");
    QTest::newRow("single") << "single" << QList<int> {} << QSize(1, 1) << "main";
    QTest::newRow("side by side: a reference with its offset")
            << "side-by-side" << QList<int> {0, 1} << QSize(2, 1) << "ref1, offset 2";
    QTest::newRow("grid of 3 columns: a heat map and its range")
            << "grid" << QList<int> {0, 1, 2, 3, 4} << QSize(3, 2) << "main − ref2, heat ±20";
}

void TestComparisonArea::panes()
{
    QFETCH(QString, layout);
    QFETCH(QList<int>, views);
    QFETCH(QSize, grid);
    QFETCH(QString, lastLabel);
    m_pSession->setOffset(1, 2);
    m_pSession->setRange(ViewType::Diff2, {-20, 20});
    m_pSession->setDifferenceDisplay(2, {DifferenceDisplay::Mode::Heat, 0, 16});
    Layout chosen;
    QVERIFY(Layout::parse(layout, chosen.kind));
    if (!views.isEmpty())
        chosen.views = QVector<int>(views.begin(), views.end());
    chosen.columns = 3;
    m_pSession->setLayout(chosen);
    QCOMPARE(m_pArea->getGridSize(), grid);
    const QList<SliceWidget *> panes = m_pArea->getPanes();
    QCOMPARE(panes.size(), grid.width() * grid.height() - (grid.height() == 2 ? 1 : 0));
    for (int i = 0; i < views.size(); ++i)
        QCOMPARE(panes.at(i)->getViewType(), views.at(i));
    QCOMPARE(m_pArea->paneLabel(int(panes.size()) - 1), lastLabel);

    // The last pane's corner menu chooses its view.
    auto *pMenu = panes.last()->findChild<QToolButton *>("paneLabel")->menu();
    pMenu->actions().at(ViewType::Diff1)->trigger();
    QCOMPARE(panes.last()->getViewType(), int(ViewType::Diff1));
    m_pSession->setFrame(2); // reference 1's frame 0, at its offset
    QCOMPARE(shownGray(panes.last(), 3, 3), grayLevel(grayOfValue(60, -128, 128)));
}

void TestComparisonArea::lockedTogether()
{
    Layout layout;
    layout.kind = Layout::Kind::SideBySide;
    layout.views = {ViewType::Main, ViewType::Diff1};
    m_pSession->setLayout(layout);
    const QList<SliceWidget *> panes = m_pArea->getPanes();
    panes.at(1)->getView()->setZoom(60.0);
    QCOMPARE(panes.at(0)->getView()->getZoom(), 60.0);
    m_pSession->setFrame(2);
    QCOMPARE(panes.at(1)->getFixedCoordinate(), 2);
    // The pointer over a pixel of one pane puts a cross-hair on it in every pane.
    emit panes.at(1)->pixelHovered(5, 1);
    const ImageNode *pNode = ImageNodeTestAccess::node(*panes.at(0)->getScene());
    QCOMPARE(ImageNodeTestAccess::verticalPosition(*pNode), 5.0f);
    QCOMPARE(ImageNodeTestAccess::horizontalPosition(*pNode), 1.0f);
    // Panes scrolled apart from their first position go with the area, quietly.
    m_pArea.reset();
}

void TestComparisonArea::wipe_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("key"); // pressed once on the pane, or 0
    QTest::addColumn<QPointF>("inA");
    QTest::addColumn<QPointF>("inB");
    QTest::newRow("vertical at the middle") << true << 0 << QPointF(7.5, 4) << QPointF(8.5, 4);
    QTest::newRow("moved right with ]")
            << true << int(Qt::Key_BracketRight) << QPointF(8.5, 4) << QPointF(9, 4);
    QTest::newRow("across: the reference below")
            << false << 0 << QPointF(5, 3.5) << QPointF(5, 4.5);
}

void TestComparisonArea::wipe()
{
    QFETCH(bool, vertical);
    QFETCH(int, key);
    QFETCH(QPointF, inA);
    QFETCH(QPointF, inB);
    Layout layout;
    layout.kind = Layout::Kind::Wipe;
    layout.views = {ViewType::Main, ViewType::Ref1};
    layout.wipeVertical = vertical;
    m_pSession->setLayout(layout);
    SliceWidget *pPane = m_pArea->getPrimary();
    if (key)
        QTest::keyClick(pPane->getView(), Qt::Key(key));
    QCOMPARE(shownGray(pPane, inA.x(), inA.y()), 100);
    QCOMPARE(shownGray(pPane, inB.x(), inB.y()), 40);
    // A window lets its session go before its panes: they go quietly.
    m_pSession.reset();
    m_pArea.reset();
}

void TestComparisonArea::flickerWhileBIsHeld()
{
    Layout layout;
    layout.kind = Layout::Kind::Flicker;
    layout.views = {ViewType::Main, ViewType::Ref1};
    m_pSession->setLayout(layout);
    SliceWidget *pPane = m_pArea->getPrimary();
    QTest::keyPress(pPane->getView(), Qt::Key_B);
    QCOMPARE(pPane->getViewType(), int(ViewType::Ref1));
    QTest::keyRelease(pPane->getView(), Qt::Key_B);
    QCOMPARE(pPane->getViewType(), int(ViewType::Main));
    // At a rate the two take turns by themselves.
    layout.flickerRate = 20;
    m_pSession->setLayout(layout);
    QTRY_COMPARE(pPane->getViewType(), int(ViewType::Ref1));
    QTRY_COMPARE(pPane->getViewType(), int(ViewType::Main));
}

void TestComparisonArea::differenceModes_data()
{
    // main − ref1 is 60 everywhere; the range is ±60.
    QTest::addColumn<int>("mode");
    QTest::addColumn<float>("threshold");
    QTest::addColumn<QRgb>("shown");
    QTest::newRow("mask: 60 above 59, highlighted")
            << int(DifferenceDisplay::Mode::Mask) << 59.0f << DifferenceRendering::MaskColour;
    QTest::newRow("mask: 60 not above 60, the main picture")
            << int(DifferenceDisplay::Mode::Mask) << 60.0f << qRgb(100, 100, 100);
    QTest::newRow("heat: the maximum is red")
            << int(DifferenceDisplay::Mode::Heat) << 0.0f << DifferenceRendering::heatColour(1);
    QTest::newRow("blocks: MSE 3600 of 60², the brightest")
            << int(DifferenceDisplay::Mode::Blocks) << 0.0f << DifferenceRendering::blockColour(1);
}

void TestComparisonArea::differenceModes()
{
    QFETCH(int, mode);
    QFETCH(float, threshold);
    QFETCH(QRgb, shown);
    m_pSession->setViewType(ViewType::Diff1);
    m_pSession->setRange(ViewType::Diff1, {-60, 60});
    m_pSession->setDifferenceDisplay(1, {DifferenceDisplay::Mode(mode), threshold, 4});
    const QPixmap *pPixmap = ImageNodeTestAccess::shownPixmap(*m_pArea->getPrimary());
    QVERIFY(pPixmap);
    QCOMPARE(pPixmap->toImage().pixel(3, 2), shown);
}

QTEST_MAIN(TestComparisonArea)
#include "tst_comparisonarea.moc"

void TestComparisonArea::regionByShiftDrag_data()
{
    QTest::addColumn<int>("pane"); // of two side by side
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("region");
    QTest::newRow("first pane, down and right")
            << 0 << QPoint(2, 1) << QPoint(9, 5) << QRect(2, 1, 8, 5);
    QTest::newRow("second pane, up and left")
            << 1 << QPoint(12, 6) << QPoint(3, 2) << QRect(3, 2, 10, 5);
    QTest::newRow("past the picture's corner")
            << 0 << QPoint(10, 4) << QPoint(40, 30) << QRect(10, 4, 6, 4);
}

void TestComparisonArea::regionByShiftDrag()
{
    QFETCH(int, pane);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, region);
    Layout layout;
    layout.kind = Layout::Kind::SideBySide;
    layout.views = {ViewType::Main, ViewType::Ref1};
    m_pSession->setLayout(layout);
    const QList<SliceWidget *> panes = m_pArea->getPanes();
    // Both pictures whole in their panes once laid out.
    QTRY_VERIFY(panes.at(1)->getView()->viewport()->width() > 200);
    for (SliceWidget *pPane : panes)
        pPane->getView()->setZoom(8.0);
    // A drag without Shift selects nothing.
    sendMouse(panes.at(pane), QEvent::MouseButtonPress, from, Qt::NoModifier);
    sendMouse(panes.at(pane), QEvent::MouseMove, to, Qt::NoModifier);
    sendMouse(panes.at(pane), QEvent::MouseButtonRelease, to, Qt::NoModifier);
    QVERIFY(m_pSession->getRegion().isEmpty());

    sendMouse(panes.at(pane), QEvent::MouseButtonPress, from, Qt::ShiftModifier);
    sendMouse(panes.at(pane), QEvent::MouseMove, to, Qt::ShiftModifier);
    sendMouse(panes.at(pane), QEvent::MouseButtonRelease, to, Qt::ShiftModifier);
    QCOMPARE(m_pSession->getRegion(), region);
    // Outlined in both panes, on its left edge and not inside.
    const int middle = region.y() + region.height() / 2;
    QVERIFY(outlinedAt(panes.at(0), region.x(), middle, 100));
    QVERIFY(outlinedAt(panes.at(1), region.x(), middle, 40));
    QVERIFY(!outlinedAt(panes.at(1), region.x() + 1, middle, 40));

    QTest::keyClick(panes.at(1)->getView(), Qt::Key_Escape);
    QVERIFY(m_pSession->getRegion().isEmpty());
    QVERIFY(!outlinedAt(panes.at(0), region.x(), middle, 100));
}
