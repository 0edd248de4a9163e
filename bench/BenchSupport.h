#ifndef NQ_BENCH_BENCHSUPPORT_H
#define NQ_BENCH_BENCHSUPPORT_H

#include <algorithm>
#include <chrono>
#include <vector>

// Timing helpers shared by the benchmark programs.

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

#endif
