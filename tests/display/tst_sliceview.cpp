// SliceView: wheel and key input, zoom limits with re-centring, and the mend that
// leaves zoom mode when the view loses focus.
#include <QtTest>

#include <QGraphicsScene>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

#include "sliceview.h"

Q_DECLARE_METATYPE(QList<int>)

namespace {

const QSize ViewportSize(400, 300);
// Far from the viewport's centre, so that re-centring on it shows.
const QPoint Cursor(40, 30);

void sendWheel(SliceView &view, QPoint angleDelta, Qt::KeyboardModifiers modifiers = {})
{
    QWheelEvent event(QPointF(Cursor), QPointF(view.viewport()->mapToGlobal(Cursor)), QPoint(),
                      angleDelta, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

void sendKey(SliceView &view, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(&view, &event);
}

// Whether a wheel notch zooms (Control is held in the view); the zoom is undone.
bool wheelZooms(SliceView &view)
{
    const QTransform before = view.transform();
    sendWheel(view, QPoint(0, 120));
    const bool zoomed = view.transform() != before;
    view.setTransform(before);
    return zoomed;
}

QList<int> directions(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &arguments : spy)
        result << arguments.at(0).toInt();
    return result;
}

// A shown view of a fixed viewport size on a scene of the given size.
struct ViewFixture
{
    explicit ViewFixture(const QRectF &sceneRect) : view(&scene)
    {
        scene.setSceneRect(sceneRect);
        view.setFrameShape(QFrame::NoFrame);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.resize(ViewportSize
                    + QSize(view.verticalScrollBar()->sizeHint().width(),
                            view.horizontalScrollBar()->sizeHint().height()));
        view.show();
    }
    QGraphicsScene scene;
    SliceView view;
};

} // namespace

class TestSliceView : public QObject
{
    Q_OBJECT
private slots:
    void construction();
    void zoomWithControlWheel_data();
    void zoomWithControlWheel();
    void wheelStepsWithoutControl_data();
    void wheelStepsWithoutControl();
    void keys_data();
    void keys();
    void controlPressAndRelease();
    void focusOutLeavesZoomMode();
    void focusMovingAwayLeavesZoomMode();
};

void TestSliceView::construction()
{
    QGraphicsScene scene;
    QWidget parent;
    SliceView view(&scene, &parent);
    QCOMPARE(view.scene(), &scene);
    QCOMPARE(view.parentWidget(), &parent);
    QCOMPARE(view.viewportUpdateMode(), QGraphicsView::FullViewportUpdate);
    QVERIFY(view.renderHints().testFlag(QPainter::Antialiasing));
    QCOMPARE(view.dragMode(), QGraphicsView::NoDrag);
    QCOMPARE(view.transform(), QTransform());
    QVERIFY(!wheelZooms(view));
}

void TestSliceView::zoomWithControlWheel_data()
{
    QTest::addColumn<QRectF>("sceneRect");
    QTest::addColumn<double>("startScale");
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<double>("endScale");

    const QRectF medium(-1000, -1000, 2000, 2000);
    const QRectF small(0, 0, 1000, 1000);
    const QRectF huge(-1e6, -1e6, 2e6, 2e6);
    const double root2 = std::sqrt(2.0);
    QTest::newRow("+120 zooms in by sqrt 2") << medium << 1.0 << QPoint(0, 120) << root2;
    QTest::newRow("-120 zooms out by sqrt 2") << medium << 1.0 << QPoint(0, -120) << 1 / root2;
    QTest::newRow("+240 doubles") << medium << 1.0 << QPoint(0, 240) << 2.0;
    QTest::newRow("horizontal wheel +120 (vertical 0) zooms in")
            << medium << 1.0 << QPoint(120, 0) << root2;
    QTest::newRow("vertical delta wins over horizontal")
            << medium << 1.0 << QPoint(-120, 240) << 2.0;
    QTest::newRow("delta 0: factor 1, still re-centred") << medium << 1.0 << QPoint(0, 0) << 1.0;
    QTest::newRow("at 8192 a zoom-in notch is refused")
            << small << 8192.0 << QPoint(0, 120) << 8192.0;
    QTest::newRow("at 8192 a zoom-out notch is taken")
            << small << 8192.0 << QPoint(0, -120) << 8192.0 / root2;
    QTest::newRow("at 0.0125 a zoom-out notch is refused")
            << huge << 0.0125 << QPoint(0, -120) << 0.0125;
    QTest::newRow("at 0.0125 a zoom-in notch is taken")
            << huge << 0.0125 << QPoint(0, 120) << 0.0125 * root2;
    QTest::newRow("5000 doubled to exactly 10000 is taken (inclusive)")
            << small << 5000.0 << QPoint(0, 240) << 10000.0;
    QTest::newRow("0.02 halved to exactly 0.01 is taken (inclusive)")
            << huge << 0.02 << QPoint(0, -240) << 0.01;
}

void TestSliceView::zoomWithControlWheel()
{
    QFETCH(QRectF, sceneRect);
    QFETCH(double, startScale);
    QFETCH(QPoint, angleDelta);
    QFETCH(double, endScale);

    ViewFixture fixture(sceneRect);
    SliceView &view = fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.viewport()->size(), ViewportSize);
    view.setTransform(QTransform::fromScale(startScale, startScale));
    view.centerOn(sceneRect.center());
    QSignalSpy steps(&view, &SliceView::sliceChanged);

