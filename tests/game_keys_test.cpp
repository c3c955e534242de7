// The command keys: latches that make a held key act once, Space's conditions, Esc with help
// shown, keys ignored while help is shown, F12 while paused, and the paused poll's wait.
#include <gtest/gtest.h>

#include "game/keys.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"

// start_game uses passes 0 and 1; the first frame of play is pass 2.

TEST(GameKeys, EscapeClosesHelpInsteadOfQuittingAndActsOncePerPress) {
    GameHarness game(with_script({"@3 key f1 down", "@4 key f1 up", "@5 key escape down",
                                  "@8 key escape up", "@9 key escape down"}));
    start_game(game);
    game.passes(2);
    ASSERT_EQ(help_shown, 1);
    EXPECT_EQ(paused, 1);
    game.passes(2);
    EXPECT_EQ(help_shown, 0) << "Esc closed help";
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(game_state, STATE_PLAY);
    EXPECT_EQ(escape_latch, 0);
    game.passes(2);
    EXPECT_EQ(game_state, STATE_PLAY) << "still held since it closed help";
    game.pass();
    EXPECT_EQ(escape_latch, 1);
    game.pass();
    EXPECT_EQ(game_state, STATE_QUIT);
}

TEST(GameKeys, NewGamePanelAndPauseIgnoredWhileHelpIsShown) {
    GameHarness game(with_script({"@3 key f1 down", "@4 key f1 up", "@5 key f2 down",
                                  "@5 key f3 down", "@5 key space down"}));
    start_game(game);
    game.passes(4);
    ASSERT_EQ(help_shown, 1);
    EXPECT_EQ(game_state, STATE_PLAY);
    EXPECT_EQ(new_game_latch, 1);
    EXPECT_EQ(panel_latch, 1);
    EXPECT_EQ(pause_latch, 1);
    EXPECT_EQ(paused, 1);
}

TEST(GameKeys, F12TogglesWhilePausedAndThePausedWaitCountsFromTheFrameStart) {
    GameHarness game(with_script({"@3 key f12 down", "@4 key f12 up", "@6 key f12 down"}));
    start_game(game);
    paused = 1;
    auto timed = [&] {
        uint32_t start = tmr_ticks();
        game.pass();
        return tmr_ticks() - start;
    };
    std::vector<uint32_t> waits, modes;
    for (int pass = 2; pass <= 7; pass++) {
        waits.push_back(timed());
        modes.push_back(uint32_t(benchmark_mode));
    }
    // Benchmark mode takes the start time once, in the first frame after F12; later polls
    // measure from it and do not wait.
    EXPECT_EQ(modes, (std::vector<uint32_t>{0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(waits, (std::vector<uint32_t>{35, 35, 35, 0, 0, 35}));
}
