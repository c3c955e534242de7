// What the benchmarks share: reading a clock, and a percentile of a run's samples.
#pragma once
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

// CLOCK_MONOTONIC for wall time, or the CPU time of the process or thread; unlike getrusage,
// the CPU clocks are up to date while the thread runs.
inline int64_t clock_ns(clockid_t id) {
    timespec t;
    clock_gettime(id, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The value at fraction p (0: the least, 1: the greatest) of the samples; 0 when there are none.
inline int64_t percentile(std::vector<int64_t> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}
