// Rectangle fills, text on surfaces (colour, background modes, extent, justification) and the
// frame timer across the tick counter's wrap.
#include "gfx/draw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/clock.h"
#include "platform/platform.h"

namespace {

class DrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options headless;
        headless.headless = true;
        ASSERT_TRUE(platform_init(headless)) << platform_error();
        ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
        PALETTEENTRY palette[256] = {};
        palette[1] = {255, 255, 255, 0};
        palette[2] = {255, 0, 0, 0};
        palette[3] = {0, 0, 255, 0};
        pal_apply(palette);
        surface = gfx_create_surface(200, 40, 0, 0);
    }
    void TearDown() override {
        surface->release();
        gfx_shutdown();
        platform_shutdown();
    }
    // The columns of the surface that hold the colour in any row, as [start, end) runs.
    std::vector<std::pair<int, int>> ink_runs(uint8_t colour) {
        int32_t pitch = 0;
        uint8_t* p = gfx_lock_surface(surface, &pitch);
        std::vector<std::pair<int, int>> runs;
        bool in = false;
        for (int x = 0; x < surface->width(); ++x) {
            bool inked = false;
            for (int y = 0; y < surface->height(); ++y) inked |= p[y * pitch + x] == colour;
            if (inked && !in) runs.push_back({x, x});
            if (inked) runs.back().second = x + 1;
            in = inked;
        }
        gfx_unlock_surface(surface);
        return runs;
    }
    int count(uint8_t colour, int* top = nullptr, int* bottom = nullptr) {
        int32_t pitch = 0;
        uint8_t* p = gfx_lock_surface(surface, &pitch);
        int n = 0, lo = 1000, hi = -1;
        for (int y = 0; y < surface->height(); ++y) {
            for (int x = 0; x < surface->width(); ++x) {
                if (p[y * pitch + x] != colour) continue;
                ++n;
                lo = std::min(lo, y);
                hi = std::max(hi, y);
            }
        }
        gfx_unlock_surface(surface);
        if (top) *top = lo;
        if (bottom) *bottom = hi;
        return n;
    }
    Surface* surface = nullptr;
};

TEST_F(DrawTest, TextIsDrawnInTheNearestPaletteColourWithinItsLine) {
    EXPECT_EQ(0, txt_draw("Hg", 10, 12, RGB(240, 10, 20), surface, nullptr));
    int top = 0, bottom = 0;
    EXPECT_GT(count(2, &top, &bottom), 20);
    EXPECT_GE(top, 12);
    EXPECT_LE(bottom, 12 + 15);
    EXPECT_EQ(200 * 40 - count(2), count(0));  // transparent: nothing else was touched
}

TEST_F(DrawTest, TextNeedsAnUnlockedSurfaceAndEmptyTextDrawsNothing) {
    EXPECT_EQ(0, txt_draw("", 0, 0, RGB(255, 0, 0), surface, nullptr));
    EXPECT_EQ(0, count(2));
    gfx_lock_surface(surface, nullptr);
    EXPECT_NE(0, txt_draw("Hg", 0, 0, RGB(255, 0, 0), surface, nullptr));
    gfx_unlock_surface(surface);
    EXPECT_EQ(0, count(2));
    EXPECT_EQ(nullptr, text_dc);
}

TEST_F(DrawTest, TextByPaletteIndexUsesThatEntrysColour) {
    txt_draw_index("W", 0, 0, 3, surface);
    EXPECT_GT(count(3), 10);
}

TEST_F(DrawTest, OpaqueTextFillsItsExtentWithTheBackground) {
    DrawContext* dc = surface->get_dc();
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(nullptr, surface->lock(nullptr));  // the context holds the surface
    int w = 0, h = 0;
    ASSERT_TRUE(dc->text_extent("Help", 4, &w, &h));
    EXPECT_EQ(16, h);
    dc->set_text_color(RGB(0, 0, 250));
    dc->set_bk_color(RGB(250, 250, 250));
    dc->set_bk_mode(OPAQUE);
    dc->text_out(5, 5, "Help", 4);
    surface->release_dc(dc);
    EXPECT_EQ(w * 16, count(1) + count(3));
    EXPECT_GT(count(3), 20);
}

TEST_F(DrawTest, JustificationSpreadsExtraPixelsOverTheBlanksEarlierOnesFirst) {
    // Where each "l" of the text lands, and the width reported, with a justification set.
    const auto layout = [this](const char* text, int extra, int breaks, int* width) {
        gfx_fill_surface(surface, 0, nullptr);
        DrawContext* dc = surface->get_dc();
        dc->set_text_justification(extra, breaks);
        int h = 0;
        dc->text_extent(text, int(std::strlen(text)), width, &h);
        dc->set_text_color(RGB(255, 255, 255));
        dc->set_bk_mode(TRANSPARENT);
        dc->text_out(0, 0, text, int(std::strlen(text)));
        surface->release_dc(dc);
        std::vector<int> starts;
        for (const auto& run : ink_runs(1)) starts.push_back(run.first);
        return starts;
    };
    int plain = 0, justified = 0;
    const std::vector<int> before = layout("l l l l", 0, 0, &plain);
    ASSERT_EQ(4u, before.size());
    const std::vector<int> after = layout("l l l l", 7, 3, &justified);
    EXPECT_EQ(plain + 7, justified);
    EXPECT_EQ((std::vector<int>{before[0], before[1] + 3, before[2] + 5, before[3] + 7}), after);
}

TEST_F(DrawTest, WaitsGoThroughTheClockAndSurviveTheWrap) {
    ASSERT_TRUE(clock_is_virtual());
    clock_set_virtual_ticks(1000);
    EXPECT_EQ(1000u, tmr_frame_start());
    EXPECT_EQ(1000u, frame_start_tick);
    EXPECT_EQ(1000u, tmr_wait(0));
    EXPECT_EQ(1035u, tmr_wait(35));

    clock_set_virtual_ticks(0xFFFFFFFFu - 15);
    tmr_frame_start();
    clock_set_virtual_ticks(5);
    EXPECT_EQ(5u, tmr_wait(20));  // 21 ms have passed across the wrap
    EXPECT_EQ(14u, tmr_wait(30));
}

}  // namespace
