#include <memory>

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "commandline.h"
#include "exportrunner.h"
#include "imagenodetestaccess.h"
#include "mainwidget.h"
#include "pixelformat.h"
#include "scalewidget.h"
#include "scripteddialogs.h"
#include "slicewidget.h"
#include "viewtype.h"

namespace {

const QString exportText = QString::fromUtf8("Export view as PNG\u2026");

// The program run as a user runs it, with no display at all: status, stderr.
struct Run
{
    int status = -1;
    QString err;
};

Run runProgram(const QStringList &arguments, const QString &directory)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(directory);
    program.start(QStringLiteral(RAWCOMPARE_PATH), arguments);
    Run run;
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = program.exitCode();
    run.err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

// Writes width x height x frames samples of `bytesPerSample` little-endian bytes, top row first
// in the file: sample (x, row from the top, f) = (x * 37 + row * 11 + f * 23) * scale, modulo
// `modulo`.
bool writeRaw(const QString &name, int width, int height, int frames, int scale, int modulo,
              int bytesPerSample = 1)
{
    QByteArray bytes;
    for (int f = 0; f < frames; ++f)
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x) {
                const int value = ((x * 37 + row * 11 + f * 23) * scale) % modulo;
                bytes.append(char(value & 0xff));
                if (bytesPerSample == 2)
                    bytes.append(char(value >> 8));
            }
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage rgb32(const QImage &image) { return image.convertToFormat(QImage::Format_RGB32); }

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pngEqualsTheView_data();
    void pngEqualsTheView();
    void colourPngEqualsTheView_data();
    void colourPngEqualsTheView();
    void pictureNames_data();
    void pictureNames();
    void framesNamedFromTheFirstWritten();
    void exitStatus_data();
    void exitStatus();
    void framesOfTheViewOnly_data();
    void framesOfTheViewOnly();
    void windowExportFailures();
    void windowReport_data();
    void windowReport();

private:
    QString path(const QString &name) const { return m_pDir->filePath(name); }
    // Opens the files as the window's command line does, with the dialogs scripted.
    void openWindow(const QStringList &arguments);
    QAction *exportAction() const;
    SliceWidget *sliceWidget() const { return m_pWindow->findChild<SliceWidget *>(); }
    ScaleWidget *editor(int view) const
    {
        QWidget *pColumn = m_pWindow->centralWidget()->layout()->itemAt(1)->widget();
        return qobject_cast<ScaleWidget *>(pColumn->layout()->itemAt(view)->widget());
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MainWidget> m_pWindow;
    ScriptedDialogs *m_pDialogs = nullptr;
};

void TestExport::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    m_pWindow = std::make_unique<MainWidget>();
    auto pDialogs = std::make_unique<ScriptedDialogs>();
    m_pDialogs = pDialogs.get();
    m_pWindow->setDialogProvider(std::move(pDialogs));
}

void TestExport::cleanup()
{
    if (m_pDialogs)
        QVERIFY2(!m_pDialogs->log.join(' ').contains("unexpected"),
                 qPrintable(m_pDialogs->log.join(' ')));
    m_pWindow.reset();
    m_pDir.reset();
}

void TestExport::openWindow(const QStringList &arguments)
{
    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), CommandLine::Action::Run);
    const qsizetype warnings = m_pDialogs->warnings.size();
    m_pWindow->openFromCommandLine(commandLine);
    QVERIFY2(m_pDialogs->warnings.size() == warnings,
             qPrintable(m_pDialogs->warnings.value(warnings).text));
}

QAction *TestExport::exportAction() const
{
    for (QAction *pAction : m_pWindow->menuBar()->actions().value(0)->menu()->actions()) {
        if (pAction->text() == exportText)
            return pAction;
    }
    return nullptr;
}

