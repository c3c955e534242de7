// The screen transitions (fades, wipes, dissolve) and the clipped line primitives.
#include "gfx/palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"

namespace {

constexpr int W = 640, H = 480;
constexpr int PITCH = 704;  // wider than a row, so drawing that ignores the pitch shows

class PaletteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_set_virtual(true);
        pal_save(saved);
        apply_ramp();
    }
    void TearDown() override { pal_apply(saved); }

    // Every channel value 0..255 appears in some entry, and the flags differ per entry.
    static void apply_ramp() {
        PALETTEENTRY ramp[256];
        for (int i = 0; i < 256; ++i) {
            ramp[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(i & 7)};
        }
        pal_apply(ramp);
    }
    // Runs a transition; returns the virtual milliseconds it waited.
    static uint32_t run(uint32_t kind, uint8_t* buffer = nullptr) {
        const uint32_t start = clock_ticks();
        pal_transition(kind, buffer, PITCH);
        return clock_ticks() - start;
    }
    // Pixels of index 0 on a W x H screen; the bytes past each row must stay untouched.
    static int zero_pixels(const std::vector<uint8_t>& screen) {
        int zeros = 0;
        for (int i = 0; i < PITCH * H; ++i) {
            if (i % PITCH >= W) {
                EXPECT_EQ(7, screen[i]) << "padding written at " << i;
            } else {
                zeros += screen[i] == 0;
            }
        }
        return zeros;
    }

    PALETTEENTRY saved[256];
};

uint8_t faded_to_black(uint8_t start) {
    return start <= 241 ? 0 : uint8_t(start - 240);
}

TEST_F(PaletteTest, FadeToBlackLeavesOnlyTheBrightestAndKeepsEntryZero) {
    PALETTEENTRY before[256];
    pal_save(before);
    EXPECT_EQ(80u * 12u, run(0)) << "80 steps paced at 12 ms on the clock";
    EXPECT_EQ(0, std::memcmp(&work_palette[0], &before[0], 4)) << "entry 0 keeps its colour";
    for (int i = 1; i < 256; ++i) {
        ASSERT_EQ(faded_to_black(before[i].peRed), work_palette[i].peRed) << i;
        ASSERT_EQ(faded_to_black(before[i].peGreen), work_palette[i].peGreen) << i;
        ASSERT_EQ(faded_to_black(before[i].peBlue), work_palette[i].peBlue) << i;
        ASSERT_EQ(before[i].peFlags, work_palette[i].peFlags) << i;
    }
    EXPECT_EQ(15, work_palette[255].peRed);
    EXPECT_EQ(2, work_palette[242].peRed);
}

TEST_F(PaletteTest, ColourFadesSaturateEveryEntryAndKeepFlags) {
    const struct {
        uint32_t kind;
        int red, green, blue;
    } fades[] = {{1, 255, 255, 255}, {6, 0, 0, 255}, {7, 255, 0, 0}, {8, 0, 255, 0}};
    for (const auto& fade : fades) {
        apply_ramp();
        EXPECT_EQ(64u * 12u, run(fade.kind)) << fade.kind;
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY& e = work_palette[i];
            ASSERT_EQ((std::vector<int>{fade.red, fade.green, fade.blue, i & 7}),
                      (std::vector<int>{e.peRed, e.peGreen, e.peBlue, e.peFlags}))
                << "kind " << fade.kind << " entry " << i;
        }
    }
}

TEST_F(PaletteTest, KindsAboveEightAndWipesWithoutAScreenDoNothing) {
    PALETTEENTRY before[256];
    pal_save(before);
    std::vector<uint8_t> screen(PITCH * H, 7);
    for (uint32_t kind : {9u, 100u, 0xFFFFFFFFu}) EXPECT_EQ(0u, run(kind, screen.data()));
    EXPECT_EQ(0, std::memcmp(before, work_palette, sizeof(before)));
    EXPECT_EQ(PITCH * H, std::count(screen.begin(), screen.end(), 7));
    EXPECT_EQ(0u, run(3, nullptr));
}

TEST_F(PaletteTest, WipesCloseTheWholeScreenToIndexZero) {
    const uint32_t steps[] = {0, 0, 160, 120, 0, 160};
    for (uint32_t kind : {2u, 3u, 5u}) {
        std::vector<uint8_t> screen(PITCH * H, 7);
        EXPECT_EQ(steps[kind] * 12, run(kind, screen.data())) << kind;
        EXPECT_EQ(W * H, zero_pixels(screen)) << kind;
    }
}

TEST_F(PaletteTest, DissolveScattersIndexZeroWithoutWaiting) {
    random_seed(4711);
    std::vector<uint8_t> screen(PITCH * H, 7);
    EXPECT_EQ(0u, run(4, screen.data()));
    // Four plots per pixel on average miss a pixel with a chance of e^-4, under 2 %.
    EXPECT_GT(zero_pixels(screen), W * H * 97 / 100);
}

TEST(Lines, ClipToTheClipRectangle) {
    std::vector<uint8_t> screen((H + 1) * PITCH, 0);
    uint8_t* s = screen.data();
    auto count = [&](uint8_t colour) { return std::count(screen.begin(), screen.end(), colour); };
    gfx_hline(700, -5, 10, 0x105, s, PITCH);  // only the low 8 bits are written
    EXPECT_EQ(W, count(5));
    EXPECT_EQ(5, s[10 * PITCH + 639]);
    gfx_vline(479, 0, 639, 3, s, PITCH);
    EXPECT_EQ(H, count(3));
    EXPECT_EQ(3, s[479 * PITCH + 639]);
    for (int v : {480, -1}) gfx_hline(0, 639, v, 6, s, PITCH);
    for (int v : {640, -1}) gfx_vline(0, 479, v, 6, s, PITCH);
    gfx_hline(640, 900, 20, 6, s, PITCH);
    gfx_vline(480, 999, 5, 6, s, PITCH);
    EXPECT_EQ(0, count(6));
    gfx_vline(-20, 4, 0, 9, s, PITCH);
    EXPECT_EQ(5, count(9));
}

}  // namespace
