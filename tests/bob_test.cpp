// BOB sprites on headless surfaces: frames, clones, keyed and scaled draws, animation, moves.
#include "gfx/bob.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/display.h"
#include "gfx/image.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace {

// A sheet whose pixel (x, y) is never the colour key 0.
uint8_t sheet_pixel(int x, int y) {
    return uint8_t((x + 3 * y) % 251 + 1);
}

// Pixel (x, y) of a surface.
uint8_t pixel(Surface* surface, int x, int y) {
    int32_t pitch = 0;
    const uint8_t* bytes = surface->lock(&pitch);
    const uint8_t value = bytes ? bytes[y * pitch + x] : 0;
    surface->unlock();
    return value;
}

BitmapImage image_of(std::vector<uint8_t>& pixels, int width, int height) {
    BitmapImage image{};
    image.info_header = {40, width, height, 1, 8, 0, 0, 0, 0, 0, 0};
    image.pixels = pixels.data();
    return image;
}

class BobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
        ddraw = Display::create();
        baseline = display_live_counts().surfaces;
    }
    void TearDown() override {
        bob_missed_handler = nullptr;
        display_set_surface_pitch_pad(0);
        ddraw->release();
        ddraw = nullptr;
        platform_shutdown();
    }
    int live_surfaces() const { return display_live_counts().surfaces - baseline; }
    int baseline = 0;
};

TEST_F(BobTest, CreatePadsFrameRowsToEightBytes) {
    const int widths[] = {30, 16, 24, 32, 1, 17}, pads[] = {2, 0, 0, 0, 7, 7};
    for (int i = 0; i < 6; ++i) {
        BOB bob;
        ASSERT_EQ(1, bob_create(&bob, 5, 6, widths[i], 10, 3, 0, CAPS_SYSTEMMEMORY, 0, 8));
        EXPECT_EQ(pads[i], bob.row_pad) << widths[i];
        EXPECT_EQ(widths[i] + pads[i], bob.frames[2]->width()) << widths[i];
        EXPECT_EQ(nullptr, bob.frames[3]);
        EXPECT_EQ(3, live_surfaces());
        bob_destroy(&bob);
        EXPECT_EQ(0, live_surfaces());
    }
}

