#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

struct FrameMetrics;

// The bounds every frame of `rawcompare --metrics` must hold: a measure column of the CSV
// (mse_y .. ssim_v) not below or not above a value, and the largest |main - reference| of the
// planes compared not above a value. A measure not compared (an empty CSV cell) or nan breaks
// no bound.
class MetricsGate
{
public:
    // "psnr_y=40,ssim_y=0.98": bounds that break when a frame's value is below (else above)
    // theirs. False with the error (one sentence) for an unknown column, a bad or non-finite
    // number, or a column given twice in one list.
    bool addBounds(const QString &list, bool below, QString &error);
    void setMaxAbsDiff(double value) { m_maxAbsDiff = value; } // < 0: no bound
    bool boundsLargestDifference() const { return m_maxAbsDiff >= 0; }
    // 1 when only Y is bounded, 3 when U or V is; 0 without bounds on columns.
    int getBoundedPlaneCount() const;

    // The bounds the row breaks: "psnr_y 38.2 below 40, max_abs_diff 37 above 10"; empty when
    // it holds every bound.
    QByteArray check(const FrameMetrics &metrics) const;

private:
    struct Bound
    {
        int measure = 0; // 0 mse, 1 psnr, 2 ssim: the order of the CSV
        int plane = 0;
        bool below = true;
        double value = 0.0;
    };
    std::vector<Bound> m_bounds;
    double m_maxAbsDiff = -1.0;
};