void TestExport::pngEqualsTheView_data()
{
    QTest::addColumn<QString>("pixelFormat");
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("range"); // empty: the view's starting range
    QTest::addColumn<QString>("ref1Size");

    QTest::newRow("main") << "gray" << int(ViewType::Main) << QString() << "6x4";
    QTest::newRow("ref1, -40:300") << "gray" << int(ViewType::Ref1) << "-40:300"
                                   << "6x4";
    QTest::newRow("ref2") << "gray" << int(ViewType::Ref2) << QString() << "6x4";
    QTest::newRow("diff1, reference 1 smaller")
            << "gray" << int(ViewType::Diff1) << QString() << "4x2";
    QTest::newRow("diff2, -20:20") << "gray" << int(ViewType::Diff2) << "-20:20"
                                   << "6x4";
    QTest::newRow("main, min above max") << "gray" << int(ViewType::Main) << "200:50"
                                         << "6x4";
    QTest::newRow("10-bit diff1, starting range -512:512")
            << "gray10le" << int(ViewType::Diff1) << QString() << "4x2";
    QTest::newRow("diff1, reference 1 sized by --ref1-size")
            << "gray" << int(ViewType::Diff1) << QString() << "--ref1-size 4x2";
}

void TestExport::pngEqualsTheView()
{
    QFETCH(QString, pixelFormat);
    QFETCH(int, view);
    QFETCH(QString, range);
    QFETCH(QString, ref1Size);

    // Sizes from the names, or reference 1's from its own option; 3 frames of main, 2 of each
    // reference.
    const QStringList ref1Options = ref1Size.startsWith("--") ? ref1Size.split(' ') : QStringList();
    ref1Size = ref1Size.section(' ', -1);
    const bool deep = pixelFormat != QLatin1String("gray");
    const int bytes = deep ? 2 : 1;
    const int modulo = deep ? 1024 : 256;
    const int ref1Width = ref1Size.section('x', 0, 0).toInt();
    const int ref1Height = ref1Size.section('x', 1, 1).toInt();
    const QString main = path("main_6x4.yuv");
    const QString ref1 = path(ref1Options.isEmpty() ? QStringLiteral("ref1_%1.yuv").arg(ref1Size)
                                                    : QStringLiteral("ref1.yuv"));
    const QString ref2 = path("ref2_6x4.yuv");
    QVERIFY(writeRaw(main, 6, 4, 3, deep ? 5 : 1, modulo, bytes));
    QVERIFY(writeRaw(ref1, ref1Width, ref1Height, 2, deep ? 3 : 2, modulo, bytes));
    QVERIFY(writeRaw(ref2, 6, 4, 2, deep ? 7 : 3, modulo, bytes));
    const QStringList files
            = QStringList {"--pix-fmt", pixelFormat, main, "--ref1", ref1, "--ref2", ref2}
            + ref1Options;

    // The window: the view, its range, frame 1.
    openWindow(files);
    m_pWindow->findChildren<QActionGroup *>().value(0)->actions().at(view)->trigger();
    QCOMPARE(sliceWidget()->getViewType(), view);
    if (!range.isEmpty())
        editor(view)->setValues(range.section(':', 0, 0).toFloat(),
                                range.section(':', 1, 1).toFloat());
    sliceWidget()->getSlider()->setValue(1);
    const QPixmap *pShown = ImageNodeTestAccess::shownPixmap(*sliceWidget());
    QVERIFY(pShown);
    const QImage shown = rgb32(pShown->toImage());
    QCOMPARE(shown.size(), QSize(6, 4));

    m_pDialogs->saveAnswers.append(path("window")); // ".png" is added
    exportAction()->trigger();
    QCOMPARE(m_pDialogs->log, QStringList {"save"});
    const QImage fromWindow(path("window.png"));
    QVERIFY(!fromWindow.isNull());
    // The picture's top row first: the view's image upside down, pixel for pixel.
    QCOMPARE(rgb32(fromWindow), shown.mirrored(false, true));
    // The top-left pixel is sample (0, 3) of frame 1 by the per-pixel rule.
    const int topLeft = sliceWidget()->grayAt(0, 3, 1);
    QCOMPARE(rgb32(fromWindow).pixel(0, 0), qRgb(topLeft, topLeft, topLeft));

    // The program, on the same files, with the same range written as on the command line.
    const char *const names[5] = {"main", "ref1", "ref2", "diff1", "diff2"};
    QStringList arguments {"--export-png", path("out"), "--view", names[view]};
    if (!range.isEmpty())
        arguments << QStringLiteral("--range=") + range;
    const Run run = runProgram(arguments + files, m_pDir->path());
    QVERIFY2(run.status == 0, qPrintable(run.err));
    // The frames at which the view's movies have one: the references have 2.
    QStringList pictures {"frame_0000.png", "frame_0001.png", "frame_0002.png"};
    if (view != ViewType::Main)
        pictures.removeLast();
    QCOMPARE(QDir(path("out")).entryList(QDir::Files), pictures);
    const QImage fromProgram(path("out/frame_0001.png"));
    QCOMPARE(rgb32(fromProgram), rgb32(fromWindow));
}

