#include <QProcess>
#include <QTest>

#include "commandline.h"

using Action = CommandLine::Action;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void filesAndOptions_data();
    void filesAndOptions();
    void formatAndPlane_data();
    void formatAndPlane();
    void errorsExitWithStatus2_data();
    void errorsExitWithStatus2();
    void metricsOptions_data();
    void metricsOptions();
    void colourOptions_data();
    void colourOptions();
    void referenceOffsets_data();
    void referenceOffsets();
    void helpAndVersion_data();
    void helpAndVersion();
    void programPrintsAndExits_data();
    void programPrintsAndExits();
};

void TestCommandLine::filesAndOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QSize>("size"); // invalid: no --size
    QTest::addColumn<bool>("gray");
    QTest::addColumn<QStringList>("main");
    QTest::addColumn<QStringList>("ref1");
    QTest::addColumn<QStringList>("ref2");

    QTest::newRow("no arguments: nothing to load")
            << QStringList {} << QSize() << false << QStringList {} << QStringList {}
            << QStringList {};
    QTest::newRow("one main file") << QStringList {"a.yuv"} << QSize() << false
                                   << QStringList {"a.yuv"} << QStringList {} << QStringList {};
    QTest::newRow("several main files stay in order")
            << QStringList {"c.yuv", "a.png", "b.raw"} << QSize() << false
            << QStringList {"c.yuv", "a.png", "b.raw"} << QStringList {} << QStringList {};
    QTest::newRow("size and gray")
            << QStringList {"--size", "176x144", "--gray", "a.raw"} << QSize(176, 144) << true
            << QStringList {"a.raw"} << QStringList {} << QStringList {};
    QTest::newRow("size with = and capital X")
            << QStringList {"--size=1920X1080", "a.yuv"} << QSize(1920, 1080) << false
            << QStringList {"a.yuv"} << QStringList {} << QStringList {};
    QTest::newRow("odd size is passed on for the reader to judge")
            << QStringList {"--size", "351x288"} << QSize(351, 288) << false << QStringList {}
            << QStringList {} << QStringList {};
    QTest::newRow("gray alone") << QStringList {"--gray", "a.raw"} << QSize() << true
                                << QStringList {"a.raw"} << QStringList {} << QStringList {};
    QTest::newRow("references repeated, stacked in order, options between files")
            << QStringList {"m1.yuv", "--ref1", "r1a.yuv", "--ref2",
                            "r2.png", "m2.yuv", "--ref1",  "r1b.yuv"}
            << QSize() << false << QStringList {"m1.yuv", "m2.yuv"}
            << QStringList {"r1a.yuv", "r1b.yuv"} << QStringList {"r2.png"};
    QTest::newRow("references without a main movie")
            << QStringList {"--ref2", "b.yuv"} << QSize() << false << QStringList {}
            << QStringList {} << QStringList {"b.yuv"};
    QTest::newRow("after -- a name may start with a dash")
            << QStringList {"--", "-odd name.yuv"} << QSize() << false
            << QStringList {"-odd name.yuv"} << QStringList {} << QStringList {};
    QTest::newRow("non-ASCII names")
            << QStringList {"Übung.yuv", "--ref1", "référence.png"} << QSize() << false
            << QStringList {"Übung.yuv"} << QStringList {"référence.png"} << QStringList {};
}

void TestCommandLine::filesAndOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QSize, size);
    QFETCH(bool, gray);
    QFETCH(QStringList, main);
    QFETCH(QStringList, ref1);
    QFETCH(QStringList, ref2);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), Action::Run);
    QCOMPARE(commandLine.hasSize(), size.isValid());
    if (size.isValid()) {
        QCOMPARE(commandLine.getFrameWidth(), size.width());
        QCOMPARE(commandLine.getFrameHeight(), size.height());
    }
    QCOMPARE(commandLine.getPixelFormat() == "gray", gray);
    QCOMPARE(commandLine.getMainFiles(), main);
    QCOMPARE(commandLine.getReference1Files(), ref1);
    QCOMPARE(commandLine.getReference2Files(), ref2);
}

