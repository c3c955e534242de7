// Pacing: frames of 35 ms paced the way the frame of play paces them (frame start, some work,
// wait until the frame's delay has passed), by the real clock's wait and, in the same run, by
// a busy-wait on SDL's millisecond ticks as the original game did.
//   build/bench/gnatrix_bench --benchmark_filter=Pace
// Counters: short_frames (frames shorter than the delay in the pacing clock's own ticks),
// late_p50/p99/max_us (end of the wait after the instant the deadline tick began, the ticks
// taken as regular milliseconds: exact for our clock; SDL's ticks are relabelled by one for part
// of every second, so for them early_frames and late_min are artefacts and the frame lengths
// tell), frame_min/max_ms and frames_under_34.95ms (real time between the ends of successive
// waits), drift_pct (mean real frame against 35 ms),
// cpu_pct (process CPU over wall time, the work included), wait_cpu_pct (CPU spent waiting),
// stalls (frames in which the scheduler kept the thread off the processor for more than
// 0.2 ms) and late_p99_no_stall_us (p99 lateness over the frames without one).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/bench_util.h"
#include "platform/clock.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t FRAME_MS = 35;
constexpr int64_t WORK_NS = 500000;  // stands in for a frame's drawing and present
constexpr int64_t STALL_NS = 200000;

// Nanoseconds this thread has spent runnable but waiting for a processor.
int64_t run_queue_ns() {
    long long on_cpu = 0, waiting = 0;
    FILE* f = std::fopen("/proc/thread-self/schedstat", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%lld %lld", &on_cpu, &waiting) != 2) waiting = 0;
    std::fclose(f);
    return waiting;
}

using Ticks = uint32_t (*)();
using Wait = void (*)(uint32_t start, uint32_t ms);

// The instant tick 0 would have begun, taken from the tick change seen most closely.
int64_t tick_zero(Ticks ticks) {
    int64_t best_gap = INT64_MAX, zero = 0;
    uint32_t last = ticks();
    int64_t last_t = clock_ns(CLOCK_MONOTONIC);
    for (int changes = 0; changes < 40;) {
        const uint32_t v = ticks();
        const int64_t t = clock_ns(CLOCK_MONOTONIC);
        if (v != last) {
            ++changes;
            if (t - last_t < best_gap) {
                best_gap = t - last_t;
                zero = t - int64_t(v) * 1000000;
            }
            last = v;
        }
        last_t = t;
    }
    return zero;
}

void spin_for(int64_t ns) {
    const int64_t end = clock_ns(CLOCK_MONOTONIC) + ns;
    while (clock_ns(CLOCK_MONOTONIC) < end) {
    }
}

void pace(benchmark::State& state, Ticks ticks, Wait wait) {
    const int64_t zero = tick_zero(ticks);
    std::vector<int64_t> late, late_calm, frame;
    int64_t short_frames = 0, early = 0, stalls = 0, wait_cpu = 0;
    const int64_t cpu_before = clock_ns(CLOCK_PROCESS_CPUTIME_ID),
                  wall_before = clock_ns(CLOCK_MONOTONIC);
    int64_t previous_end = wall_before;
    for (auto _ : state) {
        const uint32_t start = ticks();
        spin_for(WORK_NS);
        const int64_t queue_before = run_queue_ns(),
                      wait_cpu_before = clock_ns(CLOCK_THREAD_CPUTIME_ID);
        wait(start, FRAME_MS);
        const int64_t end = clock_ns(CLOCK_MONOTONIC);
        const uint32_t end_tick = ticks();
        wait_cpu += clock_ns(CLOCK_THREAD_CPUTIME_ID) - wait_cpu_before;
        const int64_t lateness = end - (zero + (int64_t(start) + FRAME_MS) * 1000000);
        const bool stalled = run_queue_ns() - queue_before > STALL_NS;
        short_frames += end_tick - start < FRAME_MS;
        early += lateness < 0;
        stalls += stalled;
        late.push_back(lateness);
        frame.push_back(end - previous_end);
        previous_end = end;
        if (!stalled) late_calm.push_back(lateness);
    }
    const double wall = double(clock_ns(CLOCK_MONOTONIC) - wall_before),
                 frames = double(state.iterations());
    state.counters["short_frames"] = double(short_frames);
    state.counters["early_frames"] = double(early);
    state.counters["late_p50_us"] = double(percentile(late, 0.5)) / 1e3;
    state.counters["late_p99_us"] = double(percentile(late, 0.99)) / 1e3;
    state.counters["late_max_us"] = double(percentile(late, 1.0)) / 1e3;
    state.counters["late_min_us"] = double(percentile(late, 0.0)) / 1e3;
    state.counters["stalls"] = double(stalls);
    state.counters["late_p99_no_stall_us"] = double(percentile(late_calm, 0.99)) / 1e3;
    frame.erase(frame.begin());  // the first frame started mid-tick
    state.counters["frame_min_ms"] = double(percentile(frame, 0.0)) / 1e6;
    state.counters["frame_max_ms"] = double(percentile(frame, 1.0)) / 1e6;
    state.counters["frames_under_34.95ms"] =
        double(std::count_if(frame.begin(), frame.end(), [](int64_t f) { return f < 34950000; }));
    state.counters["drift_pct"] = 100.0 * (wall / frames / (FRAME_MS * 1e6) - 1.0);
    state.counters["cpu_pct"] =
        100.0 * double(clock_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu_before) / wall;
    state.counters["wait_cpu_pct"] = 100.0 * double(wait_cpu) / wall;
}

void start_real_clock() {
    Options options;
    options.headless = true;
    platform_init(options);
    clock_set_virtual(false);
}

void stop_real_clock() {
    clock_set_virtual(true);
    platform_shutdown();
}

void PaceClockWait(benchmark::State& state) {
    start_real_clock();
    pace(state, clock_ticks, [](uint32_t start, uint32_t ms) { clock_wait(start, ms); });
    stop_real_clock();
}
BENCHMARK(PaceClockWait)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: the original game's wait, spinning on the millisecond tick.
void PaceBusyWaitSdlTicks(benchmark::State& state) {
    start_real_clock();
    pace(state, SDL_GetTicks, [](uint32_t start, uint32_t ms) {
        while (SDL_GetTicks() - start < ms) {
        }
    });
    stop_real_clock();
}
BENCHMARK(PaceBusyWaitSdlTicks)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
