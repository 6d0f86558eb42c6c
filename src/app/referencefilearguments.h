#pragma once

#include <QString>

#include "loadsettings.h"
#include "moviefileopener.h"

class QCommandLineParser;

// How one reference's files are read where that differs from the shared options, each option
// at most once: --ref1-size WxH, --ref1-pix-fmt NAME, --ref1-plane y|u|v and
// --ref1-frames FIRST[:COUNT], and the same with --ref2-.
class ReferenceFileArguments
{
public:
    static constexpr int maxFrameSide = 65536;

    static void addOptions(QCommandLineParser &parser);
    // The lines of --help on these options.
    static QString helpText();
    // "WxH" with two whole numbers from 1 to maxFrameSide; false for anything else.
    static bool parseSize(const QString &text, int &width, int &height);
    // "FIRST" or "FIRST:COUNT", frames counted from 0, COUNT at least 1 (frameCount -1: FIRST
    // alone); false for anything else.
    static bool parseFrames(const QString &text, int &firstFrame, int &frameCount);

    // False with the error (one sentence) for a bad value, an option given twice or one for a
    // reference that has no files (hasFiles[0] for reference 1).
    bool parse(const QCommandLineParser &parser, const bool hasFiles[2], QString &error);

    // Reference ref (1 or 2) has options of its own.
    bool isSet(int ref) const;
    bool hasSize(int ref) const { return given(ref).frameWidth > 0; }
    bool hasPlane(int ref) const { return given(ref).plane >= 0; }
    // shared with what reference ref's options override.
    MovieFileOptions apply(int ref, MovieFileOptions shared) const;
    // The window's answers for reference ref's files: answers with its size, format and plane
    // put in. A format given (its own, else sharedFormat from --pix-fmt) holds against a file's
    // name; a size without any format given means yuv420p, as --size does.
    LoadSettings applyLoadAnswers(int ref, LoadSettings answers, const QString &sharedFormat) const;

private:
    // Fields not given: size 0, format empty, plane and first frame -1.
    const MovieFileOptions &given(int ref) const { return m_given[ref == 2 ? 1 : 0]; }

    MovieFileOptions m_given[2] = {{0, 0, QString(), -1, -1, -1}, {0, 0, QString(), -1, -1, -1}};
};