    sendKey(view, QEvent::KeyPress, Qt::Key_Control);
    const QPointF centreBefore = view.mapToScene(view.viewport()->rect().center());
    sendWheel(view, angleDelta);

    QCOMPARE(view.transform().m11(), endScale);
    QCOMPARE(view.transform().m22(), endScale);
    QCOMPARE(steps.count(), 0);
    // The scale step keeps the view centre; the cursor's scene point under the new scale then
    // becomes the centre, whether or not the step was taken.
    const QPointF cursorOffset = QPointF(Cursor - view.viewport()->rect().center()) / endScale;
    const QPointF expectedCentre = centreBefore + cursorOffset;
    const QPointF centreAfter = view.mapToScene(view.viewport()->rect().center());
    const double tolerance = 3.0 / endScale; // a few device pixels
    QVERIFY2(std::abs(centreAfter.x() - expectedCentre.x()) <= tolerance
                     && std::abs(centreAfter.y() - expectedCentre.y()) <= tolerance,
             qPrintable(QStringLiteral("centre (%1, %2), expected (%3, %4)")
                                .arg(centreAfter.x())
                                .arg(centreAfter.y())
                                .arg(expectedCentre.x())
                                .arg(expectedCentre.y())));
    QVERIFY(std::abs(cursorOffset.x()) > 10 * tolerance);
}

void TestSliceView::wheelStepsWithoutControl_data()
{
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("+120: one step forward") << QPoint(0, 120) << 0 << QList<int> {1};
    QTest::newRow("+360: still exactly one step forward") << QPoint(0, 360) << 0 << QList<int> {1};
    QTest::newRow("-1: one step back") << QPoint(0, -1) << 0 << QList<int> {-1};
    QTest::newRow("-480: one step back") << QPoint(0, -480) << 0 << QList<int> {-1};
    QTest::newRow("0: nothing") << QPoint(0, 0) << 0 << QList<int> {};
    QTest::newRow("horizontal -120: one step back") << QPoint(-120, 0) << 0 << QList<int> {-1};
    QTest::newRow("horizontal +15: one step forward") << QPoint(15, 0) << 0 << QList<int> {1};
    QTest::newRow("Control modifier on the event alone does not zoom")
            << QPoint(0, 120) << int(Qt::ControlModifier) << QList<int> {1};
}

void TestSliceView::wheelStepsWithoutControl()
{
    QFETCH(QPoint, angleDelta);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, expected);

    ViewFixture fixture(QRectF(0, 0, 2000, 2000));
    SliceView &view = fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int scrollX = view.horizontalScrollBar()->value();
    const int scrollY = view.verticalScrollBar()->value();
    QSignalSpy steps(&view, &SliceView::sliceChanged);

    sendWheel(view, angleDelta, Qt::KeyboardModifiers(modifiers));

    QCOMPARE(directions(steps), expected);
    QCOMPARE(view.transform(), QTransform());
    // The wheel never scrolls.
    QCOMPARE(view.horizontalScrollBar()->value(), scrollX);
    QCOMPARE(view.verticalScrollBar()->value(), scrollY);
}