void TestCommandLine::formatAndPlane_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("result"); // "format plane" or the error's first line

    QTest::newRow("nothing given: empty format, plane y") << QStringList {"a.yuv"} << " y";
    QTest::newRow("--pix-fmt and --plane")
            << QStringList {"--pix-fmt", "yuv422p10le", "--plane=u", "a.yuv"} << "yuv422p10le u";
    QTest::newRow("--plane in capitals") << QStringList {"--plane", "V"} << " v";
    QTest::newRow("--gray is --pix-fmt gray") << QStringList {"--gray"} << "gray y";
    QTest::newRow("--gray with --pix-fmt gray")
            << QStringList {"--gray", "--pix-fmt=gray"} << "gray y";
    QTest::newRow("--gray against another format")
            << QStringList {"--gray", "--pix-fmt", "nv12"}
            << "rawcompare: --gray and --pix-fmt nv12 disagree.";
    QTest::newRow("unknown format") << QStringList {"--pix-fmt", "rgb24"}
                                    << "rawcompare: Unknown pixel format 'rgb24': expected one of "
                                       "gray, gray10le, gray12le, gray16le, yuv420p, yuv422p, "
                                       "yuv444p, nv12, nv21, yuv420p10le, yuv422p10le, "
                                       "yuv444p10le, yuv420p12le, yuv420p16le, yuv422p12le, "
                                       "yuv422p16le, yuv444p12le, yuv444p16le.";
    QTest::newRow("format twice") << QStringList {"--pix-fmt", "nv12", "--pix-fmt", "nv12"}
                                  << "rawcompare: --pix-fmt given more than once.";
    QTest::newRow("plane w") << QStringList {"--plane", "w"}
                             << "rawcompare: Invalid plane 'w': expected y, u or v, once.";
}

void TestCommandLine::formatAndPlane()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    CommandLine commandLine;
    if (commandLine.parse(QStringList {"rawcompare"} + arguments) == Action::Run) {
        QCOMPARE(commandLine.getPixelFormat() + " " + QString("yuv").at(commandLine.getPlane()),
                 result);
        QCOMPARE(commandLine.hasPlane(), arguments.join(' ').contains("--plane"));
    } else {
        QCOMPARE(commandLine.getExitStatus(), 2);
        QCOMPARE(commandLine.getText().section('\n', 0, 0), result);
    }
}

