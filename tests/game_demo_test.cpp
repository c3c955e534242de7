// The title demonstration: stars only inside its window, the finale on the 118th pass with its
// ray, hit and twenty shrinking frames, and the keys that cut it short.
#include <gtest/gtest.h>

#include "game/keys.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"
#include "gfx/image.h"

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
    game.pass();
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
