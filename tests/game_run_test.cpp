// The whole game run as the executable, headless: the title's dumps, and a game left alone
// that ends after its tenth miss at the frame its start layout dictates, the same every time.
#include "tests/game_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "game/state.h"
#include "game_harness.h"

namespace {

// Main-loop passes the title takes before the first game starts.
constexpr int TITLE_PASSES = 118;
// Bug 9 starts at row 240 - 171 and passes row 460 in its 392nd frame: the tenth miss.
constexpr int LAST_MISS_PASS = TITLE_PASSES + 1 + 391;

std::string dump_at(int pass, const std::string& extra = "") {
    std::string path = temp_path("state.txt");
    std::ostringstream args;
    args << "--headless --seed 99 --frames " << pass + 1 << " --dump-state " << pass << ":" << path
         << " " << extra;
    EXPECT_EQ(run_game(args.str()).status, 0) << args.str();
    std::string text = slurp(path);
    remove(path.c_str());
    return text;
}

}  // namespace

TEST(GameRun, TitleDumpsTheScreenAndEveryGlobal) {
    std::string screen = temp_path("title.bmp");
    std::string state = dump_at(0, "--dump-screen 0:" + screen);
    EXPECT_EQ(slurp(screen).size(), 14u + 40 + 1024 + 640 * 480);
    remove(screen.c_str());
    for (const char* name : {"bug_count",   "missed_limit",      "speed_mode",
                             "volume",      "game_state",        "paused",
                             "help_shown",  "benchmark_mode",    "benchmark_start_pending",
                             "score",       "score_shown",       "missed_count",
                             "speed_level", "frame_count",       "frame_delay",
                             "rocket_x",    "rocket_y",          "ray_state",
                             "ray_bottom",  "ray_top",           "fire_latch",
                             "spawn_row",   "twinkle_next",      "primary_pitch_words",
                             "bonus_sound", "hit_sound_pending", "title_init_pending"}) {
        EXPECT_NE(dump_value(state, name), "") << name;
    }
    EXPECT_EQ(dump_value(state, "title_init_pending"), "0");
    EXPECT_EQ(dump_value(state, "primary_pitch_words"), "160");
    EXPECT_NE(dump_value(state, "bug 9"), "");
}

TEST(GameRun, TitleGameOverNewGameAndEscape) {
    const int over = LAST_MISS_PASS + 5, second = LAST_MISS_PASS + 11;
    std::string script = temp_path("script.txt");
    FILE* out = fopen(script.c_str(), "w");
    fprintf(out, "gnatrix-input 1\n@%d key f2 down\n@%d key f2 up\n@%d key escape down\n",
            LAST_MISS_PASS + 10, LAST_MISS_PASS + 11, LAST_MISS_PASS + 20);
    fclose(out);
    std::string title = temp_path("title.txt"), ended = temp_path("over.txt"),
                again = temp_path("again.txt"), table = temp_path("table.bmp");
    std::ostringstream args;
    args << "--headless --seed 7 --frames 5000 --play " << script << " --dump-state 60:" << title
         << " --dump-state " << over << ":" << ended << " --dump-screen " << over << ":" << table
         << " --dump-state " << second << ":" << again;
    // Esc ends the run long before its 5000 passes, with a normal status.
    EXPECT_EQ(run_game(args.str()).status, 0) << args.str();
    EXPECT_EQ(dump_value(slurp(title), "game_state"), "1");
    std::string over_dump = slurp(ended);
    EXPECT_EQ(dump_value(over_dump, "game_state"), "4");
    EXPECT_EQ(dump_value(over_dump, "missed_count"), "10");
    EXPECT_EQ(dump_value(over_dump, "paused"), "1");
    std::string picture = slurp(table);
    EXPECT_NE(std::count(picture.begin(), picture.end(), char(23)), 0) << "the score table shows";
    std::string again_dump = slurp(again);
    EXPECT_EQ(dump_value(again_dump, "game_state"), "4");
    EXPECT_EQ(dump_value(again_dump, "missed_count"), "0");
    EXPECT_EQ(dump_value(again_dump, "paused"), "0");
    EXPECT_EQ(dump_value(again_dump, "frame_count"), "0") << "the new game has just started";
    for (const std::string& path : {script, title, ended, again, table}) remove(path.c_str());
}

TEST(GameRun, GameLeftAloneEndsAtItsTenthMissTheSameEveryTime) {
    std::string before = dump_at(LAST_MISS_PASS - 1);
    EXPECT_EQ(dump_value(before, "missed_count"), "9");
    EXPECT_EQ(dump_value(before, "paused"), "0");
    std::string end = dump_at(LAST_MISS_PASS);
    EXPECT_EQ(dump_value(end, "missed_count"), "10");
    EXPECT_EQ(dump_value(end, "paused"), "1");
    EXPECT_EQ(dump_value(end, "score"), "0");
    EXPECT_EQ(dump_at(LAST_MISS_PASS), end);
}
