#include "commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include "pixelformat.h"
#include "referencefilearguments.h"
#include "viewtype.h"

QString CommandLine::usage()
{
    return QStringLiteral(
            "Usage: rawcompare [--size WxH] [--pix-fmt NAME | --gray] [--plane y|u|v] "
            "[--frames FIRST[:COUNT]]\n"
            "                  [--display y|u|v|colour] [--matrix M] [--range R] [--chroma C]\n"
            "                  [--transfer T]\n"
            "                  [MAIN_FILE...] [--ref1 FILE]... [--ref2 FILE]...\n"
            "                  [--ref1-offset N] [--ref2-offset N]\n"
            "                  [--ref1-size WxH] [--ref1-pix-fmt NAME] [--ref1-plane y|u|v]\n"
            "                  [--ref1-frames FIRST[:COUNT]] [--ref2-size WxH] ...\n"
            "       rawcompare --metrics [--csv | --json] [--size WxH] [--pix-fmt NAME | --gray]\n"
            "                  [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]\n"
            "                  [--fail-below NAME=V,...] [--fail-above NAME=V,...] "
            "[--max-abs-diff N]\n"
            "                  [--ref1-size WxH] ... [--ref2-frames FIRST[:COUNT]]\n"
            "                  MAIN --ref1 REF [--ref2 REF]\n"
            "       rawcompare --block-errors 4|8|16|32|64 [the options and files of --metrics]\n"
            "       rawcompare --find-offset[=MAX] [--size WxH] [--pix-fmt NAME | --gray]\n"
            "                  [--frames FIRST[:COUNT]] MAIN --ref1 REF [--ref2 REF]\n"
            "       rawcompare --export-png DIR --view main|ref1|ref2|diff1|diff2 "
            "[--range=MIN:MAX]\n"
            "                  [--size WxH] [--pix-fmt NAME | --gray] [--plane y|u|v]\n"
            "                  [--display y|u|v|colour] [--matrix M] [--range R] [--chroma C]\n"
            "                  [--transfer T]\n"
            "                  [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]\n"
            "                  MAIN [--ref1 REF] [--ref2 REF]\n"
            "       rawcompare --report DIR [--worst K] [--size WxH] [--pix-fmt NAME | --gray]\n"
            "                  [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]\n"
            "                  MAIN --ref1 REF [--ref2 REF]\n");
}

QString CommandLine::versionText() { return QStringLiteral("rawcompare " RAWCOMPARE_VERSION "\n"); }

