#include "findoffsetrunner.h"

#include "framecache.h"
#include "framesource.h"
#include "offsetsearch.h"
#include "sequencecomparison.h"

namespace {

QString decibels(double score) { return QString::number(score, 'f', 2); }

} // namespace

int FindOffsetRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                              const MetricsOptions &options)
{
    const qint64 budget
            = options.memoryBudget >= 0 ? options.memoryBudget : FrameCache::defaultBudget();
    for (int r = 1; r <= 2; ++r) {
        const FrameSource *pReference = comparison.getReference(r);
        if (!pReference)
            continue;
        OffsetSearch::Result result;
        std::string error;
        if (!OffsetSearch::find(main, *pReference, m_range, budget, result, error))
            return fail(1, QString::fromStdString(error));
        QString line;
        if (!result.found) {
            line = QStringLiteral("ref%1: no offset in -%2 .. %2 leaves a frame in common")
                           .arg(r)
                           .arg(m_range);
        } else if (!result.hasRunnerUp) {
            line = QStringLiteral("ref%1: offset %2 (%3 dB), no runner-up")
                           .arg(r)
                           .arg(result.offset)
                           .arg(decibels(result.score));
        } else {
            line = QString::fromLatin1(result.isClear()
                                               ? "ref%1: offset %2 (%3 dB), runner-up offset %4 "
                                                 "(%5 dB)"
                                               : "ref%1: no clear offset (best %2 at %3 dB, "
                                                 "runner-up %4 at %5 dB)")
                           .arg(r)
                           .arg(result.offset)
                           .arg(decibels(result.score))
                           .arg(result.runnerUpOffset)
                           .arg(decibels(result.runnerUpScore));
        }
        write((line + '\n').toUtf8());
    }
    return finish();
}