void TestExport::colourPngEqualsTheView_data()
{
    QTest::addColumn<QString>("file"); // "y4m full" (tagged XCOLORRANGE=FULL) or a raw format
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QString>("note"); // what was used, as the program says

    QTest::newRow("y4m tagged full range, HD: BT.709 and full range unasked, bilinear")
            << "y4m full" << QSize(1280, 720) << QStringList {"--chroma", "bilinear"} << true
            << "colour: BT.709, full range, bilinear chroma, SDR";
    QTest::newRow("yuv444p10le, BT.2020 limited, odd size")
            << "yuv444p10le" << QSize(33, 17) << QStringList {"--matrix", "2020"} << true
            << "colour: BT.2020, limited range, nearest chroma, SDR";
    QTest::newRow("a gray file is exported gray, with a note")
            << "gray" << QSize(8, 6) << QStringList() << false << "has no chroma";
}

void TestExport::colourPngEqualsTheView()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(QStringList, options);
    QFETCH(bool, colour);
    QFETCH(QString, note);

    // Samples all over the range, chroma too; a y4m file says they are full range.
    const bool y4m = file.startsWith(QLatin1String("y4m"));
    const QString format = y4m ? QStringLiteral("yuv420p") : file;
    const PixelFormat *pFormat = PixelFormat::byName(format);
    const int bytes = pFormat->getBytesPerSample();
    const QString name = path(y4m ? "clip.y4m" : "clip.raw");
    QVERIFY(writeRaw(path("samples"),
                     int(pFormat->getFrameBytes(size.width(), size.height())) / bytes, 1, 1, 7,
                     1 << pFormat->getDepth(), bytes));
    QFile samples(path("samples")), out(name);
    QVERIFY(samples.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    if (y4m)
        out.write(QStringLiteral("YUV4MPEG2 W%1 H%2 F25:1 C420jpeg XCOLORRANGE=FULL\nFRAME\n")
                          .arg(size.width())
                          .arg(size.height())
                          .toLatin1());
    out.write(samples.readAll());
    out.close();
    const QString sizeText = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    const QStringList files = y4m ? QStringList {name}
                                  : QStringList {"--size", sizeText, "--pix-fmt", format, name};

    // The window's view and its export, the program's export: one picture.
    openWindow(QStringList {"--display", "colour"} + options + files);
    const QPixmap *pShown = ImageNodeTestAccess::shownPixmap(*sliceWidget());
    QVERIFY(pShown);
    m_pDialogs->saveAnswers.append(path("window.png"));
    exportAction()->trigger();
    const QImage fromWindow(path("window.png"));
    QCOMPARE(rgb32(fromWindow), rgb32(pShown->toImage()).mirrored(false, true));
    const Run run = runProgram(
            QStringList {"--export-png", path("out"), "--view", "main", "--display", "colour"}
                    + options + files,
            m_pDir->path());
    QVERIFY2(run.status == 0 && run.err.contains(note), qPrintable(run.err));
    const QImage fromProgram(path("out/frame_0000.png"));
    QCOMPARE(fromProgram.isGrayscale(), !colour);
    QCOMPARE(rgb32(fromProgram), rgb32(fromWindow));
}

