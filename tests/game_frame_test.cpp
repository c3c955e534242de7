// The frame of play: the pace and its table, the speed steps, the end of a game, benchmark
// mode, the rocket and its ray, and the star field.
#include <gtest/gtest.h>

#include "game/frame.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"

namespace {

// Milliseconds of (virtual) time one pass takes.
uint32_t timed_pass(GameHarness& game) {
    uint32_t start = tmr_ticks();
    game.pass();
    return tmr_ticks() - start;
}

// The rocket and the bugs have white highlights of the stars' colour.
bool on_sprite(int x, int y) {
    auto inside = [&](int left, int top, int width, int height) {
        return x >= left && x < left + width && y >= top && y < top + height;
    };
    if (inside(rocket_x, rocket_y, ROCKET_WIDTH, ROCKET_HEIGHT)) return true;
    for (int i = 0; i < bug_count; i++) {
        if (inside(bug_bobs[i].x, bug_bobs[i].y, BUG_WIDTH, BUG_HEIGHT)) return true;
    }
    return false;
}

}  // namespace

TEST(GameFrame, PaceTableForBothSpeedsWithTheirFloors) {
    GameHarness game;
    start_game(game);
    const int normal[][2] = {{35, 4}, {33, 4},  {31, 4},  {29, 4},  {27, 5},
                             {25, 5}, {23, 6},  {21, 6},  {19, 7},  {17, 8},
                             {15, 9}, {13, 10}, {11, 12}, {10, 14}, {10, 14}};
    const int fast[][2] = {{21, 6},  {19, 7}, {17, 8}, {15, 9}, {13, 10},
                           {11, 12}, {9, 15}, {7, 20}, {7, 20}, {7, 20}};
    for (int mode : {1, 2}) {
        speed_mode = mode;
        int levels = mode == 1 ? 15 : 10;
        for (int level = 0; level < levels; level++) {
            speed_level = level - 1;  // the step raises it during play
            game_speed_step();
            const int* expected = mode == 1 ? normal[level] : fast[level];
            EXPECT_EQ(frame_delay, float(expected[0])) << "mode " << mode << " level " << level;
            EXPECT_EQ(bug_bobs[9].anim_period, expected[1])
                << "mode " << mode << " level " << level;
            EXPECT_EQ(speed_level, level);
            EXPECT_EQ(frame_count, 0);
        }
    }
}

TEST(GameFrame, SpeedStepsEvery402CountedFramesAndPausedFramesDoNotCount) {
    GameHarness game;
    start_game(game);
    missed_limit = 99;
    game.passes(401);
    EXPECT_EQ(speed_level, 0);
    paused = 1;
    game.passes(5);
    paused = 0;
    EXPECT_EQ(frame_count, 401);
    EXPECT_EQ(timed_pass(game), 33u) << "the 402nd frame steps up and already keeps the new pace";
    EXPECT_EQ(speed_level, 1);
    EXPECT_EQ(frame_delay, 33.0f);
    game.passes(401);
    EXPECT_EQ(speed_level, 1);
    game.pass();
    EXPECT_EQ(speed_level, 2);
}

TEST(GameFrame, GameEndsInTheFrameOfTheMissThatReachesTheLimit) {
    GameHarness game;
    start_game(game);
    missed_limit = 1;
    game.passes(220);  // bug 0 stands at row 240; it passes row 460 in its 221st frame
    EXPECT_EQ(missed_count, 0);
    EXPECT_EQ(paused, 0);
    game.pass();
    EXPECT_EQ(missed_count, 1);
    EXPECT_EQ(paused, 1);
    int counted = frame_count;
    EXPECT_EQ(timed_pass(game), 35u) << "frozen: only the paused poll's wait";
    EXPECT_EQ(frame_count, counted);
    EXPECT_EQ(game_state, STATE_PLAY);
}

TEST(GameFrame, BenchmarkRunsUnpacedAndShowsTheTimeAtTheEnd) {
    GameHarness game;
    start_game(game);
    benchmark_mode = 1;
    missed_limit = 1;
    for (int i = 0; i < 220; i++) ASSERT_EQ(timed_pass(game), 0u);
    std::vector<uint8_t> before = game.screen();
    game.pass();
    EXPECT_EQ(paused, 1);
    // No time passes on the virtual clock without waits: "0" in digit cells at the top left.
    std::vector<uint8_t> after = game.screen();
    std::vector<uint8_t> status_zero, corner;
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            corner.push_back(after[y * 640 + x]);
            status_zero.push_back(after[(462 + y) * 640 + 10 + x]);
        }
    }
    EXPECT_EQ(corner, status_zero);
}

TEST(GameFrame, RocketFollowsTwiceTheMouseWithinItsBounds) {
    std::vector<std::string> script = {"@2 mouse 3 -2", "@3 mouse -1000 -1000",
                                       "@4 mouse 5000 5000"};
    // Over a thousand million units in one read: twice that does not fit 32 bits.
    for (int i = 0; i < 1100; i++) script.push_back("@5 mouse 1000000 -1000000");
    GameHarness game(with_script(script));
    start_game(game);
    game.pass();
    EXPECT_EQ(rocket_x, 326);
    EXPECT_EQ(rocket_y, 236);
    game.pass();
    EXPECT_EQ(rocket_x, 0);
    EXPECT_EQ(rocket_y, 224);
    game.pass();
    EXPECT_EQ(rocket_x, 624);
    EXPECT_EQ(rocket_y, 428);
    game.pass();
    EXPECT_EQ(rocket_x, 624);
    EXPECT_EQ(rocket_y, 224);
}

TEST(GameFrame, OneShotPerPressVisibleForOneFrame) {
    GameHarness game(with_script({"@2 button down", "@6 button up", "@8 button down"}));
    start_game(game);
    auto ray_pixels = [&] {
        std::vector<uint8_t> screen = game.screen();
        return std::count(screen.begin(), screen.end(), COLOUR_RAY);
    };
    std::vector<int> shots;
    for (int pass = 2; pass <= 11; pass++) {
        game.pass();
        if (ray_state == RAY_SHOWN) {
            shots.push_back(pass);
            EXPECT_GT(ray_pixels(), 0);
            EXPECT_EQ(ray_bottom, rocket_y);
            EXPECT_EQ(ray_top, 0);
        } else {
            EXPECT_EQ(ray_pixels(), 0) << "pass " << pass;
        }
    }
    // The button read by one frame's rocket step fires in the next frame's poll.
    EXPECT_EQ(shots, (std::vector<int>{3, 9}));
}

TEST(GameFrame, StarsOnlyOnOddRowsOfThePlayField) {
    GameHarness game;
    start_game(game);
    missed_limit = 99;
    for (int frame = 0; frame < 300; frame++) {
        game.pass();
        std::vector<uint8_t> screen = game.screen();
        int stars = 0;
        for (int y = 0; y < 480; y++) {
            for (int x = 0; x < 640; x++) {
                if (screen[y * 640 + x] != COLOUR_STAR || on_sprite(x, y)) continue;
                ASSERT_TRUE(y % 2 == 1 && y < 460 && x == star_column[y]) << x << "," << y;
                stars++;
            }
        }
        ASSERT_GT(stars, 150) << "frame " << frame;
    }
}
