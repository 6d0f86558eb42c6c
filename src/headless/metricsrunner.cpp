#include "metricsrunner.h"

#include "framesource.h"
#include "metricsformatter.h"
#include "metricssummary.h"
#include "sequencecomparison.h"

int MetricsRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                           const MetricsOptions &options)
{
    MetricsSummary summary(main.getDepth());
    bool firstRow = true;
    write(options.isJson ? QByteArray("{\"frames\": [") : MetricsFormatter::csvHeader());
    const bool ok = comparison.run([&](const FrameMetrics &metrics) {
        FrameMetrics numbered = metrics;
        numbered.frame += options.files.firstFrame;
        summary.add(numbered);
        if (options.isJson) {
            write((firstRow ? "\n" : ",\n") + MetricsFormatter::jsonRow(numbered));
            firstRow = false;
        } else {
            write(MetricsFormatter::csvRow(numbered));
        }
        return true;
    });
    if (!ok)
        return stopped(comparison, options.isJson);

    QByteArray summaryText;
    for (int r = 1; r <= 2; ++r) {
        const int planes = comparison.getComparedPlaneCount(r);
        if (planes == 0 || comparison.getComparedFrameCount(r) == 0)
            continue;
        if (options.isJson)
            summaryText += (summaryText.isEmpty() ? "\n" : ",\n")
                    + MetricsFormatter::jsonSummary(summary, r, planes);
        else
            summaryText += MetricsFormatter::textSummary(summary, r, planes);
    }
    if (options.isJson)
        write("\n], \"summary\": [" + summaryText + "\n]}\n");
    else
        std::fputs(summaryText.constData(), m_pErr);
    return finish();
}
