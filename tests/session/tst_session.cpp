#include <memory>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "colourframes.h"
#include "image3d.h"
#include "pixelformat.h"
#include "session.h"
#include "viewtype.h"

namespace {

std::unique_ptr<Image3D> movie(int frames) { return std::make_unique<Image3D>(4, 2, frames); }

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void settersSignalOnlyRealChanges_data();
    void settersSignalOnlyRealChanges();
    void movieReplacementIsAnnouncedFirst();
    void frameFollowsTheMovies();
    void colourFramesWithinTheBudget();
    void regionKeepsItsPlaceInAnotherPlane_data();
    void regionKeepsItsPlaceInAnotherPlane();
};

void TestSession::settersSignalOnlyRealChanges_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("offset 2") << "offset" << 2 << 2;
    QTest::newRow("offset beyond the bound: clamped") << "offset" << 20000000 << Session::MaxOffset;
    QTest::newRow("frame 3 of 10") << "frame" << 3 << 3;
    QTest::newRow("frame past the last: the last") << "frame" << 50 << 9;
    QTest::newRow("view Diff2") << "view" << int(ViewType::Diff2) << int(ViewType::Diff2);
    QTest::newRow("range maximum 100") << "range" << 100 << 100;
}

void TestSession::settersSignalOnlyRealChanges()
{
    QFETCH(QString, what);
    QFETCH(int, value);
    QFETCH(int, stored);

    Session session;
    session.setMovie(Session::Main, movie(10));
    QSignalSpy offsets(&session, &Session::offsetChanged);
    QSignalSpy frames(&session, &Session::frameChanged);
    QSignalSpy views(&session, &Session::viewTypeChanged);
    QSignalSpy ranges(&session, &Session::rangeChanged);
    // Twice: the same value again changes nothing.
    for (int i = 0; i < 2; ++i) {
        if (what == "offset")
            session.setOffset(2, value);
        else if (what == "frame")
            session.setFrame(value);
        else if (what == "view")
            session.setViewType(value);
        else
            session.setRange(ViewType::Diff1, {-5, float(value)});
    }
    QCOMPARE(offsets.size() + frames.size() + views.size() + ranges.size(), 1);
    const int now = what == "offset" ? session.getOffset(2)
            : what == "frame"        ? session.getFrame()
            : what == "view"         ? session.getViewType()
                                     : int(session.getRange(ViewType::Diff1).maxValue);
    QCOMPARE(now, stored);
    QCOMPARE(session.getOffset(1), 0);
}

// A reader lets go of the old movie when told it is about to change: it must still be there
// then, and the new one in place when the change is announced.
void TestSession::movieReplacementIsAnnouncedFirst()
{
    Session session;
    session.setMovie(Session::Reference1, movie(3));
    const Image3D *pOld = session.getMovie(Session::Reference1);
    QStringList heard;
    connect(&session, &Session::movieAboutToChange, this, [&](int slot) {
        heard.append(QStringLiteral("about %1 %2")
                             .arg(slot)
                             .arg(session.getMovie(slot) == pOld ? "old" : "other"));
    });
    connect(&session, &Session::movieChanged, this, [&](int slot) {
        heard.append(
                QStringLiteral("changed %1 %2")
                        .arg(slot)
                        .arg(session.getMovie(slot) ? session.getMovie(slot)->getNumFrames() : 0));
    });
    session.setMovie(Session::Reference1, movie(7), {"b.yuv"});
    session.setMovie(Session::Reference1, nullptr);
    session.setMovie(Session::Reference1, nullptr); // already empty: nothing
    QCOMPARE(heard, (QStringList {"about 1 old", "changed 1 7", "about 1 other", "changed 1 0"}));
    QVERIFY(session.getFileNames(Session::Reference1).isEmpty());
}

// Clearing the longer movie or moving a reference must not leave the frame past the end.
void TestSession::frameFollowsTheMovies()
{
    Session session;
    session.setMovie(Session::Main, movie(4));
    session.setMovie(Session::Reference1, movie(10));
    session.setFrame(9);
    QCOMPARE(session.getFrame(), 9);
    QSignalSpy frames(&session, &Session::frameChanged);
    session.setOffset(1, -3); // reference frames 3.. meet main frames 0..: 7 frames in all
    QCOMPARE(session.getFrame(), 6);
    session.setMovie(Session::Reference1, nullptr);
    QCOMPARE(session.getFrame(), 3);
    session.setMovie(Session::Main, nullptr);
    QCOMPARE(session.getFrame(), 0);
    QCOMPARE(frames.size(), 3);
}

void TestSession::colourFramesWithinTheBudget()
{
    // A 4x2 yuv420p file of 3 frames.
    QTemporaryDir dir;
    QFile file(dir.filePath("clip.yuv"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(36, char(10))) == 36);
    file.close();
    const PixelFormat &yuv = *PixelFormat::byName("yuv420p");
    Session session;
    session.setFrameCacheBudget(1200);
    for (int slot : {Session::Main, Session::Reference1}) {
        auto pMovie = std::make_unique<Image3D>();
        QVERIFY(pMovie->openRaw(file.fileName().toStdString(), yuv, 4, 2));
        session.setMovie(slot, std::move(pMovie));
    }
    auto heldBudget = [&session](bool colour) {
        qint64 sum = 0;
        for (int slot : {Session::Main, Session::Reference1})
            sum += colour ? session.getMovie(slot)->getColourFrames()->getFrameCache().getBudget()
                          : session.getMovie(slot)->getFrameCache()->getBudget();
        return sum;
    };
    // Frames of three planes are kept only while colour is shown, within the one budget.
    QCOMPARE(heldBudget(false), qint64(1200));
    QCOMPARE(heldBudget(true), qint64(0));
    session.setColour(true);
    QCOMPARE(heldBudget(false) + heldBudget(true), qint64(1200));
    QVERIFY(heldBudget(true) > 0);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"

void TestSession::regionKeepsItsPlaceInAnotherPlane_data()
{
    QTest::addColumn<QRect>("region"); // in Y samples of a 16x8 yuv420p picture
    QTest::addColumn<QRect>("inU");
    QTest::addColumn<QRect>("backInY");
    QTest::newRow("even edges") << QRect(4, 2, 8, 4) << QRect(2, 1, 4, 2) << QRect(4, 2, 8, 4);
    QTest::newRow("odd edges: the chroma samples that cover it")
            << QRect(3, 1, 6, 2) << QRect(1, 0, 4, 2) << QRect(2, 0, 8, 4);
    QTest::newRow("the whole picture")
            << QRect(0, 0, 16, 8) << QRect(0, 0, 8, 4) << QRect(0, 0, 16, 8);
}

void TestSession::regionKeepsItsPlaceInAnotherPlane()
{
    QFETCH(QRect, region);
    QFETCH(QRect, inU);
    QFETCH(QRect, backInY);
    QTemporaryDir dir;
    QFile file(dir.filePath("clip.yuv"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(192, char(10))) == 192);
    file.close();
    auto pMovie = std::make_unique<Image3D>();
    QVERIFY(pMovie->openRaw(file.fileName().toStdString(), *PixelFormat::byName("yuv420p"), 16, 8));
    Session session;
    session.setMovie(Session::Main, std::move(pMovie));
    session.setRegion(region);
    session.setPlane(1);
    QCOMPARE(session.getRegion(), inU);
    session.setPlane(0);
    QCOMPARE(session.getRegion(), backInY);
}
