#pragma once

#include <string>
#include <vector>

// Runs one program as a child process and measures it: wall time from fork to exit, peak
// resident memory from wait4, and what the child printed on its standard output and error.
class ChildRun
{
public:
    struct Result
    {
        bool ok = false; // exited normally with status 0
        double wallSeconds = 0.0;
        long long maxRssKiB = 0;
        std::string output;
        std::string errors; // what it printed on its standard error
    };

    // argv[0] is looked up in PATH when it holds no slash. Extra environment entries
    // ("NAME=value") are added to the child's environment, and RAWBENCH_START, the monotonic
    // clock's seconds when the child was started.
    static Result run(const std::vector<std::string> &argv,
                      const std::vector<std::string> &environment = {});

    // The value printed by the child as "name=value" on a line of its own; -1 when missing.
    static double value(const std::string &output, const std::string &name);
};
