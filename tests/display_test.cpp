// The display set-up, lock protocol, fills and blits through the screen clipper, clip lists,
// releases and the screen dump, on a natural pitch and on a wider one.
#include "gfx/display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/draw.h"
#include "gfx/palette.h"
#include "platform/platform.h"
#include "tests/scratch_dir.h"

namespace {

class DisplayTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        Options headless;
        headless.headless = true;
        ASSERT_TRUE(platform_init(headless)) << platform_error();
        display_set_primary_pitch(GetParam());
        ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
    }
    void TearDown() override {
        gfx_shutdown();
        display_set_primary_pitch(0);
        platform_shutdown();
    }
    static uint8_t pixel(int x, int y) {
        uint8_t* p = gfx_lock_primary();
        const uint8_t v = p[y * primary_pitch + x];
        gfx_unlock_primary();
        return v;
    }
    // An off-screen sprite whose pixel (x, y) is x + 10 y + 1; colour 0 is its key.
    static Surface* numbered_sprite(int w, int h) {
        Surface* s = gfx_create_surface(w, h, CAPS_SYSTEMMEMORY, 0);
        int32_t pitch = 0;
        uint8_t* p = gfx_lock_surface(s, &pitch);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p[y * pitch + x] = uint8_t(x + 10 * y + 1);
        gfx_unlock_surface(s);
        return s;
    }
};

TEST_P(DisplayTest, InitLeavesABlackClearedScreenAndTheSoftwareClipRectangle) {
    EXPECT_EQ(8, pixel_format);
    EXPECT_EQ(0, clip_min_x);
    EXPECT_EQ(639, clip_max_x);
    EXPECT_EQ(479, clip_max_y);
    ASSERT_NE(nullptr, back_surface);
    for (const PALETTEENTRY& e : work_palette) EXPECT_EQ(0, e.peRed | e.peGreen | e.peBlue);
    EXPECT_EQ(0, pixel(639, 479));
}

TEST_P(DisplayTest, LockProtocol) {
    uint8_t* first = gfx_lock_primary();
    ASSERT_NE(nullptr, first);
    const int32_t pitch = primary_pitch;
    EXPECT_EQ(GetParam() ? GetParam() : 640, pitch);
    // Unlocked behind the library's back: a second lock must not lock the surface again.
    primary_surface->unlock();
    EXPECT_EQ(first, gfx_lock_primary());
    EXPECT_FALSE(primary_surface->is_locked());
    primary_surface->lock(nullptr);
    gfx_unlock_primary();
    EXPECT_EQ(nullptr, primary_buffer);
    EXPECT_EQ(pitch, primary_pitch);
    EXPECT_FALSE(primary_surface->is_locked());

    EXPECT_EQ(0, gfx_unlock_back());
    ASSERT_NE(nullptr, gfx_lock_back());
    EXPECT_EQ(pitch, back_pitch);
    EXPECT_EQ(1, gfx_unlock_back());
    EXPECT_EQ(0, back_pitch);
    EXPECT_EQ(nullptr, back_buffer);
}

TEST_P(DisplayTest, BlitsAndFillsStopShortOfTheLastColumnAndRowWhileDirectWritesReachThem) {
    gfx_fill_surface(primary_surface, 7, nullptr);
    EXPECT_EQ(7, pixel(638, 478));
    EXPECT_EQ(0, pixel(639, 0));
    EXPECT_EQ(0, pixel(0, 479));

    Surface* sprite = numbered_sprite(24, 4);
    const RECT at{630, 100, 654, 104};
    EXPECT_TRUE(primary_surface->blt(&at, sprite, nullptr, true));
    EXPECT_EQ(1, pixel(630, 100));
    EXPECT_EQ(9, pixel(638, 100));
    EXPECT_EQ(0, pixel(639, 100));
    sprite->release();

    uint8_t* p = gfx_lock_primary();
    p[479 * primary_pitch + 639] = 3;
    gfx_unlock_primary();
    EXPECT_EQ(3, pixel(639, 479));
}

TEST_P(DisplayTest, FillsExcludeRightAndBottom) {
    gfx_fill_rect(10, 10, 42, 26, 0x105, primary_surface);
    EXPECT_EQ(5, pixel(10, 10));
    EXPECT_EQ(5, pixel(41, 25));
    EXPECT_EQ(0, pixel(42, 25));
    EXPECT_EQ(0, pixel(41, 26));
    gfx_fill_rect(50, 10, 50, 20, 9, primary_surface);
    EXPECT_EQ(0, pixel(50, 10));
}

