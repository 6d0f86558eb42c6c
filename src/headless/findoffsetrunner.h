#pragma once

#include "comparisonrunner.h"

// `rawcompare --find-offset[=MAX]`: for each reference, where it fits the main movie
// (OffsetSearch over -MAX .. MAX). One line per reference on the output; "no clear offset"
// when the best and the runner-up are within 0.1 dB.
class FindOffsetRunner : public ComparisonRunner
{
public:
    FindOffsetRunner(std::FILE *pOut, std::FILE *pErr, int range)
        : ComparisonRunner(pOut, pErr), m_range(range)
    { }

protected:
    int compare(SequenceComparison &comparison, const FrameSource &main,
                const MetricsOptions &options) override;

private:
    int m_range;
};
