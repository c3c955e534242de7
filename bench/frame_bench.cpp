// The game's own work per frame of play: a timedemo that replays a long generated game headless
// in this process (virtual clock: no real waiting; no window: no present) and times every
// main-loop pass that runs a frame of play.
//   build/bench/gnatrix_bench --benchmark_filter=Timedemo
// Counters: play_frames, fps (frames of play per second of wall time), p50/p99 of wall and of
// thread CPU microseconds per frame.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "game/state.h"
#include "platform/input.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t PASSES = 11000;

// A player that sweeps the rocket across the screen firing every few frames and starts a new
// game every 420 passes (a game without enough hits ends at its misses a little before that).
std::string write_script() {
    const std::string path = "/tmp/gnatrix_timedemo_" + std::to_string(::getpid()) + ".txt";
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return "";
    std::fprintf(f, "gnatrix-input 1\nseed 4711\n");
    for (uint32_t p = 1; p < PASSES; ++p) {
        std::fprintf(f, "@%u mouse %d 0\n", p, (p / 90) % 2 ? -7 : 7);
        if (p % 6 == 0) std::fprintf(f, "@%u button down\n", p);
        if (p % 6 == 1) std::fprintf(f, "@%u button up\n", p);
        if (p % 420 == 0) std::fprintf(f, "@%u key f2 down\n@%u key f2 up\n", p, p + 1);
    }
    std::fprintf(f, "@%u close\n", PASSES);
    std::fclose(f);
    return path;
}

struct PassStart {
    int64_t wall, cpu;
    bool play;  // the pass runs a whole frame of play
};
std::vector<PassStart> pass_starts;

void note_pass(uint32_t) {
    pass_starts.push_back({clock_ns(CLOCK_MONOTONIC), clock_ns(CLOCK_THREAD_CPUTIME_ID),
                           game_state == STATE_PLAY && !paused});
}

void Timedemo(benchmark::State& state) {
    Options options;
    options.headless = true;
    options.play_file = write_script();
    pass_starts.reserve(PASSES + 16);
    for (auto _ : state) {
        if (!platform_init(options)) {
            state.SkipWithError(platform_error());
            return;
        }
        platform_add_pass_hook(note_pass);
        WinMain();
        input_platform_finish();
        platform_shutdown();
    }
    std::remove(options.play_file.c_str());
    std::vector<int64_t> wall, cpu;
    int64_t wall_total = 0;
    for (size_t i = 0; i + 1 < pass_starts.size(); ++i) {
        if (!pass_starts[i].play) continue;
        wall.push_back(pass_starts[i + 1].wall - pass_starts[i].wall);
        cpu.push_back(pass_starts[i + 1].cpu - pass_starts[i].cpu);
        wall_total += wall.back();
    }
    state.counters["play_frames"] = double(wall.size());
    state.counters["fps"] = wall_total ? 1e9 * double(wall.size()) / double(wall_total) : 0;
    state.counters["wall_p50_us"] = double(percentile(wall, 0.5)) / 1e3;
    state.counters["wall_p99_us"] = double(percentile(wall, 0.99)) / 1e3;
    state.counters["cpu_p50_us"] = double(percentile(cpu, 0.5)) / 1e3;
    state.counters["cpu_p99_us"] = double(percentile(cpu, 0.99)) / 1e3;
}
// The game boots once per process.
BENCHMARK(Timedemo)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
