#pragma once

#include <QString>

#include "metricsoptions.h"

// What `rawcompare --report` was asked to do.
struct ReportOptions
{
    static constexpr int defaultWorstCount = 5;

    QString directory; // created when missing; the page is DIR/index.html
    int worstCount = defaultWorstCount; // frames shown as pictures, at least 1
    MetricsOptions metrics; // the files, the frames read and the offsets
};
