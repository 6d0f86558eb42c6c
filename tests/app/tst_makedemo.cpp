#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "image2d.h"
#include "image3d.h"

// The demo generator writes movies that the readers take as tools/run hands them over, with
// visible differences between main and references.
class TestMakeDemo : public QObject
{
    Q_OBJECT

private slots:
    void writesLoadableDifferingMovies();
    void refusesAMissingFolderArgument();
};

void TestMakeDemo::writesLoadableDifferingMovies()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess generator;
    generator.start(QStringLiteral(MAKEDEMO_PATH), {dir.filePath(QStringLiteral("démo"))});
    QVERIFY(generator.waitForFinished(60000));
    QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(generator.exitCode(), 0);

    const QString folder = dir.filePath(QStringLiteral("démo/"));
    Image3D main;
    QVERIFY(main.loadRaw((folder + "main.yuv").toStdString(), 320, 240, true));
    QCOMPARE(main.getNumFrames(), 24);
    Image3D ref1;
    QVERIFY(ref1.loadRaw((folder + "ref1.yuv").toStdString(), 320, 240, true));
    QCOMPARE(ref1.getNumFrames(), 24);
    Image2D ref2;
    QVERIFY(ref2.loadImage((folder + "ref2-23.png").toStdString()));
    QCOMPARE(ref2.getWidth(), 352);
    QCOMPARE(ref2.getHeight(), 256);

    // The references differ from the main movie, and the main movie moves.
    qint64 differentInRef1 = 0;
    qint64 differentFrames = 0;
    const qint64 frameSamples = 320 * 240;
    for (qint64 i = 0; i < frameSamples; ++i) {
        differentInRef1 += main.getData()[i] != ref1.getData()[i];
        differentFrames += main.getData()[i] != main.getData()[i + 23 * frameSamples];
    }
    QVERIFY(differentInRef1 > frameSamples / 2);
    QVERIFY(differentFrames > frameSamples / 20);
}

void TestMakeDemo::refusesAMissingFolderArgument()
{
    QProcess generator;
    generator.start(QStringLiteral(MAKEDEMO_PATH), {});
    QVERIFY(generator.waitForFinished(60000));
    QCOMPARE(generator.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestMakeDemo)
#include "tst_makedemo.moc"
