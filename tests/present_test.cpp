// Presentation: the palette table and conversion with a wide pitch, the 4:3 letterbox in
// outputs of other shapes, and the whole path into a window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/platform.h"
#include "platform/present_convert.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"
#include "tests/test_window.h"
#include "tools/process/process.h"

namespace {

std::vector<int> box(const Letterbox& b) {
    return {b.x, b.y, b.w, b.h};
}

TEST(Present, ConversionFollowsThePaletteAndBothPitches) {
    PALETTEENTRY palette[256] = {};
    palette[1] = {0x12, 0x34, 0x56, PC_NOCOLLAPSE};
    palette[255] = {255, 0, 1, 0};
    uint32_t table[256];
    present_build_table(palette, table);
    EXPECT_EQ(0x123456u, table[1]);
    EXPECT_EQ(0xFF0001u, table[255]);

    // 13 x 2 pixels (a block of eight and a tail) in rows of 16 bytes, into rows of 14 words.
    std::vector<uint8_t> src(32, 9);
    for (int x = 0; x < 13; ++x) src[x] = src[16 + x] = uint8_t(x % 2 ? 255 : 1);
    std::vector<uint32_t> dst(28, 0xDEADBEEF);
    present_convert(src.data(), 16, 13, 2, table, dst.data(), 14 * 4);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 13; ++x) EXPECT_EQ(x % 2 ? 0xFF0001u : 0x123456u, dst[y * 14 + x]);
        EXPECT_EQ(0xDEADBEEFu, dst[y * 14 + 13]);
    }
}

TEST(Present, WholeMultiplesMakeBlocksOfEachPixel) {
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = 0x010101u * uint32_t(i);
    // 11 x 2 pixels (a block of eight and a tail); 2 takes the vector path, 3 the plain one.
    std::vector<uint8_t> src(2 * 12);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 7);
    for (int n : {1, 2, 3}) {
        const int pitch = 11 * n + 5;  // in pixels; the last five must stay untouched
        std::vector<uint32_t> dst(size_t(2 * n * pitch), 0xDEADBEEF);
        present_convert_scaled(src.data(), 12, 11, 2, table, n, dst.data(), pitch * 4);
        for (int y = 0; y < 2 * n; ++y) {
            for (int x = 0; x < 11 * n; ++x)
                ASSERT_EQ(table[src[size_t(y / n * 12 + x / n)]], dst[size_t(y * pitch + x)])
                    << "n " << n << " at " << x << "," << y;
            EXPECT_EQ(0xDEADBEEFu, dst[size_t(y * pitch + 11 * n)]) << "n " << n;
        }
    }
}

// Every converter the processor has, against the table looked up one pixel at a time: rows of
// 3 x 64 + 13 pixels (the permuting blocks, a gather block and a tail), at 1x, 2x and 3x.
TEST(Present, EveryConverterGivesTheSamePixelsAndGNATRIX_CONVERTERChooses) {
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint32_t(i * 0x9E3779B1u) & 0xFFFFFF;
    constexpr int W = 205, H = 3, PITCH = 211;
    std::vector<uint8_t> src(PITCH * H);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 37 + i / 7);
    const PresentConverter chosen = present_converter();
    for (int c = 0; c < PRESENT_CONVERTERS; ++c) {
        if (!present_use_converter(PresentConverter(c))) continue;
        const char* name = present_converter_name(PresentConverter(c));
        for (int n : {1, 2, 3}) {
            const int out_pitch = W * n + 5;  // in pixels; the last five must stay untouched
            std::vector<uint32_t> dst(size_t(H * n * out_pitch), 0xDEADBEEF);
            present_convert_scaled(src.data(), PITCH, W, H, table, n, dst.data(), out_pitch * 4);
            for (int y = 0; y < H * n; ++y) {
                for (int x = 0; x < W * n; ++x)
                    ASSERT_EQ(table[src[size_t(y / n * PITCH + x / n)]],
                              dst[size_t(y * out_pitch + x)])
                        << name << " n " << n << " at " << x << "," << y;
                EXPECT_EQ(0xDEADBEEFu, dst[size_t(y * out_pitch + W * n)]) << name;
            }
        }
    }
    present_use_converter(chosen);

    process_set_env("GNATRIX_CONVERTER", "plain");
    EXPECT_EQ(PresentConverter::Plain, present_choose_converter());
    process_set_env("GNATRIX_CONVERTER", "permute");
    const PresentConverter permute = present_choose_converter();
    EXPECT_TRUE(permute == PresentConverter::Permute ||
                !present_converter_available(PresentConverter::Permute))
        << "an unavailable converter falls back to the fastest available";
    process_unset_env("GNATRIX_CONVERTER");
    EXPECT_TRUE(present_converter_available(present_choose_converter()));
}

