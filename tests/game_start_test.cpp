// The start of a game: status bar and its two zeros, the bugs' layout, the pace, the bugs
// beyond bug_count, and the screen left locked.
#include <gtest/gtest.h>

#include "game/start.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/display.h"
#include "platform/resources.h"

namespace {

// The digit "0" as the sprite sheet draws it: the 16 x 16 cell at (1, 51), rows bottom-up.
uint8_t zero_digit(int x, int y) {
    ResourceData data;
    EXPECT_TRUE(find_resource("BITMAP", 171, &data));
    const uint8_t* pixels = data.data + 40 + 1024;
    return pixels[(399 - (51 + y)) * 400 + 1 + x];
}

bool in_cell(int x, int y, int left) {
    return x >= left && x < left + 16 && y >= 462 && y < 478;
}

}  // namespace

TEST(GameStart, StatusBarShowsTwoZerosOnColourFifteen) {
    GameHarness game;
    start_game(game, 10, 1);
    std::vector<uint8_t> screen = game.screen();
    for (int y = 460; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            uint8_t expected = 15;
            if (in_cell(x, y, 10)) expected = zero_digit(x - 10, y - 462);
            if (in_cell(x, y, 608)) expected = zero_digit(x - 608, y - 462);
            ASSERT_EQ(screen[y * 640 + x], expected) << x << "," << y;
        }
    }
    for (int y = 0; y < 460; y++) {
        for (int x = 0; x < 640; x++) ASSERT_EQ(screen[y * 640 + x], 0) << x << "," << y;
    }
    EXPECT_NE(primary_buffer, nullptr) << "left locked for the first frame";
}

TEST(GameStart, BugsStandNineteenRowsApartAndTheRestAreLeftAlone) {
    GameHarness game;
    game.pass();
    bug_bobs[7].x = 77, bug_bobs[7].y = 333, bug_bobs[7].state = BUG_SHRINKING;
    bug_count = 5;
    game_state = STATE_START;
    game.pass();
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(bug_bobs[i].y, 240 - 19 * i);
        EXPECT_GE(bug_bobs[i].x, 0);
        EXPECT_LT(bug_bobs[i].x, 608);
        EXPECT_EQ(bug_bobs[i].state, BUG_FALLING);
        EXPECT_EQ(bug_bobs[i].vel_y, 1);
    }
    EXPECT_EQ(bug_bobs[7].x, 77);
    EXPECT_EQ(bug_bobs[7].y, 333);
    EXPECT_EQ(bug_bobs[7].state, BUG_SHRINKING);
    EXPECT_EQ(spawn_row, 0);
    EXPECT_EQ(rocket_x, 320);
    EXPECT_EQ(rocket_y, 240);
}

TEST(GameStart, PaceDependsOnTheSpeedSetting) {
    {
        GameHarness game;
        start_game(game, 10, 1);
        EXPECT_EQ(frame_delay, 35.0f);
        EXPECT_EQ(bug_bobs[0].anim_period, 4);
    }
    {
        GameHarness game;
        start_game(game, 10, 2);
        EXPECT_EQ(frame_delay, 21.0f);
        EXPECT_EQ(bug_bobs[0].anim_period, 6);
        EXPECT_EQ(speed_level, 0);
    }
}
