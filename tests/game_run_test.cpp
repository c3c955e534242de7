// The whole game run as the executable, headless: the title's dumps, and a game left alone
// that ends after its tenth miss at the frame its start layout dictates, the same every time.
#include <gtest/gtest.h>

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
    EXPECT_EQ(run_gnatrix(args.str()), 0) << args.str();
    std::string text = read_text(path);
    remove(path.c_str());
    return text;
}

}  // namespace

TEST(GameRun, TitleDumpsTheScreenAndEveryGlobal) {
    std::string screen = temp_path("title.bmp");
    std::string state = dump_at(0, "--dump-screen 0:" + screen);
    EXPECT_EQ(read_text(screen).size(), 14u + 40 + 1024 + 640 * 480);
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
