// rawbench: measures rawcompare against floors and peers; see tools/bench.
//
//   rawbench --dir DIR [--frames N] [--rounds N] [--ffmpeg PATH] [--display :N] [--only GROUP]
//       runs every figure (or one group: load, display, app, startup, metrics, analysis,
//       ondemand, playback, colour, diffmodes, layout) on the inputs tools/bench generated in DIR
//       and prints the table.
//   rawbench --child MODE ARGS...
//       one measured operation, in a process of its own (used by the above).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "appbench.h"
#include "benchtable.h"
#include "colourbench.h"
#include "diffmodesbench.h"
#include "displaybench.h"
#include "interleavedruns.h"
#include "loadbench.h"
#include "ondemandbench.h"
#include "panelbench.h"
#include "playbackbench.h"

namespace {

struct Options
{
    std::string self;
    std::string dir;
    std::string ffmpeg = "ffmpeg";
    std::string display; // an X display for the start-up figure, or empty
    int frames = 200;
    int rounds = 5;
    // One group of figures: load, display, app, startup, metrics, analysis, ondemand, playback,
    // colour, diffmodes or layout.
    std::string only;
};

std::string selfPath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "rawbench";
    path[n] = '\0';
    return path;
}

int runChild(const std::vector<std::string> &args)
{
    const std::string &mode = args.at(0);
    if ((mode == "load" || mode == "load-floor") && args.size() == 5) {
        const int width = std::atoi(args[2].c_str());
        const int height = std::atoi(args[3].c_str());
        return mode == "load" ? LoadBench::load(args[1], width, height, args[4])
                              : LoadBench::floor(args[1], width, height, args[4]);
    }
    if (mode == "render" && args.size() == 6) {
        return DisplayBench::render(args[1], args[2], std::atoi(args[3].c_str()),
                                    std::atoi(args[4].c_str()), std::atoi(args[5].c_str()));
    }
    if (mode == "step" && args.size() == 5) {
        return DisplayBench::step(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                                  std::atoi(args[4].c_str()));
    }
    if (mode == "ranges" && args.size() == 8) {
        return AppBench::ranges(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                                args[4], std::atoi(args[5].c_str()), std::atoi(args[6].c_str()),
                                std::atoi(args[7].c_str()));
    }
    if (mode == "save" && args.size() == 6) {
        return AppBench::save(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                              args[4], std::atoi(args[5].c_str()));
    }
    if (mode == "ondemand-memory" && args.size() == 6) {
        return OnDemandBench::memory(args[1], args[2], std::atoi(args[3].c_str()),
                                     std::atoi(args[4].c_str()), std::atoll(args[5].c_str()));
    }
    if (mode == "ondemand-step" && args.size() == 5) {
        return OnDemandBench::step(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                                   std::atoi(args[4].c_str()));
    }
    if (mode == "ondemand-hold" && args.size() == 4)
        return OnDemandBench::hold(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()));
    if (mode == "ondemand-range" && args.size() == 5) {
        return OnDemandBench::range(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                                    std::atoi(args[4].c_str()));
    }
    if (mode == "moves" && args.size() == 4)
        return PlaybackBench::moves(args[1], std::atoi(args[2].c_str()),
                                    std::atoi(args[3].c_str()));
    if (mode == "play" && args.size() >= 6) {
        // Any further arguments are given to the window's command line (a layout).
        QStringList extra;
        for (size_t i = 6; i < args.size(); ++i)
            extra.append(QString::fromStdString(args[i]));
        return PlaybackBench::play(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                                   std::atof(args[4].c_str()), args[5] == "colour", extra);
    }
    if (mode == "panel" && args.size() == 5) {
        return PanelBench::fill(args[1], args[2], std::atoi(args[3].c_str()),
                                std::atoi(args[4].c_str()));
    }
    if (mode == "diffmodes" && args.size() == 6) {
        return DiffModesBench::render(args[1], args[2], std::atoi(args[3].c_str()),
                                      std::atoi(args[4].c_str()), std::atoi(args[5].c_str()));
    }
    if (mode == "colour" && args.size() == 2)
        return ColourBench::convert(std::atoi(args[1].c_str()));
    std::fprintf(stderr, "rawbench: unknown child mode %s\n", mode.c_str());
    return 2;
}