CommandLine::Action CommandLine::parse(const QStringList &arguments)
{
    *this = CommandLine();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {"h", "help"});
    const QCommandLineOption version(QStringList {"v", "version"});
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption gray(QStringLiteral("gray"));
    const QCommandLineOption pixelFormat(QStringLiteral("pix-fmt"), QString(),
                                         QStringLiteral("NAME"));
    const QCommandLineOption plane(QStringLiteral("plane"), QString(), QStringLiteral("PLANE"));
    const QCommandLineOption ref1(QStringLiteral("ref1"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption ref2(QStringLiteral("ref2"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption metrics(QStringLiteral("metrics"));
    const QCommandLineOption csv(QStringLiteral("csv"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption frames(QStringLiteral("frames"), QString(),
                                    QStringLiteral("FIRST[:COUNT]"));
    const QCommandLineOption frameCache(QStringLiteral("frame-cache"), QString(),
                                        QStringLiteral("MIB"));
    const QCommandLineOption ref1Offset(QStringLiteral("ref1-offset"), QString(),
                                        QStringLiteral("N"));
    const QCommandLineOption ref2Offset(QStringLiteral("ref2-offset"), QString(),
                                        QStringLiteral("N"));
    const QCommandLineOption exportPng(QStringLiteral("export-png"), QString(),
                                       QStringLiteral("DIR"));
    const QCommandLineOption view(QStringLiteral("view"), QString(), QStringLiteral("VIEW"));
    const QCommandLineOption range(QStringLiteral("range"), QString(), QStringLiteral("MIN:MAX"));
    parser.addOptions({help, version, size, gray, pixelFormat, plane, ref1, ref2, metrics, csv,
                       json, frames, frameCache, ref1Offset, ref2Offset, exportPng, view, range});
    ColourArguments::addOptions(parser);
    ViewArguments::addOptions(parser);
    GateArguments::addOptions(parser);
    ReferenceFileArguments::addOptions(parser);
    FindOffsetArguments::addOptions(parser);
    ReportArguments::addOptions(parser);
    parser.addOption(
            QCommandLineOption(QStringLiteral("block-errors"), QString(), QStringLiteral("N")));

    QStringList withProgram = FindOffsetArguments::withDefaultRange(arguments);
    if (withProgram.isEmpty())
        withProgram.append(QStringLiteral("rawcompare"));
    if (!parser.parse(withProgram)) {
        fail(parser.errorText());
        return m_action;
    }
    if (parser.isSet(help)) {
        m_action = Action::ShowHelp;
        // The format names wrapped to the help's width.
        QString names;
        int column = 18;
        for (const QString &name : PixelFormat::names()) {
            if (column + name.size() + 2 > 80) {
                names += QStringLiteral("\n                  ");
                column = 18;
            }
            names += name + QStringLiteral(", ");
            column += int(name.size()) + 2;
        }
        names.chop(2);
        m_text = usage()
                + QStringLiteral(
                         "\n"
                         "Compare a main movie with up to two reference movies.\n"
                         "\n"
                         "Files are tried as still images first and read as raw movies otherwise:\n"
                         "y4m files, or headerless files of the pixel format given. Several files\n"
                         "for one movie are stacked in the order given.\n"
                         "\n"
                         "  --size WxH      frame width and height of the raw files given; no\n"
                         "                  dimensions dialog is asked, and later loads start "
                         "from\n"
                         "                  these values. Without it, a raw file whose name gives\n"
                         "                  its size (clip_1920x1080_10bit.yuv, foreman_cif.yuv)\n"
                         "                  is read with that size and format, noted on stderr\n"
                         "  --pix-fmt NAME  pixel format of the raw files (default yuv420p):\n"
                         "                  ")
                + names
                + QStringLiteral(
                         "\n"
                         "                  a y4m file's own header always wins\n"
                         "  --gray          the same as --pix-fmt gray\n"
                         "  --plane y|u|v   the plane to view (default y); chroma planes load at\n"
                         "                  their own size\n"
                         "  --ref1 FILE     load FILE into reference movie 1 (repeat to stack)\n"
                         "  --ref2 FILE     load FILE into reference movie 2 (repeat to stack)\n"
                         "  --frame-cache MIB\n"
                         "                  memory for the frames read from raw and y4m files, "
                         "in MiB,\n"
                         "                  shared by the movies (default a quarter of the "
                         "memory,\n"
                         "                  at most 4096; also View > Frame cache size)\n"
                         "  --ref1-offset N, --ref2-offset N\n"
                         "                  the reference starts at main frame N: its frame f - N\n"
                         "                  is compared with main frame f (N may be negative;\n"
                         "                  frames without a partner are not compared)\n")
                + ReferenceFileArguments::helpText()
                + QStringLiteral(
                         "\n"
                         "  --metrics       no window: print MSE, PSNR and SSIM of MAIN against "
                         "each\n"
                         "                  reference, one line per frame and reference\n"
                         "  --csv           CSV on stdout, summary on stderr (the default)\n"
                         "  --json          one JSON object with the frames and the summary\n"
                         "  --block-errors N\n"
                         "                  as --metrics: MSE, PSNR, max |difference| of\n"
                         "                  each N x N block (N 4, 8, 16, 32, 64), a line each\n"
                         "  --find-offset[=MAX]\n"
                         "                  with the files of --metrics: the offset in -MAX .. "
                         "MAX\n"
                         "                  (default 30) at which each reference best fits "
                         "MAIN\n")
                + ReportArguments::helpText()
                + QStringLiteral(
                         "  --frames FIRST[:COUNT]\n"
                         "                  take COUNT frames from frame FIRST (from 0) of "
                         "every raw\n"
                         "                  or y4m file; --metrics rows keep the files' frame "
                         "numbers\n"
                         "  --fail-below NAME=V[,NAME=V...], --fail-above NAME=V[,...]\n"
                         "                  --metrics exits with status 3 when a frame's NAME (a "
                         "CSV\n"
                         "                  column, mse_y to ssim_v) is below (above) V\n"
                         "  --max-abs-diff N\n"
                         "                  the same when a frame's largest |main - reference| "
                         "exceeds N\n"
                         "\n"
                         "  --export-png DIR\n"
                         "                  no window: write one view of every frame as\n"
                         "                  DIR/frame_0000.png, frame_0001.png, ... (numbered "
                         "from the\n"
                         "                  first frame written; DIR is created when missing), "
                         "exactly\n"
                         "                  as the window shows the view, top row first\n"
                         "  --view VIEW     the view to write: main, ref1, ref2, diff1 (main "
                         "minus\n"
                         "                  reference 1) or diff2\n"
                         "  --range=MIN:MAX\n"
                         "                  the values shown black and white (--range=-20:20);\n"
                         "                  without it the view's starting range in the window: "
                         "0:255\n"
                         "                  for a movie (2^depth-1 when deeper than 8 bits), "
                         "-128:128\n"
                         "                  for a difference (2^(depth-1) when deeper)\n"
                         "\n"
                         "  --display y|u|v|colour\n"
                         "                  what the movie views show: one plane in gray (y, u, "
                         "v:\n"
                         "                  as --plane) or colour (the differences stay of the "
                         "plane);\n"
                         "                  the window shows colour by default, --export-png y\n"
                         "  --matrix auto|601|709|2020\n"
                         "                  the colour matrix (auto: 709 above 1024x576, else "
                         "601)\n"
                         "  --range auto|limited|full\n"
                         "                  the sample range (auto: a y4m's XCOLORRANGE, else "
                         "limited)\n"
                         "  --chroma nearest|bilinear\n"
                         "                  chroma upsampling (bilinear: MPEG-2 siting; default "
                         "nearest)\n"
                         "  --transfer sdr|pq|hlg\n"
                         "                  SDR as is, or an HDR preview on a 100 cd/m2 display\n"
                         "  -h, --help      show this help and exit\n"
                         "  -v, --version   show the version and exit\n"
                         "\n"
                         "Exit status: 0 done, 1 a file can't be read or written, 2 bad "
                         "arguments,\n3 a frame broke a bound of --metrics.\n");
        return m_action;
    }
    if (parser.isSet(version)) {
        m_action = Action::ShowVersion;
        m_text = versionText();
        return m_action;
    }
    if (parser.isSet(size)) {
        const QStringList values = parser.values(size);
        if (values.size() > 1) {
            fail(QStringLiteral("--size given more than once."));
            return m_action;
        }
        if (!ReferenceFileArguments::parseSize(values.first(), m_frameWidth, m_frameHeight)) {
            fail(QStringLiteral("Invalid frame size '%1': expected WxH with whole numbers from "
                                "1 to %2, for example 352x288.")
                         .arg(values.first())
                         .arg(ReferenceFileArguments::maxFrameSide));
            return m_action;
        }
        m_hasSize = true;
    }
    if (parser.isSet(pixelFormat)) {
        const QStringList values = parser.values(pixelFormat);
        if (values.size() > 1) {
            fail(QStringLiteral("--pix-fmt given more than once."));
            return m_action;
        }
        if (!PixelFormat::byName(values.first())) {
            fail(QStringLiteral("Unknown pixel format '%1': expected one of %2.")
                         .arg(values.first(), PixelFormat::names().join(QStringLiteral(", "))));
            return m_action;
        }
        m_pixelFormat = values.first();
    }
    if (parser.isSet(gray)) {
        if (!m_pixelFormat.isEmpty() && m_pixelFormat != QLatin1String("gray")) {
            fail(QStringLiteral("--gray and --pix-fmt %1 disagree.").arg(m_pixelFormat));
            return m_action;
        }
        m_pixelFormat = QStringLiteral("gray");
    }
    if (parser.isSet(plane)) {
        const QStringList values = parser.values(plane);
        const int index = QStringList {"y", "u", "v"}.indexOf(values.last().toLower());
        if (values.size() > 1 || index < 0) {
            fail(QStringLiteral("Invalid plane '%1': expected y, u or v, once.")
                         .arg(values.join(QLatin1Char(' '))));
            return m_action;
        }
        m_hasPlane = true;
        m_plane = index;
    }
    if (parser.isSet(frameCache)) {
        const QStringList values = parser.values(frameCache);
        bool ok = false;
        const int mebibytes = values.first().toInt(&ok);
        if (values.size() > 1 || !ok || mebibytes < minFrameCacheMiB
            || mebibytes > maxFrameCacheMiB) {
            fail(QStringLiteral("Invalid frame cache size '%1': expected a whole number of MiB "
                                "from %2 to %3, once.")
                         .arg(values.join(QLatin1Char(' ')))
                         .arg(minFrameCacheMiB)
                         .arg(maxFrameCacheMiB));
            return m_action;
        }
        m_frameCacheMiB = mebibytes;
    }
    m_mainFiles = parser.positionalArguments();
    m_reference1Files = parser.values(ref1);
    m_reference2Files = parser.values(ref2);
    for (const QStringList *pList : {&m_mainFiles, &m_reference1Files, &m_reference2Files}) {
        if (pList->contains(QString())) {
            fail(QStringLiteral("Empty file name."));
            return m_action;
        }
    }
    if (!parseMetricsOptions(parser) || !parseReferenceOffsets(parser)
        || !parseColourOptions(parser) || !parseExportOptions(parser))
        return m_action;
    QString error;
    if (!m_report.parse(parser, m_mainFiles, m_reference1Files, m_reference2Files, error)) {
        fail(error);
        return m_action;
    }
    m_action = m_report.isSet()       ? Action::Report
            : m_findOffset.isSet()    ? Action::FindOffset
            : m_blockSize > 0         ? Action::BlockErrors
            : parser.isSet(metrics)   ? Action::Metrics
            : parser.isSet(exportPng) ? Action::ExportPng
                                      : Action::Run;
    if (!m_view.getRegion().isEmpty() && m_action != Action::Metrics && m_action != Action::Run)
        fail(QStringLiteral("--region works with --metrics and in the window."));
    return m_action;
}

bool CommandLine::parseMetricsOptions(const QCommandLineParser &parser)
{
    // --block-errors takes the files and options of --metrics.
    const bool blocks = parser.isSet(QStringLiteral("block-errors"));
    const bool findOffset = parser.isSet(QStringLiteral("find-offset"));
    const bool metrics = blocks || findOffset || parser.isSet(QStringLiteral("metrics"));
    const QString mode = findOffset ? QStringLiteral("--find-offset")
            : blocks                ? QStringLiteral("--block-errors")
                                    : QStringLiteral("--metrics");
    QString error;
    if (!m_findOffset.parse(parser, error)) {
        fail(error);
        return false;
    }
    if (blocks && parser.isSet(QStringLiteral("metrics"))) {
        fail(QStringLiteral("--metrics and --block-errors exclude each other."));
        return false;
    }
    if (blocks) {
        const QStringList values = parser.values(QStringLiteral("block-errors"));
        m_blockSize = values.first().toInt();
        if (values.size() > 1
            || !QStringList {"4", "8", "16", "32", "64"}.contains(values.first())) {
            fail(QStringLiteral("Invalid block size '%1': expected 4, 8, 16, 32 or 64, once.")
                         .arg(values.join(QLatin1Char(' '))));
            return false;
        }
    }
    if (parser.values(QStringLiteral("frames")).size() > 1) {
        fail(QStringLiteral("--frames given more than once."));
        return false;
    }
    if (parser.isSet(QStringLiteral("csv")) && parser.isSet(QStringLiteral("json"))) {
        fail(QStringLiteral("--csv and --json exclude each other."));
        return false;
    }
    for (const char *name : {"csv", "json"}) {
        if ((!metrics || findOffset) && parser.isSet(QString::fromLatin1(name))) {
            fail(QStringLiteral("--%1 needs --metrics.").arg(QLatin1String(name)));
            return false;
        }
    }
    m_isJson = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("frames"))) {
        const QString text = parser.value(QStringLiteral("frames"));
        if (!ReferenceFileArguments::parseFrames(text, m_firstFrame, m_frameCount)) {
            fail(QStringLiteral("Invalid frame range '%1': expected FIRST or FIRST:COUNT, "
                                "frames counted from 0 and COUNT at least 1, for example 10:50.")
                         .arg(text));
            return false;
        }
    }
    if (metrics
        && (m_mainFiles.size() != 1 || m_reference1Files.size() > 1 || m_reference2Files.size() > 1
            || (m_reference1Files.isEmpty() && m_reference2Files.isEmpty()))) {
        fail(QStringLiteral("%1 compares one MAIN file with --ref1 REF and/or "
                            "--ref2 REF, one file each.")
                     .arg(mode));
        return false;
    }
    return true;
}

bool CommandLine::parseReferenceOffsets(const QCommandLineParser &parser)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]{1,7}$"));
    for (int ref = 1; ref <= 2; ++ref) {
        const QString name = QStringLiteral("ref%1-offset").arg(ref);
        const QStringList values = parser.values(name);
        if (values.isEmpty())
            continue;
        if (values.size() > 1) {
            fail(QStringLiteral("--%1 given more than once.").arg(name));
            return false;
        }
        if (!pattern.match(values.first()).hasMatch()) {
            fail(QStringLiteral("Invalid offset '%1' for --%2: expected a whole number of frames "
                                "from -%3 to %3, for example 5 or -2.")
                         .arg(values.first(), name)
                         .arg(maxReferenceOffset));
            return false;
        }
        (ref == 1 ? m_ref1Offset : m_ref2Offset) = values.first().toInt();
    }
    const bool hasFiles[2] = {!m_reference1Files.isEmpty(), !m_reference2Files.isEmpty()};
    QString error;
    if (!m_referenceFiles.parse(parser, hasFiles, error)) {
        fail(error);
        return false;
    }
    return true;
}

bool CommandLine::parseExportOptions(const QCommandLineParser &parser)
{
    const bool exporting = parser.isSet(QStringLiteral("export-png"));
    const QStringList ranges = ColourArguments::displayRanges(parser);
    for (const char *name : {"export-png", "view", "range"}) {
        const qsizetype given = name == QLatin1String("range")
                ? ranges.size()
                : parser.values(QString::fromLatin1(name)).size();
        if (given > 1) {
            fail(QStringLiteral("--%1 given more than once.").arg(QLatin1String(name)));
            return false;
        }
        if (!exporting && given > 0) {
            fail(QStringLiteral("--%1 needs --export-png.").arg(QLatin1String(name)));
            return false;
        }
    }
    if (!exporting)
        return true;
    if (parser.isSet(QStringLiteral("metrics")) || m_blockSize > 0) {
        fail(QStringLiteral("%1 and --export-png exclude each other.")
                     .arg(m_blockSize > 0 ? "--block-errors" : "--metrics"));
        return false;
    }
    m_exportDirectory = parser.value(QStringLiteral("export-png"));
    if (m_exportDirectory.isEmpty()) {
        fail(QStringLiteral("Empty folder name."));
        return false;
    }
    const QStringList views {"main", "ref1", "ref2", "diff1", "diff2"};
    const QString viewName = parser.value(QStringLiteral("view"));
    m_viewType = int(views.indexOf(viewName));
    if (m_viewType < 0) {
        fail(viewName.isEmpty() && !parser.isSet(QStringLiteral("view"))
                     ? QStringLiteral("--export-png needs --view main, ref1, ref2, diff1 or diff2.")
                     : QStringLiteral("Invalid view '%1': expected main, ref1, ref2, diff1 or "
                                      "diff2.")
                               .arg(viewName));
        return false;
    }
    if (!ranges.isEmpty()) {
        // Decimal numbers, either of them negative; min may equal or exceed max, as in the
        // window's range fields.
        static const QRegularExpression pattern(
                QStringLiteral("^(-?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)):"
                               "(-?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+))$"));
        const QString text = ranges.first();
        const QRegularExpressionMatch match = pattern.match(text);
        bool minOk = false;
        bool maxOk = false;
        if (match.hasMatch()) {
            m_rangeMin = match.captured(1).toFloat(&minOk);
            m_rangeMax = match.captured(2).toFloat(&maxOk);
        }
        if (!minOk || !maxOk) {
            fail(QStringLiteral("Invalid range '%1': expected MIN:MAX, two decimal numbers, for "
                                "example --range=-128:128.")
                         .arg(text));
            return false;
        }
        m_hasRange = true;
    }
    if (m_mainFiles.size() != 1 || m_reference1Files.size() > 1 || m_reference2Files.size() > 1) {
        fail(QStringLiteral("--export-png takes one MAIN file, and --ref1 REF and --ref2 REF "
                            "once each at most."));
        return false;
    }
    const bool needs1 = m_viewType == ViewType::Ref1 || m_viewType == ViewType::Diff1;
    const bool needs2 = m_viewType == ViewType::Ref2 || m_viewType == ViewType::Diff2;
    if ((needs1 && m_reference1Files.isEmpty()) || (needs2 && m_reference2Files.isEmpty())) {
        fail(QStringLiteral("--view %1 needs --ref%2 REF.").arg(viewName).arg(needs1 ? 1 : 2));
        return false;
    }
    return true;
}

bool CommandLine::parseColourOptions(const QCommandLineParser &parser)
{
    QString error;
    if (!m_colour.parse(parser, error) || !m_view.parse(parser, error)
        || !m_gate.parse(parser, parser.isSet(QStringLiteral("metrics")), error)) {
        fail(error);
        return false;
    }
    const int display = m_colour.getDisplay();
    if (display >= 0 && display < 3) {
        if (m_hasPlane && m_plane != display) {
            fail(QStringLiteral("--display %1 and --plane disagree.")
                         .arg(m_colour.getDisplayText()));
            return false;
        }
        m_hasPlane = true;
        m_plane = display;
    }
    return true;
}

void CommandLine::fail(const QString &error)
{
    m_action = Action::Fail;
    m_text = QStringLiteral("rawcompare: ") + error + QLatin1Char('\n') + usage();
    m_hasSize = false;
    m_frameWidth = m_frameHeight = 0;
    m_pixelFormat.clear();
    m_hasPlane = false;
    m_plane = 0;
    m_firstFrame = 0;
    m_frameCount = -1;
    m_isJson = false;
    m_blockSize = 0;
    m_frameCacheMiB = -1;
    m_ref1Offset = m_ref2Offset = 0;
    m_exportDirectory.clear();
    m_viewType = 0;
    m_hasRange = false;
    m_rangeMin = m_rangeMax = 0.0f;
    m_colour = ColourArguments();
    m_view = ViewArguments();
    m_gate = GateArguments();
    m_findOffset = FindOffsetArguments();
    m_referenceFiles = ReferenceFileArguments();
    m_report = ReportArguments();
    m_mainFiles.clear();
    m_reference1Files.clear();
    m_reference2Files.clear();
}
