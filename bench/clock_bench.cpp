// Pacing of the real clock: a 35 ms frame wait, repeated as the frame of play repeats it.
// Reports how late each wait ends after its deadline and how much CPU the waiting costs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "platform/platform.h"

namespace {

double cpu_seconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each wait starts from the tick the previous one returned, as the game's frames do, so an
// interval longer than 35 ms is lateness past the deadline.
void RealWait35ms(benchmark::State& state) {
    Options options;
    options.headless = true;
    platform_init(options);
    clock_set_virtual(false);
    using steady = std::chrono::steady_clock;
    uint32_t start = clock_wait(clock_ticks(), 1);
    steady::time_point previous = steady::now();
    double late_total = 0, late_max = 0, cpu_before = cpu_seconds();
    for (auto _ : state) {
        start = clock_wait(start, 35);
        steady::time_point now = steady::now();
        double late = std::chrono::duration<double, std::milli>(now - previous).count() - 35.0;
        previous = now;
        late_total += late;
        late_max = std::max(late_max, late);
    }
    double cpu = cpu_seconds() - cpu_before;
    state.counters["late_mean_ms"] = late_total / state.iterations();
    state.counters["late_max_ms"] = late_max;
    state.counters["cpu_percent"] = 100.0 * cpu / (state.iterations() * 0.035);
    clock_set_virtual(true);
    platform_shutdown();
}
BENCHMARK(RealWait35ms)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
