#pragma once

#include <QString>
#include <QStringList>

#include "colourarguments.h"
#include "findoffsetarguments.h"
#include "gatearguments.h"
#include "referencefilearguments.h"
#include "reportarguments.h"
#include "viewarguments.h"

class QCommandLineParser;

// The command line of rawcompare:
//   rawcompare [--size WxH] [--pix-fmt NAME | --gray] [--plane y|u|v] [MAIN_FILE...]
//              [--ref1 FILE]... [--ref2 FILE]... [--ref1-offset N] [--ref2-offset N]
//   rawcompare --metrics [--csv | --json] [--size WxH] [--pix-fmt NAME | --gray]
//              [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]
//              [--fail-below NAME=V[,...]] [--fail-above NAME=V[,...]] [--max-abs-diff N]
//              MAIN --ref1 REF [--ref2 REF]
//   rawcompare --block-errors 4|8|16|32|64 [the options and files of --metrics]
//   rawcompare --export-png DIR --view main|ref1|ref2|diff1|diff2 [--range=MIN:MAX]
//              [--size WxH] [--pix-fmt NAME | --gray] [--plane y|u|v]
//              [--frames FIRST[:COUNT]] [--ref1-offset N] [--ref2-offset N]
//              MAIN [--ref1 REF] [--ref2 REF]
//   rawcompare --report DIR [--worst K] [the options and files of --metrics, but the output's]
// Parsing needs no application object, so --help, --version and errors work without a display.
class CommandLine
{
public:
    enum class Action {
        Run, // start the window, loading the files given
        ShowHelp, // print getText() to stdout, exit 0
        ShowVersion, // print getText() to stdout, exit 0
        Fail, // print getText() to stderr, exit 2
        Metrics, // compare the files without a window, print the measures
        ExportPng, // write one view of every frame as PNG pictures, without a window
        BlockErrors, // as Metrics, the errors of every block of getBlockSize() samples a side
        FindOffset, // with the files of Metrics, print where each reference fits the main movie
        Report, // with the files of Metrics, write a report page with pictures into a folder
    };

    // arguments[0] is the program; the rest as the user typed them.
    Action parse(const QStringList &arguments);

    // Exit status for the actions that end the program at once.
    int getExitStatus() const { return m_action == Action::Fail ? 2 : 0; }
    // Help, version, or a one-line error followed by the usage; ends with a newline.
    QString getText() const { return m_text; }

    bool hasSize() const { return m_hasSize; }
    int getFrameWidth() const { return m_frameWidth; } // pixels, 1..65536 when hasSize()
    int getFrameHeight() const { return m_frameHeight; }
    // An ffmpeg pixel format name from --pix-fmt (or "gray" from --gray); empty when not given.
    QString getPixelFormat() const { return m_pixelFormat; }
    bool hasPlane() const { return m_hasPlane; }
    int getPlane() const { return m_plane; } // 0 = Y, 1 = U, 2 = V
    int getFirstFrame() const { return m_firstFrame; } // --frames: counted from 0
    int getFrameCount() const { return m_frameCount; } // -1: to the end
    bool isJson() const { return m_isJson; } // --metrics output: JSON instead of CSV
    int getBlockSize() const { return m_blockSize; } // --block-errors: 4 .. 64; 0 when not given
    // --frame-cache in MiB, minFrameCacheMiB..maxFrameCacheMiB; -1 when not given.
    int getFrameCacheMiB() const { return m_frameCacheMiB; }
    static constexpr int minFrameCacheMiB = 16;
    static constexpr int maxFrameCacheMiB = 1 << 20;
    // --ref1-offset / --ref2-offset (ref 1 or 2): the main frame the reference's first frame
    // is compared with, so reference frame f - offset meets main frame f; 0 when not given.
    int getReferenceOffset(int ref) const { return ref == 2 ? m_ref2Offset : m_ref1Offset; }
    // The largest offset either way, on the command line and in the window.
    static constexpr int maxReferenceOffset = 9999999;
    // --ref1-size, --ref1-pix-fmt, --ref1-plane, --ref1-frames and the same for reference 2.
    const ReferenceFileArguments &getReferenceFileArguments() const { return m_referenceFiles; }
    // --export-png: the folder, the view (a ViewType value) and the range when one was given.
    QString getExportDirectory() const { return m_exportDirectory; }
    int getViewType() const { return m_viewType; }
    bool hasRange() const { return m_hasRange; }
    float getRangeMin() const { return m_rangeMin; }
    float getRangeMax() const { return m_rangeMax; }

    // --display: -1 not given, 0..2 a plane in gray (as --plane), 3 colour.
    int getDisplay() const { return m_colour.getDisplay(); }
    // base with the colour choices given (--matrix, --range limited|full, --chroma, --transfer)
    // put in.
    ColourOptions applyColourOptions(ColourOptions base) const { return m_colour.apply(base); }
    // --layout, --views, --diff-mode, --threshold and --block.
    const ViewArguments &getViewArguments() const { return m_view; }
    // --metrics: the bounds of --fail-below, --fail-above and --max-abs-diff.
    const MetricsGate &getGate() const { return m_gate.getGate(); }
    // --find-offset: the largest offset tried either way.
    int getFindOffsetRange() const { return m_findOffset.getRange(); }
    // --report DIR and --worst K.
    const ReportArguments &getReport() const { return m_report; }

    QStringList getMainFiles() const { return m_mainFiles; }
    QStringList getReference1Files() const { return m_reference1Files; }
    QStringList getReference2Files() const { return m_reference2Files; }

    static QString usage();
    static QString versionText();

private:
    void fail(const QString &error);
    bool parseMetricsOptions(const QCommandLineParser &parser);
    bool parseReferenceOffsets(const QCommandLineParser &parser);
    bool parseExportOptions(const QCommandLineParser &parser);
    bool parseColourOptions(const QCommandLineParser &parser);

    Action m_action = Action::Run;
    QString m_text;
    bool m_hasSize = false;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    QString m_pixelFormat;
    bool m_hasPlane = false;
    int m_plane = 0;
    int m_firstFrame = 0;
    int m_frameCount = -1;
    bool m_isJson = false;
    int m_blockSize = 0;
    int m_frameCacheMiB = -1;
    int m_ref1Offset = 0;
    int m_ref2Offset = 0;
    QString m_exportDirectory;
    int m_viewType = 0;
    bool m_hasRange = false;
    float m_rangeMin = 0.0f;
    float m_rangeMax = 0.0f;
    ColourArguments m_colour;
    ViewArguments m_view;
    GateArguments m_gate;
    FindOffsetArguments m_findOffset;
    ReferenceFileArguments m_referenceFiles;
    ReportArguments m_report;
    QStringList m_mainFiles;
    QStringList m_reference1Files;
    QStringList m_reference2Files;
};