void TestSliceView::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("Page Up: next slice") << int(Qt::Key_PageUp) << false << QList<int> {1};
    QTest::newRow("Page Down: previous slice") << int(Qt::Key_PageDown) << false << QList<int> {-1};
    QTest::newRow("auto-repeated Page Up steps too")
            << int(Qt::Key_PageUp) << true << QList<int> {1};
    QTest::newRow("Right arrow: nothing, no scrolling")
            << int(Qt::Key_Right) << false << QList<int> {};
    QTest::newRow("Down arrow: nothing, no scrolling")
            << int(Qt::Key_Down) << false << QList<int> {};
    QTest::newRow("Home: nothing") << int(Qt::Key_Home) << false << QList<int> {};
    QTest::newRow("letter A: nothing") << int(Qt::Key_A) << false << QList<int> {};
}

void TestSliceView::keys()
{
    QFETCH(int, key);
    QFETCH(bool, autoRepeat);
    QFETCH(QList<int>, expected);

    ViewFixture fixture(QRectF(0, 0, 2000, 2000));
    SliceView &view = fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.centerOn(1000, 1000);
    const int scrollX = view.horizontalScrollBar()->value();
    const int scrollY = view.verticalScrollBar()->value();
    QSignalSpy steps(&view, &SliceView::sliceChanged);

    sendKey(view, QEvent::KeyPress, key, autoRepeat);
    sendKey(view, QEvent::KeyRelease, key, autoRepeat);

    QCOMPARE(directions(steps), expected);
    QCOMPARE(view.horizontalScrollBar()->value(), scrollX);
    QCOMPARE(view.verticalScrollBar()->value(), scrollY);
    QVERIFY(!wheelZooms(view));
}

void TestSliceView::controlPressAndRelease()
{
    QGraphicsScene scene;
    SliceView view(&scene);
    QSignalSpy steps(&view, &SliceView::sliceChanged);
    sendKey(view, QEvent::KeyPress, Qt::Key_Control);
    // Other releases leave zoom mode on.
    sendKey(view, QEvent::KeyRelease, Qt::Key_Shift);
    sendKey(view, QEvent::KeyRelease, Qt::Key_PageUp);
    sendWheel(view, QPoint(0, 120));
    QCOMPARE(steps.count(), 0);
    QCOMPARE(view.transform().m11(), std::sqrt(2.0));
    sendKey(view, QEvent::KeyRelease, Qt::Key_Control);
    sendWheel(view, QPoint(0, 120));
    QCOMPARE(directions(steps), QList<int> {1});
    QCOMPARE(view.transform().m11(), std::sqrt(2.0));
    // QTest's key click: press and release.
    QTest::keyClick(&view, Qt::Key_PageDown);
    QCOMPARE(directions(steps), (QList<int> {1, -1}));
}

void TestSliceView::focusOutLeavesZoomMode()
{
    QGraphicsScene scene;
    SliceView view(&scene);
    QSignalSpy steps(&view, &SliceView::sliceChanged);
    sendKey(view, QEvent::KeyPress, Qt::Key_Control);
    QVERIFY(wheelZooms(view));

    // Control is released while another widget has the focus: the view only sees focus out.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&view, &focusOut);

    sendWheel(view, QPoint(0, 120));
    QCOMPARE(directions(steps), QList<int> {1});
    QCOMPARE(view.transform(), QTransform());
}

void TestSliceView::focusMovingAwayLeavesZoomMode()
{
    QWidget window;
    auto *pLayout = new QVBoxLayout(&window);
    QGraphicsScene scene;
    auto *pView = new SliceView(&scene, &window);
    auto *pOther = new QLineEdit(&window);
    pLayout->addWidget(pView);
    pLayout->addWidget(pOther);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    pView->setFocus();
    QTRY_VERIFY(pView->hasFocus());

    QTest::keyPress(pView, Qt::Key_Control);
    QVERIFY(wheelZooms(*pView));
    pOther->setFocus();
    QTRY_VERIFY(pOther->hasFocus());
    QTest::keyRelease(pOther, Qt::Key_Control);

    QSignalSpy steps(pView, &SliceView::sliceChanged);
    sendWheel(*pView, QPoint(0, -120));
    QCOMPARE(directions(steps), QList<int> {-1});
    QCOMPARE(pView->transform(), QTransform());
}

QTEST_MAIN(TestSliceView)
#include "tst_sliceview.moc"
