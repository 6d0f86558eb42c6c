#include "metricsgate.h"

#include <algorithm>
#include <cmath>

#include <QStringList>

#include "framemetrics.h"
#include "metricsformatter.h"

namespace {

// The measure columns of the CSV, in its order: measure * 3 + plane.
const char *const columnNames[9]
        = {"mse_y", "mse_u", "mse_v", "psnr_y", "psnr_u", "psnr_v", "ssim_y", "ssim_u", "ssim_v"};

} // namespace

bool MetricsGate::addBounds(const QString &list, bool below, QString &error)
{
    const QString option = below ? QStringLiteral("--fail-below") : QStringLiteral("--fail-above");
    std::vector<int> given;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString name = item.left(equals).trimmed();
        const int column = int(std::find(std::begin(columnNames), std::end(columnNames), name)
                               - std::begin(columnNames));
        bool ok = false;
        const double value = item.mid(equals + 1).toDouble(&ok);
        if (equals < 0 || column == 9) {
            error = QStringLiteral("Unknown column '%1' for %2: expected NAME=VALUE with NAME "
                                   "one of mse_y, mse_u, mse_v, psnr_y, psnr_u, psnr_v, ssim_y, "
                                   "ssim_u, ssim_v.")
                            .arg(equals < 0 ? item : name, option);
            return false;
        }
        if (!ok || !std::isfinite(value)) {
            error = QStringLiteral("Invalid value '%1' for %2 of %3: expected a number.")
                            .arg(item.mid(equals + 1), name, option);
            return false;
        }
        if (std::find(given.begin(), given.end(), column) != given.end()) {
            error = QStringLiteral("%1 given twice in %2.").arg(name, option);
            return false;
        }
        given.push_back(column);
        m_bounds.push_back(Bound {column / 3, column % 3, below, value});
    }
    return true;
}

int MetricsGate::getBoundedPlaneCount() const
{
    int planes = 0;
    for (const Bound &bound : m_bounds)
        planes = std::max(planes, bound.plane == 0 ? 1 : 3);
    return planes;
}

QByteArray MetricsGate::check(const FrameMetrics &metrics) const
{
    QByteArray broken;
    const auto add = [&broken](const QByteArray &name, double value, bool below, double bound) {
        broken += (broken.isEmpty() ? "" : ", ") + name + ' ' + MetricsFormatter::number(value)
                + (below ? " below " : " above ") + MetricsFormatter::number(bound);
    };
    for (const Bound &bound : m_bounds) {
        if (bound.plane >= metrics.planeCount)
            continue;
        const PlaneMetrics &plane = metrics.planes[size_t(bound.plane)];
        const double value = bound.measure == 0 ? plane.mse
                : bound.measure == 1            ? plane.psnr
                                                : plane.ssim;
        if (bound.below ? value < bound.value : value > bound.value)
            add(columnNames[bound.measure * 3 + bound.plane], value, bound.below, bound.value);
    }
    double largest = 0.0;
    for (int plane = 0; plane < metrics.planeCount; ++plane)
        largest = std::max(largest, metrics.planes[size_t(plane)].maxAbsDiff);
    if (m_maxAbsDiff >= 0 && largest > m_maxAbsDiff)
        add("max_abs_diff", largest, false, m_maxAbsDiff);
    return broken;
}
