#pragma once

#include <ctime>

// Monotonic seconds, for the measured operations of the benchmark.
inline double benchSeconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
