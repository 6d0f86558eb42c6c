#include "interleavedruns.h"

#include <algorithm>
#include <cstdio>

int InterleavedRuns::add(const std::string &name, const std::vector<std::string> &argv,
                         const std::vector<std::string> &environment)
{
    m_programs.push_back({name, argv, environment, {}});
    return int(m_programs.size()) - 1;
}

bool InterleavedRuns::run(int rounds)
{
    const int count = int(m_programs.size());
    for (int round = -1; round < rounds; ++round) {
        for (int k = 0; k < count; ++k) {
            Program &program = m_programs[size_t((k + std::max(round, 0)) % count)];
            ChildRun::Result result = ChildRun::run(program.argv, program.environment);
            if (!result.ok) {
                std::fprintf(stderr, "bench: %s failed\n%s", program.name.c_str(),
                             result.errors.c_str());
                return false;
            }
            if (round >= 0)
                program.results.push_back(std::move(result));
        }
    }
    return true;
}

double InterleavedRuns::median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double InterleavedRuns::median(int index, const std::string &name) const
{
    std::vector<double> values;
    for (const ChildRun::Result &r : m_programs[size_t(index)].results)
        values.push_back(ChildRun::value(r.output, name));
    return median(values);
}

double InterleavedRuns::medianWallSeconds(int index) const
{
    std::vector<double> values;
    for (const ChildRun::Result &r : m_programs[size_t(index)].results)
        values.push_back(r.wallSeconds);
    return median(values);
}

double InterleavedRuns::peakRssKiB(int index) const
{
    double peak = -1.0;
    for (const ChildRun::Result &r : m_programs[size_t(index)].results)
        peak = std::max(peak, double(r.maxRssKiB));
    return peak;
}