void TestCommandLine::errorsExitWithStatus2_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown option") << QStringList {"--zoom", "a.yuv"} << "Unknown option 'zoom'.";
    QTest::newRow("size without value")
            << QStringList {"a.yuv", "--size"} << "Missing value after '--size'.";
    QTest::newRow("ref1 without file") << QStringList {"--ref1"} << "Missing value after '--ref1'.";
    const QString invalid = QStringLiteral("Invalid frame size '%1': expected WxH with whole "
                                           "numbers from 1 to 65536, for example 352x288.");
    QTest::newRow("size without height") << QStringList {"--size", "352x"} << invalid.arg("352x");
    QTest::newRow("size without x") << QStringList {"--size", "352"} << invalid.arg("352");
    QTest::newRow("size zero") << QStringList {"--size", "0x288"} << invalid.arg("0x288");
    QTest::newRow("size negative") << QStringList {"--size=-352x288"} << invalid.arg("-352x288");
    QTest::newRow("size too large") << QStringList {"--size", "70000x2"} << invalid.arg("70000x2");
    QTest::newRow("size that overflows an int")
            << QStringList {"--size", "99999999999x2"} << invalid.arg("99999999999x2");
    QTest::newRow("size with three numbers")
            << QStringList {"--size", "352x288x3"} << invalid.arg("352x288x3");
    QTest::newRow("size with blanks")
            << QStringList {"--size", " 352x288"} << invalid.arg(" 352x288");
    QTest::newRow("size twice") << QStringList {"--size", "2x2", "--size", "4x4"}
                                << "--size given more than once.";
    QTest::newRow("empty file name") << QStringList {"--ref1", ""} << "Empty file name.";
    const QString oneEach = QStringLiteral("--metrics compares one MAIN file with --ref1 REF "
                                           "and/or --ref2 REF, one file each.");
    QTest::newRow("metrics without a reference") << QStringList {"--metrics", "a.yuv"} << oneEach;
    QTest::newRow("metrics with two main files")
            << QStringList {"--metrics", "a.yuv", "b.yuv", "--ref1", "c.yuv"} << oneEach;
    QTest::newRow("metrics with two references 1")
            << QStringList {"--metrics", "a.yuv", "--ref1", "b.yuv", "--ref1", "c.yuv"} << oneEach;
    QTest::newRow("csv without metrics")
            << QStringList {"--csv", "a.yuv"} << "--csv needs --metrics.";
    QTest::newRow("csv and json") << QStringList {"--metrics", "--csv",  "--json",
                                                  "a",         "--ref1", "b"}
                                  << "--csv and --json exclude each other.";
    const QString range = QStringLiteral("Invalid frame range '%1': expected FIRST or FIRST:COUNT, "
                                         "frames counted from 0 and COUNT at least 1, for example "
                                         "10:50.");
    QTest::newRow("frames: count 0") << QStringList {"--frames", "3:0"} << range.arg("3:0");
    QTest::newRow("frames: negative") << QStringList {"--frames=-1"} << range.arg("-1");
    QTest::newRow("frames: no count after colon")
            << QStringList {"--frames", "3:"} << range.arg("3:");
    QTest::newRow("frames twice") << QStringList {"--frames", "1", "--frames", "2"}
                                  << "--frames given more than once.";
    const QString cache = QStringLiteral("Invalid frame cache size '%1': expected a whole number "
                                         "of MiB from 16 to 1048576, once.");
    QTest::newRow("frame cache below 16 MiB")
            << QStringList {"--frame-cache", "15"} << cache.arg("15");
    QTest::newRow("frame cache with a unit")
            << QStringList {"--frame-cache", "2G"} << cache.arg("2G");
    QTest::newRow("frame cache twice")
            << QStringList {"--frame-cache", "64", "--frame-cache", "64"} << cache.arg("64 64");
    const QString offset = QStringLiteral("Invalid offset '%1' for --%2: expected a whole number "
                                          "of frames from -9999999 to 9999999, for example 5 or "
                                          "-2.");
    QTest::newRow("offset not a number")
            << QStringList {"--ref1-offset", "two"} << offset.arg("two", "ref1-offset");
    QTest::newRow("offset too large")
            << QStringList {"--ref2-offset=12345678"} << offset.arg("12345678", "ref2-offset");
    QTest::newRow("offset twice") << QStringList {"--ref2-offset", "1", "--ref2-offset", "1"}
                                  << "--ref2-offset given more than once.";
    QTest::newRow("reference size without height")
            << QStringList {"a", "--ref1", "b", "--ref1-size", "12x"}
            << "Invalid value '12x' for --ref1-size: expected WxH with whole numbers from 1 to "
               "65536, for example 352x288.";
    QTest::newRow("reference plane w") << QStringList {"a", "--ref1", "b", "--ref1-plane", "w"}
                                       << "Invalid value 'w' for --ref1-plane: expected y, u or v.";
    const QString region = QStringLiteral("Invalid region '%1': expected X,Y,W,H, the left and "
                                          "top from 0, the width and height from 1.");
    QTest::newRow("region of width 0")
            << QStringList {"--region", "0,0,0,4"} << region.arg("0,0,0,4");
    QTest::newRow("region of three numbers")
            << QStringList {"--region", "1,2,3"} << region.arg("1,2,3");
    QTest::newRow("region with --block-errors")
            << QStringList {"--block-errors", "8", "--region", "0,0,8,8", "a", "--ref1", "b"}
            << "--region works with --metrics and in the window.";
    QTest::newRow("reference 2 options without --ref2")
            << QStringList {"a", "--ref1", "b", "--ref2-pix-fmt", "gray"}
            << "--ref2-pix-fmt needs --ref2 FILE.";
}

