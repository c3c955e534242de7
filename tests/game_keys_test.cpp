// The command keys: latches that make a held key act once and each key again once released,
// Space's conditions, Esc with help shown and while paused, keys ignored while help is shown,
// keys at a finished game's table, F12 while paused, and the paused poll's wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "game/keys.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/draw.h"
#include "screens/score.h"

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

TEST(GameKeys, EscapeWhilePausedQuits) {
    GameHarness game(with_script({"@3 key space down", "@4 key space up", "@6 key escape down"}));
    start_game(game);
    game.passes(3);
    ASSERT_EQ(paused, 1);
    game.pass();
    EXPECT_EQ(game_state, STATE_PLAY);
    game.pass();
    EXPECT_EQ(game_state, STATE_QUIT);
}

// Pressed, released and pressed again, each key acts at both presses.
TEST(GameKeys, EveryCommandKeyActsAgainOnceReleased) {
    GameHarness game(with_script(
        {"@3 key f2 down",     "@4 key f2 up",          "@6 key f2 down",     "@7 key f2 up",
         "@9 key f3 down",     "@9 panel volume down",  "@9 panel ok",        "@10 key f3 up",
         "@12 key f3 down",    "@12 panel volume down", "@12 panel ok",       "@13 key f3 up",
         "@15 key f12 down",   "@16 key f12 up",        "@18 key f12 down",   "@19 key f12 up",
         "@21 key space down", "@22 key space up",      "@24 key space down", "@25 key space up"}));
    start_game(game);
    std::vector<int> new_games;
    for (int pass = 2; pass <= 8; pass++) {
        game.pass();
        if (game_state == STATE_START) new_games.push_back(pass);
    }
    EXPECT_EQ(new_games, (std::vector<int>{3, 6}));
    game.passes(6);
    EXPECT_EQ(volume, 8) << "the panel opened twice";
    std::vector<int> benchmark, pause;
    for (int pass = 15; pass <= 25; pass++) {
        game.pass();
        benchmark.push_back(benchmark_mode);
        pause.push_back(paused);
    }
    EXPECT_EQ(benchmark, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pause, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0}));
}

// A finished game stays over at its table, whatever Space or help does: one that resumed would
// end again at once and enter the same score a second time.
TEST(GameKeys, SpaceAndHelpAtTheTableLeaveTheGameOver) {
    GameHarness game(with_script({"@224 key space down", "@225 key space up", "@228 key f1 down",
                                  "@229 key f1 up", "@231 key escape down", "@232 key escape up"}));
    start_game(game);
    missed_limit = 1;
    score = 300;
    game.passes(221);  // the first miss ends the game in pass 222
    ASSERT_EQ(paused, 1);
    auto entries = [] {
        std::ifstream in(score_file_name, std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        ScoreTable table{};
        score_table_decode(bytes.data(), bytes.size(), &table);
        return std::count(table.scores, table.scores + SCORE_RANKS, 300);
    };
    EXPECT_EQ(entries(), 1);
    game.passes(5);
    EXPECT_EQ(entries(), 1) << "Space resumed the game";
    game.passes(3);
    EXPECT_EQ(help_shown, 1);
    game.passes(4);
    EXPECT_EQ(help_shown, 0);
    EXPECT_EQ(entries(), 1) << "F1 then Esc resumed the game";
    game.passes(20);
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(game_state, STATE_PLAY);
    EXPECT_EQ(entries(), 1);
}
