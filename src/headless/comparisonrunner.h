#pragma once

#include "metricsoptions.h"

#include <cstdio>
#include <memory>

class FrameSource;
class SequenceComparison;

// What `rawcompare --metrics` and `--block-errors` share: opens the main movie and its
// references, notes on pErr what is not compared and why, and sets up the frame by frame
// comparison (streamed: a few frames in memory however long the files) that the mode writes out.
class ComparisonRunner
{
public:
    ComparisonRunner(std::FILE *pOut, std::FILE *pErr) : m_pOut(pOut), m_pErr(pErr) { }
    virtual ~ComparisonRunner() = default;

    // Exit status: 0 done; 1 a file can't be read or the movies can't be compared; 2 the
    // arguments don't say enough (a raw file of unknown size); 3 (--metrics) a frame broke a
    // bound of options.gate.
    int run(const MetricsOptions &options);

protected:
    // Runs the comparison and writes its rows to m_pOut; the exit status.
    virtual int compare(SequenceComparison &comparison, const FrameSource &main,
                        const MetricsOptions &options)
            = 0;
    void note(const QString &text);
    int fail(int status, const QString &text);
    void write(const QByteArray &bytes);
    // After a run that stopped: closes the JSON document with an "error" member, says why on
    // pErr; 1.
    int stopped(const SequenceComparison &comparison, bool isJson);
    // 0, or 1 with a note when the results could not be written.
    int finish();

    std::FILE *m_pOut;
    std::FILE *m_pErr;

private:
    // The file as a movie of frames files.firstFrame ..; null with m_status set on failure.
    std::unique_ptr<FrameSource> openMovie(const QString &fileName, const MovieFileOptions &files);

    int m_status = 0;
};