void TestExport::pictureNames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");

    QTest::newRow("one picture") << 0 << 1 << "frame_0000.png";
    QTest::newRow("10001 pictures: 5 digits, the first") << 0 << 10001 << "frame_00000.png";
    QTest::newRow("10001 pictures: 5 digits, the last") << 10000 << 10001 << "frame_10000.png";
}

void TestExport::pictureNames()
{
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QString, name);
    QCOMPARE(ExportRunner::pictureName(index, count), name);
}

void TestExport::framesNamedFromTheFirstWritten()
{
    // Frames 2 and 3 of a 5-frame movie are written as frame_0000 and frame_0001, equal to the
    // pictures of those frames in an export of every frame; the folder is made with its parent.
    QVERIFY(writeRaw(path("clip_8x2.yuv"), 8, 2, 5, 1, 256));
    const QStringList common {"--view", "main", "--gray", "clip_8x2.yuv"};
    Run run = runProgram(QStringList {"--export-png", "all"} + common, m_pDir->path());
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(QDir(path("all")).entryList(QDir::Files).size(), 5);
    run = runProgram(QStringList {"--export-png", "new/part", "--frames", "2:2"} + common,
                     m_pDir->path());
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(QDir(path("new/part")).entryList(QDir::Files),
             (QStringList {"frame_0000.png", "frame_0001.png"}));
    for (int k = 0; k < 2; ++k) {
        const QImage part(path(QStringLiteral("new/part/frame_000%1.png").arg(k)));
        const QImage all(path(QStringLiteral("all/frame_000%1.png").arg(k + 2)));
        QVERIFY(!part.isNull());
        QCOMPARE(rgb32(part), rgb32(all));
        QVERIFY(rgb32(part) != rgb32(QImage(path(QStringLiteral("all/frame_000%1.png").arg(k)))));
    }
}

void TestExport::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // found in the last line of stderr

    // In the test's folder: m_4x2.yuv (gray, 2 frames), r_4x2.yuv, a file "blocker", a folder
    // "taken" holding a folder named frame_0000.png.
    const QStringList ok {"--gray", "m_4x2.yuv", "--ref1", "r_4x2.yuv"};
    auto exportTo = [](const QString &dir, const QString &view) {
        return QStringList {"--export-png", dir, "--view", view};
    };
    QTest::newRow("diff1, negative range with =")
            << exportTo("o", "diff1") + QStringList {"--range=-128:128"} + ok << 0
            << "2 pictures written to o";

    QTest::newRow("--range MIN:MAX, separate")
            << exportTo("o", "main") + QStringList {"--range", "16:235"} + ok << 0
            << "2 pictures written";
    QTest::newRow("range: one number")
            << exportTo("o", "main") + QStringList {"--range=5"} + ok << 2 << "Invalid range '5'";
    QTest::newRow("range: not numbers") << exportTo("o", "main") + QStringList {"--range=a:b"} + ok
                                        << 2 << "Invalid range 'a:b'";
    QTest::newRow("diff2 without --ref2")
            << exportTo("o", "diff2") + ok << 2 << "--view diff2 needs --ref2 REF.";

    QTest::newRow("main missing") << exportTo("o", "main") + QStringList {"--gray", "none_4x2.yuv"}
                                  << 1 << "none_4x2.yuv: no such file";
    QTest::newRow("DIR a file") << exportTo("blocker", "main") + ok << 1
                                << "blocker: a file, not a folder";
    QTest::newRow("DIR below a file")
            << exportTo("blocker/o", "main") + ok << 1 << "blocker/o: the folder can't be created";
    QTest::newRow("a picture can't be written")
            << exportTo("taken", "main") + ok << 1 << "taken/frame_0000.png: ";
}

