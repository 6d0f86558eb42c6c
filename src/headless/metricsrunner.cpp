#include "metricsrunner.h"

#include "framesource.h"
#include "metricsformatter.h"
#include "metricssummary.h"
#include "sequencecomparison.h"

int MetricsRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                           const MetricsOptions &options)
{
    comparison.setMeasuresLargestDifference(options.gate.boundsLargestDifference());
    MetricsSummary summary(main.getDepth());
    bool firstRow = true;
    for (int r = 1; r <= 2; ++r) {
        const int planes = comparison.getComparedPlaneCount(r);
        if (planes > 0 && planes < options.gate.getBoundedPlaneCount())
            note(QStringLiteral("note: reference %1 is compared on Y only: the bounds on U and V "
                                "are not checked with it")
                         .arg(r));
    }
    // Frames as the rows number them; the rows of a frame come together.
    int frames = 0, lastFrame = -1, brokenFrames = 0, lastBroken = -1;
    QByteArray brokenLines; // of the first ten frames that broke a bound
    write(options.isJson ? QByteArray("{\"frames\": [") : MetricsFormatter::csvHeader());
    const bool ok = comparison.run([&](const FrameMetrics &metrics) {
        FrameMetrics numbered = metrics;
        numbered.frame += options.files.firstFrame;
        summary.add(numbered);
        frames += numbered.frame != lastFrame ? 1 : 0;
        lastFrame = numbered.frame;
        const QByteArray broken = options.gate.check(numbered);
        if (!broken.isEmpty()) {
            brokenFrames += numbered.frame != lastBroken ? 1 : 0;
            lastBroken = numbered.frame;
            if (brokenFrames <= 10)
                brokenLines += "rawcompare: frame " + QByteArray::number(numbered.frame) + ", ref "
                        + QByteArray::number(numbered.reference) + ": " + broken + '\n';
        }
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
    // The gate is judged once the results are out whole.
    const int status = finish();
    if (status != 0 || brokenFrames == 0)
        return status;
    std::fputs(brokenLines.constData(), m_pErr);
    note(QStringLiteral("%1 of %2 frames broke a bound").arg(brokenFrames).arg(frames));
    return 3;
}
