#include "findoffsetrunner.h"

#include "framecache.h"
#include "framesource.h"
#include "offsetsearch.h"
#include "sequencecomparison.h"

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
        write((OffsetSearch::describe(result, r, m_range) + '\n').toUtf8());
    }
    return finish();
}
