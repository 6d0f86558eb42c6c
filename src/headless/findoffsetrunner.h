#pragma once

#include "comparisonrunner.h"

// `rawcompare --find-offset[=MAX]`: for each reference, the offset in -MAX .. MAX (reference
// frame f - offset meets main frame f) whose frames are most alike, by the mean Y PSNR over the
// frames both have. A PSNR above 100 dB (identical frames) counts as 100 dB in the mean. Every
// offset is ranked on a subsample of Y (every 4th sample of every 4th row, sparser when that
// would not fit the memory budget); the best few are then scored on the whole picture. One line per
// reference on the output; "no clear offset" when the best and the runner-up are within 0.1 dB.
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