TEST_F(BobTest, LoadsFramesFromCellsAndAbsolutePositions) {
    std::vector<uint8_t> pixels(120 * 60);
    for (int i = 0; i < 120 * 60; ++i) pixels[i] = sheet_pixel(i % 120, i / 120);
    const BitmapImage image = image_of(pixels, 120, 60);
    display_set_surface_pitch_pad(24);  // rows must step by the pitch the lock reports
    BOB bob;
    ASSERT_EQ(1, bob_create(&bob, 0, 0, 32, 16, 2, 0, CAPS_SYSTEMMEMORY, 0, 8));
    ASSERT_EQ(1, bob_load_frame(&bob, &image, 0, 2, 1, 0));  // cell (2, 1): column 67, row 18
    ASSERT_EQ(1, bob_load_frame(&bob, &image, 1, 34, 1, 1));
    EXPECT_TRUE(bob.attrs & BOB_FRAMES_LOADED);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(sheet_pixel(67 + x, 18 + y), pixel(bob.frames[0], x, y)) << x << "," << y;
            ASSERT_EQ(sheet_pixel(34 + x, 1 + y), pixel(bob.frames[1], x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(0, bob_load_frame(&bob, &image, 2, 0, 0, 1)) << "no such frame slot";
    EXPECT_EQ(0, bob_load_frame(&bob, &image, 0, 100, 0, 1)) << "block past the image";
    bob_destroy(&bob);
}

TEST_F(BobTest, ClonesShareFramesAndEachSurfaceIsReleasedOnce) {
    BOB source, clones[3];
    ASSERT_EQ(1, bob_create(&source, 0, 0, 16, 16, 4, BOB_VISIBLE, CAPS_SYSTEMMEMORY, 1, 8));
    const int32_t run[] = {3, 1};
    ASSERT_EQ(1, bob_set_sequence(&source, 2, run, 2));
    EXPECT_EQ(0, bob_clone(&source, &source));
    for (BOB& clone : clones) {
        ASSERT_EQ(1, bob_clone(&source, &clone));
        EXPECT_TRUE(clone.attrs & BOB_CLONE);
        EXPECT_EQ(source.frames[3], clone.frames[3]);
        EXPECT_EQ(0, bob_set_sequence(&clone, 0, run, 2)) << "a clone owns no sequences";
    }
    for (BOB& clone : clones) bob_destroy(&clone);
    EXPECT_EQ(4, live_surfaces()) << "destroying clones leaves the source's frames";
    bob_destroy(&source);
    EXPECT_EQ(0, live_surfaces());
    bob_destroy(&source);  // a second destroy releases nothing again
    EXPECT_EQ(0, live_surfaces());
}

TEST_F(BobTest, DrawsKeyedAndScaledFrames) {
    // A 4 x 3 frame of colour 5 whose left column is the key colour 0.
    std::vector<uint8_t> art = {0, 5, 5, 5, 0, 5, 5, 5, 0, 5, 5, 5};
    const BitmapImage image = image_of(art, 4, 3);
    BOB bob;
    ASSERT_EQ(1, bob_create(&bob, 10, 20, 4, 3, 1, BOB_VISIBLE, CAPS_SYSTEMMEMORY, 0, 8));
    ASSERT_EQ(1, bob_load_frame(&bob, &image, 0, 0, 0, 1));
    Surface* screen = ddraw->create_surface(64, 64, CAPS_SYSTEMMEMORY | CAPS_OFFSCREENPLAIN);
    screen->fill(nullptr, 9);

    ASSERT_EQ(1, bob_draw(&bob, screen));
    EXPECT_EQ(9, pixel(screen, 10, 20)) << "key colour is transparent";
    EXPECT_EQ(5, pixel(screen, 11, 20));
    EXPECT_EQ(5, pixel(screen, 13, 22));
    EXPECT_EQ(9, pixel(screen, 14, 20)) << "padding columns are never drawn";
    EXPECT_EQ(9, pixel(screen, 11, 23));

    bob_set_pos(&bob, 30, 30);
    ASSERT_EQ(1, bob_draw_scaled(&bob, 8, 6, screen));
    EXPECT_EQ(9, pixel(screen, 31, 30));
    EXPECT_EQ(5, pixel(screen, 32, 30));
    EXPECT_EQ(5, pixel(screen, 37, 35));
    EXPECT_EQ(9, pixel(screen, 38, 35));
    EXPECT_EQ(9, pixel(screen, 37, 36));

    bob.attrs &= ~BOB_VISIBLE;
    bob_set_pos(&bob, 50, 50);
    EXPECT_EQ(1, bob_draw(&bob, screen));
    EXPECT_EQ(9, pixel(screen, 51, 50));
    screen->release();
    bob_destroy(&bob);
}

std::vector<int> frames_shown(BOB* bob, int calls) {
    std::vector<int> shown;
    for (int i = 0; i < calls; ++i) {
        bob_animate(bob);
        shown.push_back(bob->frame_index);
    }
    return shown;
}

TEST(BobAnimate, CyclesFramesEveryPeriodTicks) {
    BOB bob{};
    bob.frame_total = 4;
    bob.attrs = BOB_CYCLE_FRAMES;
    for (int period : {0, 1}) {
        bob.frame_index = 0;
        bob_set_anim_speed(&bob, period);
        EXPECT_EQ((std::vector<int>{1, 2, 3, 0, 1}), frames_shown(&bob, 5)) << period;
    }
    bob.frame_index = 0;
    bob_set_anim_speed(&bob, 3);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2, 3}), frames_shown(&bob, 9));
    bob.attrs = 0;
    EXPECT_EQ((std::vector<int>{3, 3}), frames_shown(&bob, 2));
}