void TestExport::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, err);

    QVERIFY(writeRaw(path("m_4x2.yuv"), 4, 2, 2, 1, 256));
    QVERIFY(writeRaw(path("r_4x2.yuv"), 4, 2, 2, 2, 256));
    QFile blocker(path("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("abc") == 3);
    blocker.close();
    QVERIFY(QDir().mkpath(path("taken/frame_0000.png")));

    const Run run = runProgram(arguments, m_pDir->path());
    QCOMPARE(run.status, status);
    const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    // Bad arguments are followed by the usage; everything else ends with one line.
    const QString line = status == 2 ? lines.first() : lines.last();
    QVERIFY2(line.startsWith("rawcompare: ") && line.contains(err), qPrintable(run.err));
    if (status != 0)
        QVERIFY(!QFile::exists(path("o")));
    else
        QCOMPARE(QDir(path("o")).entryList(QDir::Files),
                 (QStringList {"frame_0000.png", "frame_0001.png"}));
    // The folder in the way of the first picture is left as it was.
    QVERIFY(QFileInfo(path("taken/frame_0000.png")).isDir());
    QCOMPARE(QDir(path("taken")).entryList(QDir::Files), QStringList());
}

void TestExport::framesOfTheViewOnly_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QString>("err"); // found on stderr

    // m1_4x2.yuv: 1 gray frame; m5_4x2.yuv and r5_4x2.yuv: 5; still.png: a 4x2 picture.
    auto exportOf = [](const QString &view, const QStringList &files) {
        return QStringList {"--export-png", "o", "--view", view, "--gray"} + files;
    };
    QTest::newRow("main of 1 frame beside a reference of 5: 1")
            << exportOf("main", {"m1_4x2.yuv", "--ref1", "r5_4x2.yuv"}) << 0 << 1
            << "1 of the 5 frames have a frame of the view";
    QTest::newRow("reference far off: main's own frames only")
            << exportOf("main", {"m5_4x2.yuv", "--ref1", "r5_4x2.yuv", "--ref1-offset", "9999999"})
            << 0 << 5 << "5 of the 10000004 frames";
    QTest::newRow("difference with no frame shared: nothing, 1")
            << exportOf("diff1", {"m5_4x2.yuv", "--ref1", "r5_4x2.yuv", "--ref1-offset", "9999999"})
            << 1 << 0 << "no frame to export";
    QTest::newRow("--frames passes over a still reference")
            << exportOf("diff1", {"--frames", "2:1", "m5_4x2.yuv", "--ref1", "still.png"}) << 0 << 1
            << "1 picture written";
    QTest::newRow("--plane u of a gray file and a picture: Y, said")
            << exportOf("diff1", {"--plane", "u", "m5_4x2.yuv", "--ref1", "still.png"}) << 0 << 1
            << "still.png has no U plane (a picture): Y is used";
}

void TestExport::framesOfTheViewOnly()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(int, pictures);
    QFETCH(QString, err);
    QVERIFY(writeRaw(path("m1_4x2.yuv"), 4, 2, 1, 1, 256));
    QVERIFY(writeRaw(path("m5_4x2.yuv"), 4, 2, 5, 1, 256));
    QVERIFY(writeRaw(path("r5_4x2.yuv"), 4, 2, 5, 2, 256));
    QVERIFY(QImage(4, 2, QImage::Format_Grayscale8).save(path("still.png")));

    const Run run = runProgram(arguments, m_pDir->path());
    QVERIFY2(run.status == status && run.err.contains(err), qPrintable(run.err));
    QCOMPARE(QDir(path("o")).entryList(QDir::Files).size(), pictures);
}

