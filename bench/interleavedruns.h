#pragma once

#include "childrun.h"

#include <string>
#include <vector>

// Measures several programs against each other on a noisy machine: each runs once as a
// warm-up, then every round runs each once, in an order that rotates from round to round, so
// that a burst of load elsewhere hits all of them alike. Figures are medians over the rounds.
class InterleavedRuns
{
public:
    // Returns the index of the program for the accessors below.
    int add(const std::string &name, const std::vector<std::string> &argv,
            const std::vector<std::string> &environment = {});

    // False (with a message on stderr) when a run fails.
    bool run(int rounds);

    // Median of the "name=value" numbers the program printed.
    double median(int index, const std::string &name) const;
    double medianWallSeconds(int index) const;
    // The highest peak resident memory of all rounds.
    double peakRssKiB(int index) const;

    static double median(std::vector<double> values);

private:
    struct Program
    {
        std::string name;
        std::vector<std::string> argv;
        std::vector<std::string> environment;
        std::vector<ChildRun::Result> results;
    };
    std::vector<Program> m_programs;
};
