// Turning the 8-bit screen into 32-bit pixels: our lookup-table loop against SDL's own 8-to-32
// bit blit and against a plain copy of a 32-bit frame, in the same run.
// With a display (for example under xvfb-run), also the whole present into a window at 1x and 2x.
//   build/bench/gnatrix_bench --benchmark_filter=Present
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/platform.h"
#include "platform/present_convert.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"

namespace {

constexpr int W = 640, H = 480;

std::vector<uint8_t> screen_pixels() {
    std::vector<uint8_t> pixels(W * H);
    uint32_t seed = 4711;
    for (uint8_t& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = uint8_t(seed >> 16);
    }
    return pixels;
}

void palette(PALETTEENTRY entries[256]) {
    for (int i = 0; i < 256; ++i) entries[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
}

// Whole frames at 1x, or at n x n blocks a pixel.
void convert_frames(benchmark::State& state, int n) {
    const std::vector<uint8_t> src = screen_pixels();
    std::vector<uint32_t> dst(size_t(W * H * n * n));
    PALETTEENTRY entries[256];
    palette(entries);
    uint32_t table[256];
    state.SetLabel(present_converter_name(present_converter()));
    for (auto _ : state) {
        present_build_table(entries, table);
        present_convert_scaled(src.data(), W, W, H, table, n, dst.data(), W * n * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

// The converter the game chooses on this processor (its name is the label).
void PresentLookupTable(benchmark::State& state) {
    convert_frames(state, 1);
}
BENCHMARK(PresentLookupTable);

// Each converter the processor has (0 plain, 1 gather, 2 permute), at 1x and 2x.
void PresentLookupTableWith(benchmark::State& state) {
    const PresentConverter chosen = present_converter();
    if (!present_use_converter(PresentConverter(state.range(0)))) {
        state.SkipWithError("not on this processor");
        return;
    }
    convert_frames(state, int(state.range(1)));
    present_use_converter(chosen);
}
BENCHMARK(PresentLookupTableWith)
    ->ArgNames({"converter", "scale"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, PRESENT_CONVERTERS - 1, 1), {1, 2}});

// The timing by which the game chooses its converter, once, at the start of presentation.
void PresentChooseConverter(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(present_choose_converter());
    state.SetLabel(present_converter_name(present_choose_converter()));
}
BENCHMARK(PresentChooseConverter)->Unit(benchmark::kMicrosecond);

void PresentSdlBlit8To32(benchmark::State& state) {
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, W, H, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    const std::vector<uint8_t> pixels = screen_pixels();
    for (int y = 0; y < H; ++y)
        std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch, &pixels[y * W], W);
    PALETTEENTRY entries[256];
    palette(entries);
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue, 255};
    for (auto _ : state) {
        // A palette change each frame, as the lookup loop rebuilds its table each frame.
        SDL_SetPaletteColors(src->format->palette, colours, 0, 256);
        SDL_BlitSurface(src, nullptr, dst, nullptr);
        benchmark::DoNotOptimize(dst->pixels);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}
BENCHMARK(PresentSdlBlit8To32);

void PresentCopy32(benchmark::State& state) {
    std::vector<uint32_t> src(W * H, 0x00123456), dst(W * H);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), W * H * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(PresentCopy32);

void PresentCopy8(benchmark::State& state) {
    const std::vector<uint8_t> src = screen_pixels();
    std::vector<uint8_t> dst(W * H);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), W * H);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(PresentCopy8);

// The platform starts once per process (SDL does not come back up cleanly after quitting), with
// one window that each case sizes to its scale.
bool window_ready() {
    static bool ready = [] {
        Options options;
        options.window = true;
        options.scale = 1;
        if (!platform_init(options)) return false;
        const WindowClass wc{0, def_window_proc, nullptr, "PRESENTBENCH"};
        register_class(wc);
        if (!create_window("PRESENTBENCH", "present bench", 0, 0, W, H)) return false;
        if (!gfx_init(W, H, 8, false, true)) return false;
        PALETTEENTRY entries[256];
        palette(entries);
        pal_apply(entries);
        uint8_t* p = gfx_lock_primary();
        const std::vector<uint8_t> pixels = screen_pixels();
        for (int y = 0; y < H; ++y) std::memcpy(p + y * primary_pitch, &pixels[y * W], W);
        gfx_unlock_primary();
        return true;
    }();
    return ready;
}

void size_window(int scale) {
    SDL_SetWindowSize(platform_sdl_window(), W * scale, H * scale);
    for (int i = 0; i < 10; ++i) platform_pump_events();
    display_window_changed();
}

void empty_overlay(SDL_Renderer*) {}

// Each iteration changes one pixel and forces the present, so every present converts and shows
// a whole frame. Arguments: the scale, and whether the frame goes through SDL's renderer (a
// streaming texture copied into the window, the reference) instead of straight into the
// window's pixels; an overlay that draws nothing is what sends it there.
void PresentWholeFrameInWindow(benchmark::State& state) {
    if (!window_ready()) {
        state.SkipWithError(platform_error());
        return;
    }
    size_window(int(state.range(0)));
    display_set_overlay(state.range(1) ? empty_overlay : nullptr);
    uint8_t* p = gfx_lock_primary();
    uint8_t n = 0;
    for (auto _ : state) {
        p[0] = ++n;
        display_present(true);
    }
    gfx_unlock_primary();
    display_set_overlay(nullptr);
}
BENCHMARK(PresentWholeFrameInWindow)
    ->ArgNames({"scale", "renderer"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMicrosecond);

// The present the game makes when it yields (not forced), after the couple of milliseconds
// that presents are spaced by. Arguments: whether a pixel changed, whether an overlay (the
// control panel's hook, here drawing nothing) is set. At 1x.
void PresentWhenYielding(benchmark::State& state) {
    if (!window_ready()) {
        state.SkipWithError(platform_error());
        return;
    }
    size_window(1);
    const bool change = state.range(0) != 0;
    display_set_overlay(state.range(1) ? empty_overlay : nullptr);
    uint8_t* p = gfx_lock_primary();
    uint8_t n = 0;
    display_present(true);
    for (auto _ : state) {
        state.PauseTiming();
        const uint64_t gap_end = SDL_GetPerformanceCounter() + SDL_GetPerformanceFrequency() / 400;
        while (SDL_GetPerformanceCounter() < gap_end) {
        }
        if (change) p[0] = ++n;
        state.ResumeTiming();
        display_present(false);
    }
    gfx_unlock_primary();
    display_set_overlay(nullptr);
}
BENCHMARK(PresentWhenYielding)
    ->ArgNames({"changed", "overlay"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