TEST(BobAnimate, PlaysSequencesLoopingOrOnce) {
    BOB bob{};
    bob.frame_total = 8;
    bob.attrs = BOB_PLAY_SEQUENCE;
    const int32_t run[] = {2, 5, 7}, bad[] = {2, 8};
    ASSERT_EQ(1, bob_set_sequence(&bob, 1, run, 3));
    ASSERT_EQ(1, bob_set_sequence(&bob, 1, run, 3));  // replacing one frees the old copy
    EXPECT_EQ(0, bob_set_sequence(&bob, 0, bad, 2));
    EXPECT_EQ(0, bob_set_sequence(&bob, 16, run, 3));
    bob.seq_index = 1;
    bob_set_anim_speed(&bob, 1);
    EXPECT_EQ((std::vector<int>{5, 7, 2, 5, 7, 2}), frames_shown(&bob, 6));
    EXPECT_EQ(0, bob.anim_done);

    bob.attrs |= BOB_SEQUENCE_ONCE;
    bob.seq_pos = 0;
    EXPECT_EQ((std::vector<int>{5, 7, 7, 7}), frames_shown(&bob, 4));
    EXPECT_EQ(1, bob.anim_done);
    bob.seq_index = 3;  // nothing installed there: no step
    EXPECT_EQ((std::vector<int>{7}), frames_shown(&bob, 1));
    bob_destroy(&bob);
}

int missed_calls = 0;
void count_miss(BOB*) {
    ++missed_calls;
}

TEST(BobMove, WrapsSidewaysAndHandsOverBelowRow460) {
    BOB bob{};
    bob.width = 32;
    bob.attrs = BOB_WRAP | BOB_BOUNCE;
    const int starts[] = {639, -32, -31, 600}, vels[] = {1, -1, -1, 2},
              ends[] = {-32, 639, -32, 602};
    for (int i = 0; i < 4; ++i) {
        bob_set_pos(&bob, starts[i], 0);
        bob_set_vel(&bob, vels[i], 0);
        bob_move(&bob);
        EXPECT_EQ(ends[i], bob.x) << starts[i];
        EXPECT_EQ(vels[i], bob.vel_x) << "wrap takes precedence over bounce";
    }
    bob_set_pos(&bob, 0, 459);
    bob_set_vel(&bob, 0, 2);
    bob_move(&bob);  // no handler installed: nothing happens
    EXPECT_EQ(461, bob.y);
    bob_missed_handler = count_miss;
    bob_set_pos(&bob, 0, 458);
    bob_move(&bob);
    EXPECT_EQ(0, missed_calls);
    bob_move(&bob);
    EXPECT_EQ(1, missed_calls);
    bob_missed_handler = nullptr;
}

TEST(BobMove, BouncesOffTheClipRectangleWithoutCorrectingPosition) {
    BOB bob{};
    bob.width = 16;
    bob.height = 10;
    bob.attrs = BOB_BOUNCE;
    bob_set_pos(&bob, 620, 2);
    bob_set_vel(&bob, 5, -3);
    bob_move(&bob);
    EXPECT_EQ((std::vector<int>{625, -1, -5, 3}),
              (std::vector<int>{bob.x, bob.y, bob.vel_x, bob.vel_y}));
    bob_move(&bob);
    EXPECT_EQ((std::vector<int>{620, 2, -5, 3}),
              (std::vector<int>{bob.x, bob.y, bob.vel_x, bob.vel_y}));

    bob_set_pos(&bob, 700, 100);  // far beyond the edge: reverses on every call
    bob_set_vel(&bob, 1, 0);
    bob_move(&bob);
    EXPECT_EQ(-1, bob.vel_x);
    bob_move(&bob);
    EXPECT_EQ(1, bob.vel_x);
    EXPECT_EQ(700, bob.x);
}

}  // namespace