void TestExport::windowExportFailures()
{
    // Nothing shown: the entry is disabled, and asking anyway says so without a file dialog.
    QVERIFY(!exportAction()->isEnabled());
    m_pWindow->onExportView();
    QCOMPARE(m_pDialogs->warnings.value(0).text, QStringLiteral("Nothing to export"));

    QVERIFY(writeRaw(path("m_4x2.yuv"), 4, 2, 1, 1, 256));
    openWindow({"--gray", path("m_4x2.yuv")});
    QVERIFY(exportAction()->isEnabled());
    // Cancelled; a folder that doesn't exist; a folder where the picture should go.
    QVERIFY(QDir().mkpath(path("taken.png")));
    m_pDialogs->saveAnswers << QString() << path("missing/view.png") << path("taken.png");
    for (int k = 0; k < 3; ++k)
        exportAction()->trigger();
    QCOMPARE(m_pDialogs->log,
             (QStringList {"warning", "save", "save", "warning", "save", "warning"}));
    QVERIFY(m_pDialogs->warnings.value(1).text.startsWith(
            QStringLiteral("Unable to write the picture\nview.png: ")));
    QVERIFY(m_pDialogs->warnings.value(2).text.startsWith(
            QStringLiteral("Unable to write the picture\ntaken.png: ")));
    QVERIFY(QFileInfo(path("taken.png")).isDir());
    // Nothing half-written anywhere.
    QCOMPARE(QDir(m_pDir->path()).entryList(QDir::Files), QStringList {"m_4x2.yuv"});

    m_pWindow->onClearMainMovie();
    QVERIFY(!exportAction()->isEnabled());
}

void TestExport::windowReport_data()
{
    QTest::addColumn<QStringList>("references");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("cancelAt"); // -1: never
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("warning"); // its start; empty: none

    const QStringList ref1 {"--ref1", "r.gray"};
    QTest::newRow("written: the summary of --report")
            << ref1 << "report" << -1 << QStringList {"directory"} << QString();
    QTest::newRow("cancelled during the comparison: nothing written, nothing said")
            << ref1 << "report" << 2 << QStringList {"directory"} << QString();
    QTest::newRow("folder under a file: a warning naming it")
            << ref1 << "m.gray/report" << -1 << QStringList {"directory", "warning"}
            << "Unable to write the report\n";
    QTest::newRow("no reference: said before any dialog")
            << QStringList() << "report" << -1 << QStringList {"warning"}
            << "Load a main movie and a reference movie to write a report";
}

void TestExport::windowReport()
{
    QFETCH(QStringList, references);
    QFETCH(QString, folder);
    QFETCH(int, cancelAt);
    QFETCH(QStringList, log);
    QFETCH(QString, warning);

    QVERIFY(writeRaw(path("m.gray"), 8, 8, 4, 1, 256));
    QVERIFY(writeRaw(path("r.gray"), 8, 8, 4, 3, 256));
    QStringList files {"--size", "8x8", "--gray", path("m.gray")};
    for (const QString &argument : references)
        files.append(argument.startsWith("--") ? argument : path(argument));
    openWindow(files);
    m_pDialogs->directoryAnswers << path(folder);
    m_pDialogs->cancelProgressAt = cancelAt;
    for (QAction *pAction : m_pWindow->menuBar()->actions().value(0)->menu()->actions()) {
        if (pAction->text() == QString::fromUtf8("Write report\u2026"))
            pAction->trigger();
    }
    m_pDialogs->directoryAnswers.clear();
    QCOMPARE(m_pDialogs->log, log);
    QVERIFY(m_pDialogs->warnings.value(0).text.startsWith(warning));
    if (!warning.isEmpty() && log.contains("directory"))
        QVERIFY(m_pDialogs->warnings.value(0).text.contains(path(folder)));
    const QString page = path(folder + "/index.html");
    QCOMPARE(QFileInfo::exists(page), warning.isEmpty() && cancelAt < 0);
    if (!QFileInfo::exists(page))
        return;
    // The same summary and worst frames as rawcompare --report writes for the files.
    QCOMPARE(runProgram(QStringList {"--report", path("cli")} + files, m_pDir->path()).status, 0);
    auto section = [](const QString &fileName) {
        QFile file(fileName);
        const QString text
                = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
        return text.section("<h2>Summary</h2>", 1).section("<h2>Per frame</h2>", 0, 0);
    };
    QVERIFY(!section(page).isEmpty());
    QCOMPARE(section(page), section(path("cli/index.html")));
    const QStringList pictures = QDir(path(folder)).entryList({"*.png"});
    QCOMPARE(pictures, QDir(path("cli")).entryList({"*.png"}));
    QCOMPARE(pictures.size(), 4 * 3);
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
