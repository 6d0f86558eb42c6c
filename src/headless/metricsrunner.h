#pragma once

#include "metricsoptions.h"

#include <cstdio>
#include <memory>

class FrameSource;

// `rawcompare --metrics`: opens the main movie and its references, compares them frame by frame
// (streamed: a few frames in memory however long the files) and writes CSV or JSON to pOut,
// notes, the CSV summary and errors to pErr. Needs no window system.
class MetricsRunner
{
public:
    MetricsRunner(std::FILE *pOut, std::FILE *pErr) : m_pOut(pOut), m_pErr(pErr) { }

    // Exit status: 0 done; 1 a file can't be read or the movies can't be compared; 2 the
    // arguments don't say enough (a raw file of unknown size).
    int run(const MetricsOptions &options);

private:
    // The file as a movie of frames options.files.firstFrame ..; null with m_status set on failure.
    std::unique_ptr<FrameSource> openMovie(const QString &fileName, const MetricsOptions &options);
    void note(const QString &text);
    int fail(int status, const QString &text);
    void write(const QByteArray &bytes);

    std::FILE *m_pOut;
    std::FILE *m_pErr;
    int m_status = 0;
};
