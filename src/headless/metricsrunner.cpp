#include "metricsrunner.h"

#include "framesource.h"
#include "metricsformatter.h"
#include "metricssummary.h"
#include "sequencecomparison.h"

int MetricsRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                           const MetricsOptions &options)
{
    comparison.setMeasuresLargestDifference(options.gate.boundsLargestDifference());
    if (!options.region.isEmpty()) {
        const QRect frame(0, 0, main.getPlaneWidth(0), main.getPlaneHeight(0));
        const QRect region = options.region & frame;
        const QString given = QStringLiteral("%1,%2,%3,%4")
                                      .arg(options.region.x())
                                      .arg(options.region.y())
                                      .arg(options.region.width())
                                      .arg(options.region.height());
        if (region.isEmpty())
            return fail(2,
                        QStringLiteral("--region %1 lies outside the main movie's %2x%3 frame")
                                .arg(given)
                                .arg(frame.width())
                                .arg(frame.height()));
        if (region != options.region)
            note(QStringLiteral("note: --region %1 is cut to the %2x%3 frame: %4,%5,%6,%7")
                         .arg(given)
                         .arg(frame.width())
                         .arg(frame.height())
                         .arg(region.x())
                         .arg(region.y())
                         .arg(region.width())
                         .arg(region.height()));
        comparison.setRegion(region);
    }
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