void TestCommandLine::colourOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>(
            "result"); // "display plane matrix range chroma transfer", or the error

    QTest::newRow("colour choices, a display range beside the sample range")
            << QStringList {"--export-png", "d",   "--view",  "main", "--display",      "colour",
                            "--matrix",     "709", "--range", "full", "--range=-20:20", "a"}
            << "3 y 709 full nearest sdr -20:20";
    QTest::newRow("--display u is --plane u")
            << QStringList {"--display", "u", "--chroma", "bilinear", "a"}
            << "1 u auto auto bilinear sdr";
    QTest::newRow("a sample range needs no export")
            << QStringList {"--range", "limited", "--transfer", "pq", "a"}
            << "-1 y auto limited nearest pq";
    QTest::newRow("--display against --plane")
            << QStringList {"--display", "y", "--plane", "v", "a"}
            << "rawcompare: --display y and --plane disagree.";
    QTest::newRow("unknown matrix") << QStringList {"--matrix", "2100", "a"}
                                    << "rawcompare: Invalid matrix '2100': expected auto, 601, "
                                       "709 or 2020.";
}

void TestCommandLine::colourOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    CommandLine commandLine;
    if (commandLine.parse(QStringList {"rawcompare"} + arguments) == Action::Fail) {
        QCOMPARE(commandLine.getText().section('\n', 0, 0), result);
        return;
    }
    const ColourOptions options = commandLine.applyColourOptions(ColourOptions());
    QString text
            = QStringLiteral("%1 %2 %3 %4 %5 %6")
                      .arg(commandLine.getDisplay())
                      .arg(QString("yuv").at(commandLine.getPlane()))
                      .arg(ColourOptions::name(options.matrix), ColourOptions::name(options.range),
                           ColourOptions::name(options.chroma),
                           ColourOptions::name(options.transfer));
    if (commandLine.hasRange())
        text += QStringLiteral(" %1:%2")
                        .arg(commandLine.getRangeMin())
                        .arg(commandLine.getRangeMax());
    QCOMPARE(text, result);
}

void TestCommandLine::referenceOffsets_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("offset1");
    QTest::addColumn<int>("offset2");

    QTest::newRow("negative as the next argument")
            << QStringList {"a.yuv", "--ref2-offset", "-2", "--ref2", "b.yuv"} << Action::Run << 0
            << -2;
    QTest::newRow("both with =, metrics") << QStringList {
            "--metrics", "--ref1-offset=+4", "--ref2-offset=-9999999", "a", "--ref1", "b", "--ref2",
            "c"} << Action::Metrics << 4 << -9999999;
}

void TestCommandLine::referenceOffsets()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(int, offset1);
    QFETCH(int, offset2);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), action);
    QCOMPARE(commandLine.getReferenceOffset(1), offset1);
    QCOMPARE(commandLine.getReferenceOffset(2), offset2);
    QCOMPARE(commandLine.getMainFiles().size(), 1);
}

void TestCommandLine::metricsOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("pixelFormat");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");

    QTest::newRow("plain: CSV, whole files")
            << QStringList {"--metrics", "a.yuv", "--ref1", "b.yuv"} << false << "" << 0 << -1;
    QTest::newRow("json, reference 2 only")
            << QStringList {"--metrics", "--json", "a.yuv", "--ref2", "b.yuv"} << true << "" << 0
            << -1;
    QTest::newRow("gray is the gray format")
            << QStringList {"--metrics", "--csv", "--gray", "a", "--ref1", "b"} << false << "gray"
            << 0 << -1;
    QTest::newRow("pixel format and a range") << QStringList {"--metrics", "--pix-fmt=yuv420p10le",
                                                              "--frames",  "10:50",
                                                              "a",         "--ref1",
                                                              "b"}
                                              << false << "yuv420p10le" << 10 << 50;
    QTest::newRow("first frame only") << QStringList {"--metrics", "--frames=7", "a", "--ref1", "b"}
                                      << false << "" << 7 << -1;
}