// Figures 1 and 2: loading a 1080p movie, against ffmpeg and the floor, and its peak memory;
// 8-bit YUV 4:2:0, 8-bit gray and 10-bit YUV 4:2:0.
bool loadFigures(const Options &options, BenchTable &table)
{
    const int width = 1920, height = 1080;
    struct Input
    {
        std::string file;
        std::string format;
        std::string what;
        double frameBytes;
    };
    const double pixels = double(width) * height;
    for (const Input &input :
         {Input {"movie1080.yuv", "yuv420p", "YUV 4:2:0", pixels * 1.5},
          Input {"movie1080.gray", "gray", "gray", pixels},
          Input {"movie1080.yuv10", "yuv420p10le", "10-bit YUV 4:2:0", pixels * 3}}) {
        const std::string file = options.dir + "/" + input.file;
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        InterleavedRuns runs;
        const std::vector<std::string> child
                = {file, std::to_string(width), std::to_string(height), input.format};
        std::vector<std::string> argv = {options.self, "--child", "load"};
        argv.insert(argv.end(), child.begin(), child.end());
        const int ours = runs.add("load " + input.format, argv);
        argv[2] = "load-floor";
        const int floor = runs.add("floor " + input.format, argv);
        const bool gray = input.format == "gray";
        const int peer
                = runs.add("ffmpeg " + input.format,
                           {options.ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-f",
                            "rawvideo", "-pix_fmt", input.format, "-s", size, "-i", file, "-vf",
                            gray ? "format=grayf32le" : "extractplanes=y,format=grayf32le", "-f",
                            "null", "-"});
        if (!runs.run(options.rounds))
            return false;

        const std::string what = input.what + " 1920×1080×" + std::to_string(options.frames);
        const double oursWall = runs.medianWallSeconds(ours);
        const double peerWall = runs.medianWallSeconds(peer);
        table.addRow("1", "load " + what + ", whole process, vs ffmpeg to grayf32le",
                     BenchTable::seconds(oursWall), "ffmpeg " + BenchTable::seconds(peerWall),
                     oursWall / peerWall, 1.0);
        const double oursLoad = runs.median(ours, "seconds");
        const double floorLoad = runs.median(floor, "seconds");
        table.addRow("1", "load " + what + " (loadRaw) vs read + write floor",
                     BenchTable::seconds(oursLoad), "floor " + BenchTable::seconds(floorLoad),
                     oursLoad / floorLoad, 1.5);
        const double volumeBytes = pixels * options.frames * 4.0;
        const double boundKiB = (volumeBytes + 2 * input.frameBytes) / 1024 + 64 * 1024;
        const double rss = runs.peakRssKiB(ours);
        table.addRow("2", "peak resident memory of that load (volume + 2 frames + 64 MiB)",
                     BenchTable::mebibytes(rss), "bound " + BenchTable::mebibytes(boundKiB),
                     rss / boundKiB, 1.0);
    }
    return true;
}

