#pragma once

#include "comparisonrunner.h"

// `rawcompare --block-errors N`: the MSE, PSNR and largest difference of every N x N block of
// every plane compared, one CSV line (or JSON object) per frame, reference, plane and block.
// Needs no window system.
class BlockErrorsRunner : public ComparisonRunner
{
public:
    using ComparisonRunner::ComparisonRunner;

protected:
    int compare(SequenceComparison &comparison, const FrameSource &main,
                const MetricsOptions &options) override;
};
