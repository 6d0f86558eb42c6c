#include "benchtable.h"

#include <cmath>
#include <cstdio>

namespace {
std::string format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}
} // namespace

void BenchTable::addRow(const std::string &figure, const std::string &what, const std::string &ours,
                        const std::string &reference, double ratio, double limit)
{
    const bool pass = std::isfinite(ratio) && ratio <= limit;
    if (!pass)
        ++m_failures;
    m_rows.push_back({figure, what, ours, reference, format("%.2f×", ratio),
                      format("≤ %.2f×", limit), pass ? "pass" : "**FAIL**"});
}

void BenchTable::addInfo(const std::string &figure, const std::string &what,
                         const std::string &ours, const std::string &reference, double ratio)
{
    m_rows.push_back({figure, what, ours, reference, format("%.2f×", ratio), "(none)", "info"});
}

std::string BenchTable::markdown() const
{
    std::string text = "| # | Measurement | rawcompare | Reference | Ratio | Target | Result |\n"
                       "|---|---|---:|---:|---:|---:|---|\n";
    for (const Row &row : m_rows) {
        text += "| " + row.figure + " | " + row.what + " | " + row.ours + " | " + row.reference
                + " | " + row.ratio + " | " + row.target + " | " + row.result + " |\n";
    }
    return text;
}

int BenchTable::failures() const { return m_failures; }

std::string BenchTable::seconds(double value)
{
    if (value < 1e-3)
        return format("%.1f µs", value * 1e6);
    if (value < 1.0)
        return format("%.2f ms", value * 1e3);
    return format("%.3f s", value);
}

std::string BenchTable::mebibytes(double kibibytes) { return format("%.0f MiB", kibibytes / 1024); }
