#pragma once

#include "comparisonrunner.h"

// `rawcompare --metrics`: MSE, PSNR and SSIM of every frame as CSV or JSON on the output, the
// CSV summary on the error stream; exit status 3 when a frame broke a bound of options.gate,
// with the first ten such frames on the error stream. Needs no window system.
class MetricsRunner : public ComparisonRunner
{
public:
    using ComparisonRunner::ComparisonRunner;

protected:
    int compare(SequenceComparison &comparison, const FrameSource &main,
                const MetricsOptions &options) override;
};