// Figure 5: "Auto scale" over the 1080p movie; figure 6: saving it.
bool appFigures(const Options &options, BenchTable &table)
{
    const std::string movie = options.dir + "/movie1080.yuv";
    const std::string frames = std::to_string(options.frames);
    ChildRun::Result result = ChildRun::run({options.self, "--child", "ranges", movie, "1920",
                                             "1080", options.dir + "/ref720.yuv", "1280", "720",
                                             std::to_string(options.rounds)});
    if (!result.ok) {
        std::fprintf(stderr, "bench: the range figures failed\n%s", result.errors.c_str());
        return false;
    }
    const double range = ChildRun::value(result.output, "range");
    const double floorRange = ChildRun::value(result.output, "floor_range");
    const double differenceRange = ChildRun::value(result.output, "difference_range");
    table.addRow("5", "computeRange, 1920×1080×" + frames + " vs a plain min/max pass",
                 BenchTable::seconds(range), "floor " + BenchTable::seconds(floorRange),
                 range / floorRange, 1.2);
    table.addRow("5",
                 "computeDifferenceRange with a 1280×720×" + frames
                         + " reference vs computeRange of the larger movie",
                 BenchTable::seconds(differenceRange), "range " + BenchTable::seconds(range),
                 differenceRange / range, 2.5);

    result = ChildRun::run({options.self, "--child", "save", movie, "1920", "1080", options.dir,
                            std::to_string(options.rounds)});
    if (!result.ok) {
        std::fprintf(stderr, "bench: the save figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double save = ChildRun::value(result.output, "save");
    const double floorSave = ChildRun::value(result.output, "floor_save");
    table.addRow("6", "save 1920×1080×" + frames + " as YUV vs one fwrite per frame",
                 BenchTable::seconds(save), "floor " + BenchTable::seconds(floorSave),
                 save / floorSave, 1.5);
    return true;
}

std::string siblingPath(const Options &options, const std::string &name)
{
    return options.self.substr(0, options.self.rfind('/') + 1) + name;
}

// Where a child that shows windows runs: its platform's name in the table and its environment.
struct ChildPlatform
{
    std::string name;
    std::vector<std::string> environment;
};

ChildPlatform offscreenPlatform(const Options &options)
{
    return {"offscreen",
            {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + options.dir + "/runtime"}};
}

// The X display given (Xvfb), else offscreen.
ChildPlatform shownPlatform(const Options &options)
{
    if (options.display.empty())
        return offscreenPlatform(options);
    return {"Xvfb",
            {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + options.display,
             "XDG_RUNTIME_DIR=" + options.dir + "/runtime"}};
}

// Figure 8: rawcompare --metrics over a 1080p YUV 4:2:0 pair (the reference degraded by an
// encoder) against one ffmpeg run of its psnr and ssim filters, and its peak memory, which must
// not grow with the length of the files; --block-errors 16 over the same pair against --metrics.
bool metricsFigure(const Options &options, BenchTable &table)
{
    const std::string main = options.dir + "/movie1080.yuv";
    const std::string reference = options.dir + "/encoded1080.yuv";
    const std::string rawcompare
            = options.self.substr(0, options.self.rfind("/bench/") + 1) + "src/app/rawcompare";
    InterleavedRuns runs;
    const int ours = runs.add("rawcompare --metrics",
                              {"/bin/sh", "-c",
                               "exec \"$0\" --metrics --size 1920x1080 \"$1\" --ref1 \"$2\" "
                               ">/dev/null 2>&1",
                               rawcompare, main, reference});
    const int blocks = runs.add("rawcompare --block-errors 16",
                                {"/bin/sh", "-c",
                                 "exec \"$0\" --block-errors 16 --size 1920x1080 \"$1\" --ref1 "
                                 "\"$2\" >/dev/null 2>&1",
                                 rawcompare, main, reference});
    const std::vector<std::string> input
            = {"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "1920x1080"};
    std::vector<std::string> ffmpeg
            = {options.ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error"};
    for (const std::string &file : {main, reference}) {
        ffmpeg.insert(ffmpeg.end(), input.begin(), input.end());
        ffmpeg.insert(ffmpeg.end(), {"-i", file});
    }
    ffmpeg.insert(ffmpeg.end(),
                  {"-lavfi",
                   "[0:v]split[a][b];[1:v]split[c][d];[a][c]psnr=stats_file=/dev/null[p];"
                   "[b][d]ssim=stats_file=/dev/null[s]",
                   "-map", "[p]", "-f", "null", "-", "-map", "[s]", "-f", "null", "-"});
    const int peer = runs.add("ffmpeg psnr + ssim", ffmpeg);
    if (!runs.run(options.rounds))
        return false;
    const std::string what = "1920×1080×" + std::to_string(options.frames) + " YUV 4:2:0 pair";
    const double oursWall = runs.medianWallSeconds(ours);
    const double peerWall = runs.medianWallSeconds(peer);
    table.addRow("8", "--metrics " + what + " vs one ffmpeg run of psnr and ssim",
                 BenchTable::seconds(oursWall), "ffmpeg " + BenchTable::seconds(peerWall),
                 oursWall / peerWall, 1.0);
    const double blocksWall = runs.medianWallSeconds(blocks);
    table.addRow("8", "--block-errors 16 on " + what + " (CSV of every block) vs --metrics on it",
                 BenchTable::seconds(blocksWall), "--metrics " + BenchTable::seconds(oursWall),
                 blocksWall / oursWall, 1.0);

    // The panel: the same pair as the window holds it, against the headless run above.
    const ChildRun::Result result
            = ChildRun::run({options.self, "--child", "panel", main, reference, "1920", "1080"},
                            offscreenPlatform(options).environment);
    if (!result.ok) {
        std::fprintf(stderr, "bench: the panel figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double panel = ChildRun::value(result.output, "panel");
    const double stall = ChildRun::value(result.output, "stall");
    table.addRow("9",
                 "metrics panel filled for that pair (Y, U, V, opened as the window opens it) "
                 "vs --metrics",
                 BenchTable::seconds(panel), "--metrics " + BenchTable::seconds(oursWall),
                 panel / oursWall, 1.5);
    table.addRow("9", "longest event-loop stall while the panel fills (limit 50 ms)",
                 BenchTable::seconds(stall), "50 ms", stall / 0.050, 1.0);

    const double frameKiB = 1920.0 * 1080 * 1.5 / 1024;
    const double boundKiB = 64 * 1024 + 8 * frameKiB;
    const double rss = runs.peakRssKiB(ours);
    table.addRow("8", "peak resident memory of --metrics (64 MiB + 8 frames, any length)",
                 BenchTable::mebibytes(rss), "bound " + BenchTable::mebibytes(boundKiB),
                 rss / boundKiB, 1.0);
    return true;
}

// Figures 20 to 22: the analysis modes on the 1080p pair of figure 8, 100 frames of it (fewer in
// a quick run): --metrics over a quarter of the picture, --find-offset over -30 .. 30 and
// --report, each against --metrics on the whole pair (the report: plus the pictures it writes,
// three views of five frames as --export-png writes them).
bool analysisFigures(const Options &options, BenchTable &table)
{
    const std::string main = options.dir + "/movie1080.yuv";
    const std::string reference = options.dir + "/encoded1080.yuv";
    const std::string rawcompare
            = options.self.substr(0, options.self.rfind("/bench/") + 1) + "src/app/rawcompare";
    const std::string frames = "0:" + std::to_string(std::min(options.frames, 100));
    const auto command = [&](const std::string &arguments) {
        return std::vector<std::string> {"/bin/sh",
                                         "-c",
                                         "exec \"$0\" " + arguments + " --size 1920x1080 --frames "
                                                 + frames + " \"$1\" --ref1 \"$2\" >/dev/null 2>&1",
                                         rawcompare,
                                         main,
                                         reference};
    };
    const std::string pictures = options.dir + "/pictures";
    const std::string report = options.dir + "/report";
    InterleavedRuns runs;
    const int whole = runs.add("--metrics", command("--metrics"));
    const int region
            = runs.add("--metrics --region", command("--metrics --region 480,270,960,540"));
    const int find = runs.add("--find-offset", command("--find-offset"));
    const int written = runs.add("--report", command("--report " + report));
    // Three views of five frames, as the report writes them.
    const int exports = runs.add(
            "--export-png",
            {"/bin/sh", "-c",
             "for v in main ref1 diff1; do \"$0\" --export-png \"$3\" --view $v --diff-mode heat "
             "--size 1920x1080 --frames 10:5 \"$1\" --ref1 \"$2\" >/dev/null 2>&1 || exit 1; "
             "done",
             rawcompare, main, reference, pictures});
    mkdir(pictures.c_str(), 0700);
    if (!runs.run(options.rounds))
        return false;
    const double wholeWall = runs.medianWallSeconds(whole);
    const std::string what = "1920×1080×" + frames.substr(2) + " pair";
    const double regionWall = runs.medianWallSeconds(region);
    table.addRow("20", "--metrics --region of a quarter of the picture vs --metrics, " + what,
                 BenchTable::seconds(regionWall), "--metrics " + BenchTable::seconds(wholeWall),
                 regionWall / wholeWall, 0.35);
    const double findWall = runs.medianWallSeconds(find);
    table.addRow("21", "--find-offset (-30 .. 30) vs --metrics, " + what,
                 BenchTable::seconds(findWall), "--metrics " + BenchTable::seconds(wholeWall),
                 findWall / wholeWall, 3.0);
    const double reportWall = runs.medianWallSeconds(written);
    const double floor = wholeWall + runs.medianWallSeconds(exports);
    table.addRow("22",
                 "--report (5 worst frames) vs --metrics + 15 pictures by --export-png, " + what,
                 BenchTable::seconds(reportWall), "sum " + BenchTable::seconds(floor),
                 reportWall / floor, 1.5);
    return true;
}

// Figure 7: from process start to the main window shown, against a minimal Qt program that
// shows one empty QMainWindow. Both run on the offscreen platform and, when an X display is
// given, on it as well.
bool startupFigure(const Options &options, BenchTable &table)
{
    std::vector<ChildPlatform> platforms = {offscreenPlatform(options)};
    if (!options.display.empty())
        platforms.push_back(shownPlatform(options));
    for (const auto &[platform, environment] : platforms) {
        InterleavedRuns runs;
        const int ours = runs.add("rawcompare start-up",
                                  {siblingPath(options, "startup_rawcompare")}, environment);
        const int peer = runs.add("minimal start-up", {siblingPath(options, "startup_minimal")},
                                  environment);
        if (!runs.run(options.rounds))
            return false;
        const double oursSeconds = runs.median(ours, "seconds");
        const double peerSeconds = runs.median(peer, "seconds");
        const std::string what
                = "start-up to main window shown (" + platform + ") vs empty QMainWindow";
        // With a real X server the target is taken there; the offscreen figure is then only
        // reported (the empty window never loads fonts, which any window with text must).
        if (platform == "offscreen" && platforms.size() > 1) {
            table.addInfo("7", what, BenchTable::seconds(oursSeconds),
                          "minimal " + BenchTable::seconds(peerSeconds), oursSeconds / peerSeconds);
        } else {
            table.addRow("7", what, BenchTable::seconds(oursSeconds),
                         "minimal " + BenchTable::seconds(peerSeconds), oursSeconds / peerSeconds,
                         1.5);
        }
    }
    return true;
}

std::string perSecond(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f/s", 1.0 / seconds);
    return text;
}

// Figure 3: one uncached slice rendered by the slice widget, movie and difference views, at
// 1080p and 2160p, against reading the samples and writing a 32-bit image.
// Figure 4: a wheel step at 1080p to an uncached and to a cached slice.
bool displayFigures(const Options &options, BenchTable &table)
{
    // A round here takes milliseconds: three times the rounds cost little and steady the
    // medians on a shared machine.
    const int inProcessRounds = 3 * options.rounds;
    const std::vector<std::string> environment = offscreenPlatform(options).environment;
    for (const auto &[name, width, height] :
         {std::tuple<std::string, int, int>("1080", 1920, 1080),
          std::tuple<std::string, int, int>("2160", 3840, 2160)}) {
        // The rounds run inside the child, interleaved; one child per size.
        const ChildRun::Result result = ChildRun::run(
                {options.self, "--child", "render", options.dir + "/render" + name + "main.yuv",
                 options.dir + "/render" + name + "ref.yuv", std::to_string(width),
                 std::to_string(height), std::to_string(inProcessRounds)},
                environment);
        if (!result.ok) {
            std::fprintf(stderr, "bench: rendering at %s failed\n%s", name.c_str(),
                         result.errors.c_str());
            return false;
        }
        const std::string size = std::to_string(width) + "×" + std::to_string(height);
        for (const std::string view : {"movie", "difference"}) {
            const double ours = ChildRun::value(result.output, view);
            const double floor = ChildRun::value(result.output, "floor_" + view);
            table.addRow("3",
                         "uncached slice " + size + ", " + view + " view (" + perSecond(ours) + ")",
                         BenchTable::seconds(ours), "floor " + BenchTable::seconds(floor),
                         ours / floor, 1.5);
        }
    }

    const ChildRun::Result result
            = ChildRun::run({options.self, "--child", "step", options.dir + "/render1080main.yuv",
                             "1920", "1080", std::to_string(inProcessRounds)},
                            environment);
    if (!result.ok) {
        std::fprintf(stderr, "bench: stepping failed\n%s", result.errors.c_str());
        return false;
    }
    const double uncached = ChildRun::value(result.output, "uncached");
    const double cached = ChildRun::value(result.output, "cached");
    const double cachedRenders = ChildRun::value(result.output, "cached_renders");
    table.addRow("4",
                 "wheel step 1920×1080 to a cached slice vs an uncached one ("
                         + std::to_string(int(cachedRenders)) + " slices rendered when cached)",
                 BenchTable::seconds(cached), "uncached " + BenchTable::seconds(uncached),
                 cachedRenders == 0 ? cached / uncached : 1e9, 0.1);
    return true;
}

// Figures 10 to 13: movies read on demand.
// 10: from process start to the first frame of a 1080p pair on screen (Xvfb when given), against
//     the minimal program that reads, converts and renders one frame, then shows it.
// 11: peak memory after stepping through every frame of that pair, and of a sparse file of ten
//     times as many frames, each movie with a frame cache of 256 MiB.
// 12: a step to a frame not read yet against reading, converting and rendering it; holding Page
//     Down through every frame at 25 steps a second.
// 13: auto scale of the 1080p movie from its file against a streaming min/max over the file.
bool onDemandFigures(const Options &options, BenchTable &table)
{
    const std::string movie = options.dir + "/movie1080.yuv";
    const std::string reference = options.dir + "/encoded1080.yuv";
    const std::string frames = std::to_string(options.frames);
    const auto [platform, display] = shownPlatform(options);
    const std::vector<std::string> offscreen = offscreenPlatform(options).environment;

    InterleavedRuns startup;
    const int ours = startup.add("rawcompare first frame",
                                 {siblingPath(options, "startup_rawcompare"), "--size", "1920x1080",
                                  movie, "--ref1", reference},
                                 display);
    const int peer = startup.add("minimal window with one frame",
                                 {siblingPath(options, "startup_minimal"), movie, "1920", "1080"},
                                 display);
    if (!startup.run(options.rounds))
        return false;
    const double oursStart = startup.median(ours, "seconds");
    const double peerStart = startup.median(peer, "seconds");
    table.addRow("10",
                 "start to first frame on screen (" + platform + "), 1920×1080×" + frames
                         + " pair from the command line, vs empty window + read and render a frame",
                 BenchTable::seconds(oursStart), "minimal " + BenchTable::seconds(peerStart),
                 oursStart / peerStart, 1.5);

    // Memory: the pair, then one sparse file of ten times the frames (it reads as zeros).
    const long long frameBudget = 256ll << 20;
    const std::string sparse = options.dir + "/sparse1080.yuv";
    const int sparseFrames = 10 * options.frames;
    {
        FILE *pFile = std::fopen(sparse.c_str(), "wb");
        const bool made = pFile
                && ftruncate(fileno(pFile), off_t(1920ll * 1080 * 3 / 2 * sparseFrames)) == 0;
        if (pFile)
            std::fclose(pFile);
        if (!made) {
            std::fprintf(stderr, "bench: cannot make the sparse file\n");
            return false;
        }
    }
    for (const auto &[what, main, ref, movies] :
         {std::tuple<std::string, std::string, std::string, int>(
                  "1920×1080×" + frames + " pair, difference view", movie, reference, 2),
          std::tuple<std::string, std::string, std::string, int>(
                  "sparse 1920×1080×" + std::to_string(sparseFrames) + " file", sparse, "-", 1)}) {
        const ChildRun::Result result
                = ChildRun::run({options.self, "--child", "ondemand-memory", main, ref, "1920",
                                 "1080", std::to_string(frameBudget)},
                                offscreen);
        if (!result.ok) {
            std::fprintf(stderr, "bench: the memory figure failed\n%s", result.errors.c_str());
            unlink(sparse.c_str());
            return false;
        }
        const double boundKiB = (ChildRun::value(result.output, "frame_budget")
                                 + ChildRun::value(result.output, "slice_budget"))
                        / 1024
                + 64 * 1024;
        const double rss = double(result.maxRssKiB);
        table.addRow("11",
                     "peak memory stepping through every frame of a " + what + " ("
                             + std::to_string(movies)
                             + " × 256 MiB frames + 256 MiB slices + 64 MiB)",
                     BenchTable::mebibytes(rss), "bound " + BenchTable::mebibytes(boundKiB),
                     rss / boundKiB, 1.0);
    }
    unlink(sparse.c_str());

    ChildRun::Result result = ChildRun::run({options.self, "--child", "ondemand-step", movie,
                                             "1920", "1080", std::to_string(3 * options.rounds)},
                                            offscreen);
    if (!result.ok) {
        std::fprintf(stderr, "bench: the step figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double step = ChildRun::value(result.output, "step");
    const double floorStep = ChildRun::value(result.output, "floor_step");
    table.addRow("12", "step 1920×1080 to a frame not read yet vs read + convert + render it",
                 BenchTable::seconds(step), "floor " + BenchTable::seconds(floorStep),
                 step / floorStep, 1.5);
    const double freshStep = ChildRun::value(result.output, "fresh_step");
    table.addInfo("12", "that floor into freshly allocated memory (a float frame and an image)",
                  BenchTable::seconds(freshStep), "floor " + BenchTable::seconds(floorStep),
                  freshStep / floorStep);

    result = ChildRun::run({options.self, "--child", "ondemand-hold", movie, "1920", "1080"},
                           offscreen);
    if (!result.ok) {
        std::fprintf(stderr, "bench: the Page Down figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double longest = ChildRun::value(result.output, "longest");
    const double medianStep = ChildRun::value(result.output, "median");
    table.addRow("12",
                 "Page Down held through " + frames + " frames 1920×1080, slowest step (median "
                         + BenchTable::seconds(medianStep) + ", "
                         + std::to_string(int(ChildRun::value(result.output, "slow")))
                         + " steps over 80 ms) vs 2 frames at 25 fps",
                 BenchTable::seconds(longest), "80 ms", longest / 0.080, 1.0);

    result = ChildRun::run({options.self, "--child", "ondemand-range", movie, "1920", "1080",
                            std::to_string(options.rounds)});
    if (!result.ok) {
        std::fprintf(stderr, "bench: the auto scale figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double range = ChildRun::value(result.output, "range");
    const double floorRange = ChildRun::value(result.output, "floor_range");
    table.addRow("13",
                 "auto scale (valueRange) of 1920×1080×" + frames
                         + " from its file vs a streaming min/max over the file",
                 BenchTable::seconds(range), "floor " + BenchTable::seconds(floorRange),
                 range / floorRange, 1.3);
    const double cached = ChildRun::value(result.output, "range_cached");
    table.addInfo("13", "the same again (the file in the page cache, the frame cache untouched)",
                  BenchTable::seconds(cached), "floor " + BenchTable::seconds(floorRange),
                  cached / floorRange);
    return true;
}

// Figures 14 and 16: playback at 100 % in the window, 1080p and 4K, frames shown a second (Xvfb
// when given), in gray and in colour; what one frame costs apart says what bounds it. Also auto
// scale of one 1080p frame ignoring outliers, against a frame time at 25 fps.
bool playbackFigure(const Options &options, BenchTable &table)
{
    const auto [platform, display] = shownPlatform(options);
    const std::string frames = std::to_string(options.frames);
    // The Y plane in gray (figure 14), the same movies in colour (figure 16), and 1080p in panes
    // side by side and in a grid of four, the movie against itself as reference 1 (figure 18).
    using Case = std::tuple<std::string, int, int, double, bool, std::vector<std::string>>;
    const std::vector<std::string> single;
    const std::string movie = options.dir + "/movie1080.yuv";
    const std::vector<std::string> sideBySide {"--layout",   "side-by-side", "--views",
                                               "main,diff1", "--ref1",       movie};
    const std::vector<std::string> grid {"--layout", "grid", "--views", "main,ref1,diff1,main",
                                         "--ref1",   movie};
    for (const auto &[file, width, height, target, colour, layout] :
         {Case("movie1080.yuv", 1920, 1080, 60, false, single),
          Case("play2160.yuv", 3840, 2160, 30, false, single),
          Case("movie1080.yuv", 1920, 1080, 60, true, single),
          Case("play2160.yuv", 3840, 2160, 30, true, single),
          Case("movie1080.yuv", 1920, 1080, 60, false, sideBySide),
          Case("movie1080.yuv", 1920, 1080, 30, false, grid)}) {
        const std::string figure = !layout.empty() ? "18" : colour ? "16" : "14";
        const std::string panes = layout.empty() ? ""
                : layout[1] == "grid"            ? " in a grid of 4"
                                                 : " side by side (main, diff1)";
        // One child a round: each plays for a few seconds.
        std::vector<double> fps, paint, read, render, upload, percentile;
        ChildRun::Result result;
        for (int round = 0; round < options.rounds; ++round) {
            std::vector<std::string> arguments {options.self,
                                                "--child",
                                                "play",
                                                options.dir + "/" + file,
                                                std::to_string(width),
                                                std::to_string(height),
                                                "3",
                                                colour ? "colour" : "y"};
            arguments.insert(arguments.end(), layout.begin(), layout.end());
            result = ChildRun::run(arguments, display);
            if (!result.ok) {
                std::fprintf(stderr, "bench: playback failed\n%s", result.errors.c_str());
                return false;
            }
            fps.push_back(ChildRun::value(result.output, "fps"));
            paint.push_back(ChildRun::value(result.output, "paint"));
            read.push_back(ChildRun::value(result.output, "read"));
            render.push_back(ChildRun::value(result.output, "render"));
            upload.push_back(ChildRun::value(result.output, "upload"));
            percentile.push_back(ChildRun::value(result.output, "percentile"));
            if (ChildRun::value(result.output, "skipped") != 0) {
                std::fprintf(stderr, "bench: playback skipped frames\n%s", result.output.c_str());
                return false;
            }
        }
        auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        const double shown = median(fps);
        const std::string size = std::to_string(width) + "×" + std::to_string(height);
        char ours[32];
        char wanted[32];
        std::snprintf(ours, sizeof ours, "%.1f/s", shown);
        std::snprintf(wanted, sizeof wanted, "target %.0f/s", target);
        table.addRow(figure,
                     "playback " + size + "×" + frames + (colour ? " in colour" : "") + panes
                             + " at 100 % (" + platform + "), frames shown a second, none skipped",
                     ours, wanted, target / shown, 1.0);
        table.addInfo(
                figure,
                "  one " + size + " frame apart: read + convert "
                        + BenchTable::seconds(median(read)) + ", render "
                        + BenchTable::seconds(median(render)) + ", pixmap "
                        + BenchTable::seconds(median(upload)) + ", paint (viewport "
                        + std::to_string(int(ChildRun::value(result.output, "viewport")))
                        + " px wide) " + BenchTable::seconds(median(paint)),
                BenchTable::seconds(median(read) + median(render) + median(upload) + median(paint)),
                "frame time " + BenchTable::seconds(1.0 / shown),
                (median(read) + median(render) + median(upload) + median(paint)) * shown);
        if (width == 1920 && !colour && layout.empty()) {
            const double scale = median(percentile);
            table.addRow("14", "auto scale of one 1920×1080 frame ignoring outliers vs 40 ms",
                         BenchTable::seconds(scale), "40 ms", scale / 0.040, 0.25);
        }
    }
    return true;
}

// Figure 15: one 1080p 4:2:0 frame to the screen's RGB by ColourConverter::render, against a
// plain loop that reads the three planes and writes RGB32; both into a freshly made image.
bool colourFigure(const Options &options, BenchTable &table)
{
    const ChildRun::Result result = ChildRun::run(
            {options.self, "--child", "colour", std::to_string(3 * options.rounds)});
    if (!result.ok) {
        std::fprintf(stderr, "bench: the colour figure failed\n%s", result.errors.c_str());
        return false;
    }
    const double floor = ChildRun::value(result.output, "floor");
    const double floor16 = ChildRun::value(result.output, "floor16");
    for (const auto &[name, what, reference, limit] :
         {std::tuple<std::string, std::string, double, double>("nearest", "8-bit, nearest", floor,
                                                               1.5),
          std::tuple<std::string, std::string, double, double>("bilinear", "8-bit, bilinear", floor,
                                                               2.5),
          std::tuple<std::string, std::string, double, double>(
                  "nearest10", "10-bit, nearest (the loop on 16-bit samples)", floor16, 1.5)}) {
        const double ours = ChildRun::value(result.output, name);
        table.addRow("15",
                     "1080p 4:2:0 " + what
                             + " to RGB vs a plain loop reading three planes writing RGB32",
                     BenchTable::seconds(ours), "floor " + BenchTable::seconds(reference),
                     ours / reference, limit);
    }
    const double pq = ChildRun::value(result.output, "pq");
    table.addInfo("15", "1080p 4:2:0 10-bit PQ preview (BT.2390 tone mapping) vs the same loop",
                  BenchTable::seconds(pq), "floor " + BenchTable::seconds(floor16), pq / floor16);
    return true;
}

// Figure 17: a 1080p difference in each difference display mode against the signed gray
// rendering of the same difference (renderView), both into a freshly made image.
bool diffModesFigure(const Options &options, BenchTable &table)
{
    const ChildRun::Result result = ChildRun::run({options.self, "--child", "diffmodes",
                                                   options.dir + "/render1080main.yuv",
                                                   options.dir + "/render1080ref.yuv", "1920",
                                                   "1080", std::to_string(3 * options.rounds)});
    if (!result.ok) {
        std::fprintf(stderr, "bench: the difference modes figure failed\n%s",
                     result.errors.c_str());
        return false;
    }
    const double signedGray = ChildRun::value(result.output, "signed");
    for (const auto &[name, what, limit] :
         {std::tuple<std::string, std::string, double>("absolute", "absolute", 1.3),
          std::tuple<std::string, std::string, double>("heat", "heat map", 1.3),
          std::tuple<std::string, std::string, double>("mask", "mask", 1.3),
          std::tuple<std::string, std::string, double>("blocks", "16 x 16 blocks", 1.5)}) {
        const double ours = ChildRun::value(result.output, name);
        table.addRow("17", "1080p difference as " + what + " vs signed gray (renderView)",
                     BenchTable::seconds(ours), "signed " + BenchTable::seconds(signedGray),
                     ours / signedGray, limit);
    }
    return true;
}

// Figure 19: moving the wipe line or the cross-hair renders no slice again: a move and the
// paint after it against rendering one 1080p slice.
bool movesFigure(const Options &options, BenchTable &table)
{
    const auto [platform, display] = shownPlatform(options);
    std::vector<double> slice, wipe, crossHair, paint;
    for (int round = 0; round < options.rounds; ++round) {
        const ChildRun::Result result = ChildRun::run(
                {options.self, "--child", "moves", options.dir + "/movie1080.yuv", "1920", "1080"},
                display);
        if (!result.ok) {
            std::fprintf(stderr, "bench: moves failed\n%s", result.errors.c_str());
            return false;
        }
        slice.push_back(ChildRun::value(result.output, "slice"));
        wipe.push_back(ChildRun::value(result.output, "wipe"));
        crossHair.push_back(ChildRun::value(result.output, "crosshair"));
        paint.push_back(ChildRun::value(result.output, "paint"));
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double render = median(slice);
    for (const auto &[what, seconds] :
         {std::pair<std::string, double>("the wipe line", median(wipe)),
          std::pair<std::string, double>("the cross-hair", median(crossHair))}) {
        table.addRow("19",
                     "moving " + what + " over 1920×1080 (" + platform + ") vs rendering one slice",
                     BenchTable::seconds(seconds), "slice " + BenchTable::seconds(render),
                     seconds / render, 0.2);
    }
    table.addInfo("19", "  the pane's paint after a move (as after any change of the picture)",
                  BenchTable::seconds(median(paint)), "slice " + BenchTable::seconds(render),
                  median(paint) / render);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--child" && args.size() >= 2)
        return runChild(std::vector<std::string>(args.begin() + 1, args.end()));

    Options options;
    options.self = selfPath();
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir")
            options.dir = args[i + 1];
        else if (args[i] == "--frames")
            options.frames = std::atoi(args[i + 1].c_str());
        else if (args[i] == "--rounds")
            options.rounds = std::atoi(args[i + 1].c_str());
        else if (args[i] == "--ffmpeg")
            options.ffmpeg = args[i + 1];
        else if (args[i] == "--display")
            options.display = args[i + 1];
        else if (args[i] == "--only")
            options.only = args[i + 1];
        else {
            std::fprintf(stderr, "rawbench: unknown option %s\n", args[i].c_str());
            return 2;
        }
    }
    if (options.dir.empty() || options.rounds < 5) {
        std::fprintf(stderr,
                     "usage: rawbench --dir DIR [--frames N] [--rounds N>=5] "
                     "[--ffmpeg PATH] [--display :N] [--only GROUP]\n");
        return 2;
    }

    // A private runtime folder for the Qt programs keeps Qt from warning about a missing one.
    mkdir((options.dir + "/runtime").c_str(), 0700);

    BenchTable table;
    const std::vector<std::pair<std::string, bool (*)(const Options &, BenchTable &)>> groups
            = {{"load", loadFigures},
               {"display", displayFigures},
               {"app", appFigures},
               {"startup", startupFigure},
               {"metrics", metricsFigure},
               {"ondemand", onDemandFigures},
               {"playback", playbackFigure},
               {"colour", colourFigure},
               {"diffmodes", diffModesFigure},
               {"layout", movesFigure},
               {"analysis", analysisFigures}};
    for (const auto &[name, figures] : groups) {
        if ((options.only.empty() || options.only == name) && !figures(options, table))
            return 1;
    }
    std::printf("%s", table.markdown().c_str());
    return table.failures() == 0 ? 0 : 1;
}