TEST_P(DisplayTest, KeyedAndStretchedBlits) {
    Surface* sprite = numbered_sprite(4, 2);
    int32_t pitch = 0;
    gfx_lock_surface(sprite, &pitch)[1] = 0;  // pixel (1, 0) becomes the key
    gfx_unlock_surface(sprite);
    gfx_fill_surface(primary_surface, 99, nullptr);

    const RECT same{0, 0, 4, 2};
    primary_surface->blt(&same, sprite, nullptr, true);
    EXPECT_EQ(1, pixel(0, 0));
    EXPECT_EQ(99, pixel(1, 0));
    EXPECT_EQ(14, pixel(3, 1));

    const RECT doubled{100, 100, 108, 104};
    primary_surface->blt(&doubled, sprite, nullptr, false);
    EXPECT_EQ(1, pixel(101, 101));
    EXPECT_EQ(0, pixel(102, 100));
    EXPECT_EQ(14, pixel(107, 103));
    EXPECT_EQ(11, pixel(100, 102));

    // Clipped at column 639: the visible part keeps the source pixels its position maps to.
    const RECT over{632, 10, 640, 14};
    primary_surface->blt(&over, sprite, nullptr, false);
    EXPECT_EQ(1, pixel(632, 10));
    EXPECT_EQ(4, pixel(638, 10));
    EXPECT_EQ(0, pixel(639, 10));  // never reached by the fill either
    const RECT left_over{-4, 20, 4, 24};
    primary_surface->blt(&left_over, sprite, nullptr, false);
    EXPECT_EQ(3, pixel(0, 20));
    EXPECT_EQ(4, pixel(3, 20));
    sprite->release();
}

TEST_P(DisplayTest, RefusedOperations) {
    Surface* sprite = numbered_sprite(8, 8);
    Surface* target = gfx_create_surface(16, 16, 0, 0);
    const RECT outside{10, 10, 18, 18};
    EXPECT_FALSE(target->blt(&outside, sprite, nullptr, false));
    const RECT inside{8, 8, 16, 16};
    EXPECT_TRUE(target->blt(&inside, sprite, nullptr, false));

    gfx_lock_surface(sprite, nullptr);
    EXPECT_EQ(nullptr, sprite->lock(nullptr));
    EXPECT_FALSE(target->blt(&inside, sprite, nullptr, false));
    EXPECT_FALSE(sprite->fill(nullptr, 1));
    EXPECT_EQ(nullptr, sprite->get_dc());
    gfx_unlock_surface(sprite);
    EXPECT_EQ(0, gfx_unlock_surface(sprite));

    gfx_lock_primary();
    EXPECT_EQ(0, gfx_flip());
    gfx_unlock_primary();
    EXPECT_EQ(1, gfx_flip());
    sprite->release();
    target->release();
}

TEST_P(DisplayTest, ClipListBoundingBox) {
    const RECT one{10, 20, 30, 40};
    Clipper* c = gfx_attach_clip_list(back_surface, 1, &one);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(10, c->bound().left);
    EXPECT_EQ(40, c->bound().bottom);
    c->release();

    const RECT two[2] = {{0, 0, 5, 5}, {3, -2, 9, 4}};
    c = gfx_attach_clip_list(back_surface, 2, two);
    const RECT b = c->bound();
    EXPECT_EQ((std::vector<int>{0, -2, 9, 5}),
              (std::vector<int>{b.left, b.top, b.right, b.bottom}));
    c->release();

    // Two pieces: the fill lands in both and nowhere else.
    gfx_fill_surface(back_surface, 4, nullptr);
    int32_t pitch = 0;
    uint8_t* p = gfx_lock_back();
    pitch = back_pitch;
    EXPECT_EQ(4, p[0]);
    EXPECT_EQ(4, p[3 * pitch + 8]);
    EXPECT_EQ(0, p[4 * pitch + 8]);
    EXPECT_EQ(0, p[0 * pitch + 9]);
    gfx_unlock_back();
}

TEST_P(DisplayTest, ShutdownReleasesEveryObjectExactlyOnce) {
    Surface* extra = gfx_create_surface(8, 8, 0, 0);
    DisplayCounts live = display_live_counts();
    EXPECT_EQ(1, live.displays);
    EXPECT_EQ(3, live.surfaces);
    EXPECT_EQ(1, live.palettes);
    EXPECT_EQ(1, live.clippers);
    extra->release();
    gfx_shutdown();
    live = display_live_counts();
    EXPECT_EQ(0, live.displays + live.surfaces + live.palettes + live.clippers);
    gfx_shutdown();  // a second shut-down has nothing left to release
    EXPECT_EQ(0, display_live_counts().surfaces);
}

TEST_P(DisplayTest, PaletteChangesShowAtOnceAndTheDumpCarriesThem) {
    PALETTEENTRY palette[256] = {};
    palette[7] = {200, 100, 50, PC_NOCOLLAPSE};
    pal_apply(palette);
    PALETTEENTRY saved[256];
    pal_save(saved);
    EXPECT_EQ(0, std::memcmp(palette, saved, sizeof saved));

    uint8_t* p = gfx_lock_primary();
    p[0] = 7;                          // top-left
    p[479 * primary_pitch + 639] = 7;  // bottom-right
    // Each pitch writes its own file: ctest runs the two at once.
    const std::string path = temp_path("display_dump_" + std::to_string(GetParam()) + ".bmp");
    ASSERT_TRUE(platform_dump_screen(path.c_str()));
    gfx_unlock_primary();

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(size_t(1078 + 640 * 480), bmp.size());
    EXPECT_EQ(1078, bmp[10] | bmp[11] << 8);
    EXPECT_EQ(8, bmp[28]);
    EXPECT_EQ(50, bmp[54 + 4 * 7]);       // blue first
    EXPECT_EQ(200, bmp[54 + 4 * 7 + 2]);  // red third
    EXPECT_EQ(7, bmp[1078 + 479 * 640]);  // the top row comes last
    EXPECT_EQ(7, bmp[1078 + 639]);        // the bottom row first
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Pitch, DisplayTest, ::testing::Values(0, 704));

}  // namespace