TEST(Present, OnlyAHardwareOpenGlRendererCountsAsAccelerated) {
    EXPECT_TRUE(present_is_software_rasteriser("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(present_is_software_rasteriser("softpipe"));
    EXPECT_TRUE(present_is_software_rasteriser("Mesa X11 Software Rasterizer"));
    EXPECT_TRUE(present_is_software_rasteriser(nullptr));
    EXPECT_FALSE(present_is_software_rasteriser("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(present_is_software_rasteriser("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
}

TEST(Present, LetterboxKeepsTheScreensShapeCentred) {
    EXPECT_EQ((std::vector<int>{240, 0, 1440, 1080}),
              box(present_letterbox(1920, 1080, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{0, 0, 640, 480}),
              box(present_letterbox(640, 480, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{0, 100, 800, 600}),
              box(present_letterbox(800, 800, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{320, 60, 1280, 960}),
              box(present_letterbox(1920, 1080, 640, 480, true)));
    // Smaller than the screen: whole multiples cannot fit, so it shrinks to fit.
    EXPECT_EQ((std::vector<int>{33, 0, 533, 400}),
              box(present_letterbox(600, 400, 640, 480, true)));
}

}  // namespace

// The whole path into a real window (SDL's dummy video driver): palette conversion, scaling and
// the black bars of the letterbox, read back from the window's pixels.
class PresentWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.window = true;
        options.scale = 1;
        ASSERT_TRUE(platform_init(options)) << platform_error();
        ASSERT_NE(nullptr, open_test_window("PRESENTTEST"));
        ASSERT_NE(nullptr, platform_sdl_window());
        display_set_primary_pitch(704);  // rows wider than the screen must not skew it
        ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
    }
    void TearDown() override {
        gfx_shutdown();
        display_set_primary_pitch(0);
        platform_shutdown();
    }
    static uint32_t shown(int x, int y) {
        SDL_Surface* s = SDL_GetWindowSurface(platform_sdl_window());
        uint32_t pixel = 0;
        SDL_LockSurface(s);
        const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 4;
        std::memcpy(&pixel, p, 4);
        SDL_UnlockSurface(s);
        uint8_t r, g, b;
        SDL_GetRGB(pixel, s->format, &r, &g, &b);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
};

TEST_F(PresentWindow, TheScreenReachesTheWindowThroughThePaletteAndLetterbox) {
    PALETTEENTRY palette[256] = {};
    palette[5] = {10, 200, 30, PC_NOCOLLAPSE};
    palette[7] = {1, 2, 3, PC_NOCOLLAPSE};
    pal_apply(palette);
    uint8_t* p = gfx_lock_primary();
    for (int y = 0; y < 480; ++y) std::memset(p + y * primary_pitch, y == 100 ? 7 : 5, 640);
    p[0] = 0;
    gfx_unlock_primary();
    display_present(true);
    EXPECT_EQ(0x0AC81Eu, shown(320, 240));
    EXPECT_EQ(0x0AC81Eu, shown(639, 479));
    EXPECT_EQ(0x010203u, shown(320, 100));
    EXPECT_EQ(0x0AC81Eu, shown(320, 101));
    EXPECT_EQ(0u, shown(0, 0));

    // A palette change alone is shown at the next present.
    palette[5] = {255, 0, 0, 0};
    pal_apply(palette);
    display_present(true);
    EXPECT_EQ(0xFF0000u, shown(320, 240));

    // Wider window: black bars left and right, the screen centred and scaled to the height.
    SDL_SetWindowSize(platform_sdl_window(), 960, 480);
    platform_pump_events();
    display_window_changed();
    display_present(true);
    int w = 0, h = 0;
    SDL_GetWindowSize(platform_sdl_window(), &w, &h);
    ASSERT_EQ(960, w);
    EXPECT_EQ(0u, shown(100, 240));
    EXPECT_EQ(0xFF0000u, shown(480, 240));
    EXPECT_EQ(0u, shown(860, 240));
}

TEST_F(PresentWindow, AtTwiceTheSizeOnlyChangedRowsAreSentAndTheRestStays) {
    SDL_SetWindowSize(platform_sdl_window(), 1280, 960);
    platform_pump_events();
    display_window_changed();
    PALETTEENTRY palette[256] = {};
    palette[1] = {0, 0, 200, 0};
    palette[2] = {200, 0, 0, 0};
    pal_apply(palette);
    uint8_t* p = gfx_lock_primary();
    for (int y = 0; y < 480; ++y) std::memset(p + y * primary_pitch, 1, 640);
    display_present(true);
    EXPECT_EQ(0x0000C8u, shown(0, 0));
    EXPECT_EQ(0x0000C8u, shown(1279, 959));

    // Rows 100 and 300 change; the present that follows is not forced.
    p[100 * primary_pitch + 5] = 2;
    p[300 * primary_pitch + 639] = 2;
    display_present_gap_elapsed();
    display_present(false);
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
            EXPECT_EQ(0xC80000u, shown(10 + dx, 200 + dy));
            EXPECT_EQ(0xC80000u, shown(1278 + dx, 600 + dy));
        }
    }
    EXPECT_EQ(0x0000C8u, shown(12, 200));
    EXPECT_EQ(0x0000C8u, shown(10, 202));
    EXPECT_EQ(0x0000C8u, shown(1277, 601));
    gfx_unlock_primary();
}

TEST_F(PresentWindow, AnOverlayIsDrawnOverTheScreenUntilRemoved) {
    PALETTEENTRY palette[256] = {};
    palette[0] = {0, 0, 255, 0};
    pal_apply(palette);
    display_present(true);
    ASSERT_NE(nullptr, display_renderer());
    display_set_overlay([](SDL_Renderer* r) {
        const SDL_Rect box{10, 10, 20, 20};
        SDL_SetRenderDrawColor(r, 255, 255, 0, 255);
        SDL_RenderFillRect(r, &box);
    });
    display_present(false);  // nothing changed on the screen, yet the overlay shows
    EXPECT_EQ(0xFFFF00u, shown(15, 15));
    EXPECT_EQ(0x0000FFu, shown(40, 40));
    display_set_overlay(nullptr);
    display_present(false);
    EXPECT_EQ(0x0000FFu, shown(15, 15));
}
