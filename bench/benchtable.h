#pragma once

#include <string>
#include <vector>

// The benchmark's result table: one row per figure and comparison, printed as Markdown.
class BenchTable
{
public:
    // ours and reference are already formatted medians ("0.512 s"); ratio = ours / reference
    // in the figure's unit; the row passes when ratio <= limit.
    void addRow(const std::string &figure, const std::string &what, const std::string &ours,
                const std::string &reference, double ratio, double limit);
    // A row that only reports: the ratio, no target.
    void addInfo(const std::string &figure, const std::string &what, const std::string &ours,
                 const std::string &reference, double ratio);

    std::string markdown() const;
    int failures() const;

    static std::string seconds(double value);
    static std::string mebibytes(double kibibytes);

private:
    struct Row
    {
        std::string figure;
        std::string what;
        std::string ours;
        std::string reference;
        std::string ratio;
        std::string target;
        std::string result;
    };
    std::vector<Row> m_rows;
    int m_failures = 0;
};
