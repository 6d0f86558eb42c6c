#pragma once

#include "comparisonrunner.h"
#include "reportoptions.h"

// `rawcompare --report DIR`: one comparison pass over the files as --metrics makes it, then
// the worst frames read again for their pictures, written with the page by ReportWriter into
// DIR. Notes and errors go to pErr. Needs no window system (Qt's offscreen platform paints the
// plots).
class ReportRunner : public ComparisonRunner
{
public:
    ReportRunner(std::FILE *pOut, std::FILE *pErr, const ReportOptions &options)
        : ComparisonRunner(pOut, pErr), m_options(options)
    { }

    // Exit status: 0 done; 1 a file can't be read, the movies can't be compared or the report
    // can't be written; 2 the arguments don't say enough (a raw file of unknown size).
    int run() { return ComparisonRunner::run(m_options.metrics); }

protected:
    int compare(SequenceComparison &comparison, const FrameSource &main,
                const MetricsOptions &options) override;

private:
    ReportOptions m_options;
};
