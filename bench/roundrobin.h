#pragma once

#include <functional>
#include <string>
#include <vector>

// In-process counterpart of InterleavedRuns: each measured function (returning the seconds of
// the part it measures) runs once as a warm-up, then once per round in an order that rotates
// from round to round.
class RoundRobin
{
public:
    int add(const std::string &name, std::function<double()> measured);
    void run(int rounds);
    double median(int index) const;

private:
    struct Entry
    {
        std::string name;
        std::function<double()> measured;
        std::vector<double> seconds;
    };
    std::vector<Entry> m_entries;
};