void TestCommandLine::metricsOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, json);
    QFETCH(QString, pixelFormat);
    QFETCH(int, first);
    QFETCH(int, count);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), Action::Metrics);
    QCOMPARE(commandLine.getExitStatus(), 0);
    QCOMPARE(commandLine.isJson(), json);
    QCOMPARE(commandLine.getPixelFormat(), pixelFormat);
    QCOMPARE(commandLine.getFirstFrame(), first);
    QCOMPARE(commandLine.getFrameCount(), count);
    QCOMPARE(commandLine.getMainFiles().size(), 1);
}

void TestCommandLine::errorsExitWithStatus2()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), Action::Fail);
    QCOMPARE(commandLine.getExitStatus(), 2);
    QCOMPARE(commandLine.getText(),
             QStringLiteral("rawcompare: ") + error + QLatin1Char('\n') + CommandLine::usage());
    QVERIFY(commandLine.getMainFiles().isEmpty());
    QVERIFY(!commandLine.hasSize());
}

void TestCommandLine::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("firstLine");

    const QString usage = CommandLine::usage().section(QLatin1Char('\n'), 0, 0);
    QTest::newRow("--help") << QStringList {"--help"} << Action::ShowHelp << usage;
    QTest::newRow("-h among files") << QStringList {"a.yuv", "-h"} << Action::ShowHelp << usage;
    QTest::newRow("help wins over a bad size")
            << QStringList {"--size", "x", "--help"} << Action::ShowHelp << usage;
    QTest::newRow("--version") << QStringList {"--version"} << Action::ShowVersion
                               << "rawcompare " RAWCOMPARE_VERSION;
    QTest::newRow("-v") << QStringList {"-v"} << Action::ShowVersion
                        << "rawcompare " RAWCOMPARE_VERSION;
}

void TestCommandLine::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, firstLine);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList {"rawcompare"} + arguments), action);
    QCOMPARE(commandLine.getExitStatus(), 0);
    QCOMPARE(commandLine.getText().section(QLatin1Char('\n'), 0, 0), firstLine);
    QVERIFY(commandLine.getText().endsWith(QLatin1Char('\n')));
    if (action == Action::ShowHelp) {
        for (const char *option :
             {"--size WxH", "--gray", "--ref1 FILE", "--ref2 FILE", "--help", "--version"})
            QVERIFY2(commandLine.getText().contains(QLatin1String(option)), option);
    }
}

void TestCommandLine::programPrintsAndExits_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("--version on stdout")
            << QStringList {"--version"} << 0 << "rawcompare " RAWCOMPARE_VERSION "\n"
            << "";
    QTest::newRow("--help on stdout") << QStringList {"--help"} << 0 << CommandLine::usage() << "";
    QTest::newRow("unknown option: status 2, error and usage on stderr")
            << QStringList {"--zoom"} << 2 << ""
            << "rawcompare: Unknown option 'zoom'.\n" + CommandLine::usage();
    QTest::newRow("malformed size: status 2")
            << QStringList {"--size", "352by288", "a.yuv"} << 2 << ""
            << "rawcompare: Invalid frame size '352by288': expected WxH with whole numbers from 1 "
               "to 65536, for example 352x288.\n"
                    + CommandLine::usage();
}

void TestCommandLine::programPrintsAndExits()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    // No display at all: these answers must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(RAWCOMPARE_PATH), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString standardOutput = QString::fromLocal8Bit(program.readAllStandardOutput());
    if (arguments.first() == QLatin1String("--help"))
        QVERIFY(standardOutput.startsWith(out));
    else
        QCOMPARE(standardOutput, out);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), err);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
