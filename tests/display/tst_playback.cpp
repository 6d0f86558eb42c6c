#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "image3d.h"
#include "playback.h"
#include "slicewidget.h"
#include "sliceview.h"

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void pauseStopsATickAlreadyQueued();
};

// A machine that can't keep up: ticks come while the view has not painted the last step, so
// the paint queues the step it missed. A pause right after that paint must still hold.
void TestPlayback::pauseStopsATickAlreadyQueued()
{
    Image3D movie(4, 4, 5);
    SliceWidget sliceWidget;
    sliceWidget.setMovies(&movie, nullptr, nullptr);
    sliceWidget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sliceWidget));
    Playback playback(&sliceWidget);
    playback.setFrameRate(1000);
    QWidget *pViewport = sliceWidget.getView()->viewport();
    pViewport->setUpdatesEnabled(false);
    QSignalSpy ticks(playback.findChild<QTimer *>(), &QTimer::timeout);
    playback.play();
    QTRY_VERIFY(ticks.size() >= 3);
    QCOMPARE(sliceWidget.getFixedCoordinate(), 1);

    connect(sliceWidget.getView(), &SliceView::painted, &playback, &Playback::pause);
    pViewport->setUpdatesEnabled(true);
    QTRY_VERIFY(!playback.isPlaying());
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(sliceWidget.getFixedCoordinate(), 1);
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
