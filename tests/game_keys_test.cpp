// The command keys: latches that make a held key act once, Space's conditions, Esc with help
// shown, keys ignored while help is shown, F12 while paused, and the paused poll's wait.
#include <gtest/gtest.h>

#include "game/keys.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"

// start_game uses passes 0 and 1; the first frame of play is pass 2.

namespace {

// Plays pass 2, then runs pass 3 as if the help viewer were on screen.
void play_pass_with_help_shown(GameHarness& game) {
    game.pass();
    help_shown = 1;
    paused = 1;
    game.pass();
}

}  // namespace

TEST(GameKeys, HeldF2StartsOneGameUntilReleased) {
    GameHarness game(with_script({"@3 key f2 down", "@9 key f2 up", "@11 key f2 down"}));
    start_game(game);
    std::vector<int> requested;
    for (int pass = 2; pass <= 13; pass++) {
        game.pass();
        if (game_state == STATE_START) requested.push_back(pass);
    }
    EXPECT_EQ(requested, (std::vector<int>{3, 11}));
}

TEST(GameKeys, HeldSpaceTogglesOnceAndWaitsForTheGameToAllowIt) {
    GameHarness game(with_script({"@3 key space down", "@6 key space up", "@7 key space down"}));
    start_game(game);
    game.passes(2);
    EXPECT_EQ(paused, 1);
    game.passes(3);
    EXPECT_EQ(paused, 1) << "held: no second toggle";
    missed_limit = 0;  // the game counts as over: Space must not resume it
    game.pass();
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(pause_latch, 1);
    missed_limit = 10;  // still held: acts at the next poll
    game.pass();
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(pause_latch, 0);
}

TEST(GameKeys, EscapeClosesHelpInsteadOfQuittingAndActsOncePerPress) {
    GameHarness game(with_script({"@3 key escape down", "@5 key escape up", "@6 key escape down"}));
    start_game(game);
    play_pass_with_help_shown(game);
    EXPECT_EQ(game_state, STATE_PLAY);
    EXPECT_EQ(escape_latch, 0);
    help_shown = 0;  // as if help had closed
    game.pass();
    EXPECT_EQ(game_state, STATE_PLAY) << "still held since it closed help";
    game.pass();
    EXPECT_EQ(escape_latch, 1);
    game.pass();
    EXPECT_EQ(game_state, STATE_QUIT);
}

TEST(GameKeys, NewGameAndPanelIgnoredWhileHelpIsShown) {
    GameHarness game(with_script({"@3 key f2 down", "@3 key f3 down"}));
    start_game(game);
    play_pass_with_help_shown(game);
    EXPECT_EQ(game_state, STATE_PLAY);
    EXPECT_EQ(new_game_latch, 1);
    EXPECT_EQ(panel_latch, 1);
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
