// The title demonstration: stars only inside its window, the finale on the 118th pass with its
// ray, hit and twenty shrinking frames, and the keys that cut it short.
#include <gtest/gtest.h>

#include "game/keys.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"
#include "gfx/image.h"
#include "platform/clock.h"

namespace {

// What the screen showed at each of the game's waits: the ray's pixels in the demo's ray
// column, and the width the hit bug had shrunk to.
GameHarness* watched = nullptr;
std::vector<std::pair<int, int>> at_waits;

void look_at_the_screen() {
    std::vector<uint8_t> screen = watched->screen();
    int ray = 0;
    for (int r = 1; r <= 391; r++) ray += screen[r * 640 + 124] == 24;
    at_waits.push_back({ray, bug_shrink[0].width});
}

}  // namespace

TEST(GameDemo, StarsStayInTheWindowAndTheFinaleComesOnThe118thPass) {
    GameHarness game;
    for (int pass = 0; pass < 117; pass++) {
        game.pass();
        ASSERT_EQ(game_state, STATE_TITLE);
        std::vector<uint8_t> screen = game.screen();
        for (int y = 0; y < 480; y++) {
            for (int x = 0; x < 640; x++) {
                if (!outside_title_window(x, y)) continue;
                ASSERT_EQ(screen[y * 640 + x], bitmap_image.pixels[y * 640 + x])
                    << x << "," << y << " pass " << pass;
            }
        }
    }
    EXPECT_EQ(bug_bobs[0].y, 322);
    uint32_t start = tmr_ticks();
    watched = &game;
    at_waits.clear();
    clock_set_wait_hook(look_at_the_screen);
    game.pass();
    clock_set_wait_hook(nullptr);
    // The whole finale is this one pass: the ray shows while it waits once, then the bug
    // shrinks a step at each frame's wait, the ray gone.
    std::vector<std::pair<int, int>> expected = {{391, 0}};
    for (int width : {30, 28, 27, 25, 24, 22, 20, 19, 17, 16, 14, 12, 11, 9, 8, 6, 4, 3, 1, 0})
        expected.push_back({0, width});
    expected.push_back({0, 0});  // the title's own wait, its time already spent
    EXPECT_EQ(at_waits, expected) << "(ray pixels, bug width) at each wait";
    EXPECT_EQ(game_state, STATE_START);
    EXPECT_EQ(frame_count, 118);
    for (int r = 1; r <= 391; r++) ASSERT_EQ(ray_column[r], 124) << r;
    EXPECT_EQ(bug_shrink[0].step, 21) << "twenty shrinking frames";
    EXPECT_EQ(bug_shrink[0].width, 0);
    EXPECT_EQ(bug_bobs[0].state, BUG_FALLING) << "re-entered above the top";
    EXPECT_EQ(bug_bobs[0].y, -19);
    EXPECT_EQ(bitmap_image.pixels, nullptr) << "the title picture is released";
    EXPECT_EQ(tmr_ticks() - start, 35u + 20 * 40) << "ray shown 35 ms, 20 frames of 40 ms";
    game.pass();
    EXPECT_EQ(game_state, STATE_PLAY);
}

TEST(GameDemo, NewGameCutsTheTitleShort) {
    GameHarness game(with_script({"@5 key f2 down"}));
    game.passes(6);
    EXPECT_EQ(game_state, STATE_START);
    EXPECT_EQ(frame_count, 5);
    EXPECT_NE(bitmap_image.pixels, nullptr) << "no finale: the picture stays loaded";
}

TEST(GameDemo, PauseFreezesTheTitleAndEscapeQuitsIt) {
    GameHarness game(with_script({"@3 key space down", "@4 key f12 down", "@9 key space up",
                                  "@10 key space down", "@12 key escape down"}));
    game.passes(3);
    EXPECT_EQ(frame_count, 3);
    game.passes(7);
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(frame_count, 3) << "frozen while paused";
    EXPECT_EQ(benchmark_mode, 1) << "F12 works during the title";
    game.passes(2);
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(frame_count, 5);
    game.pass();
    EXPECT_EQ(game_state, STATE_QUIT);
}
