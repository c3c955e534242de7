// The built-in demo, --timedemo and --user-data, run as a player would run them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/game_run.h"

namespace {

namespace fs = std::filesystem;

class Demo : public ::testing::Test {
  protected:
    // Runs the game in the test's own folder (the game writes scores.bin where it runs).
    GameOutput run(const std::string& args, const std::string& env = "") {
        return run_game(args, env, dir.string());
    }
    const ScratchDir scratch{"demo"};
    const fs::path dir = scratch.path();
};

struct Summary {
    long score = -1, missed = -1, passes = -1;
    double seconds = 0;
};

// The demo's one line, read back; false unless it is exactly that line as the game formats it.
bool read_summary(const std::string& line, Summary* s) {
    if (sscanf(line.c_str(), "score %ld, missed %ld, passes %ld, game time %lf s", &s->score,
               &s->missed, &s->passes, &s->seconds) != 4)
        return false;
    char again[160];
    snprintf(again, sizeof again, "score %ld, missed %ld, passes %ld, game time %.1f s\n", s->score,
             s->missed, s->passes, s->seconds);
    return line == again;
}

// The timedemo's line for the given frame count, likewise.
bool is_speed_line(const std::string& line, int frames) {
    int read_frames = 0;
    double seconds = 0, fps = 0;
    if (sscanf(line.c_str(), "timedemo: %d frames in %lf s, %lf frames per second", &read_frames,
               &seconds, &fps) != 3)
        return false;
    char again[160];
    snprintf(again, sizeof again, "timedemo: %d frames in %.3f s, %.1f frames per second", frames,
             seconds, fps);
    return line == again;
}

TEST_F(Demo, HeadlessAlonePlaysTheBuiltInDemoToTheEndAndSumsItUp) {
    GameOutput demo = run("--headless");
    ASSERT_EQ(0, demo.status) << demo.err;
    Summary m;
    ASSERT_TRUE(read_summary(demo.out, &m)) << demo.out;
    EXPECT_GE(m.score, 5000);  // a good game ...
    EXPECT_EQ(10, m.missed);   // ... played to its end
    EXPECT_GT(m.passes, 1000);
    EXPECT_FALSE(fs::exists(dir / "scores.bin")) << "the demo's table is its own";

    // A player's table (one score, 500) stays theirs through demos and timedemos alike, and
    // they play the same whatever the folder holds; a replay is a game, and enters its score.
    std::string table(320, '\0');
    table[0] = char(0xF4), table[1] = char(0x01);
    std::ofstream(dir / "scores.bin", std::ios::binary) << table;
    fs::copy_file(fs::path(GNATRIX_SOURCE_DIR) / "resources" / "demo.gxi", dir / "demo.gxi");
    EXPECT_EQ(demo.out, run("--headless").out);
    GameOutput timed = run("--headless --timedemo demo.gxi");
    EXPECT_EQ(0, timed.status) << timed.err;
    EXPECT_EQ(0u, timed.out.find(demo.out)) << timed.out;
    EXPECT_EQ(table, slurp((dir / "scores.bin").string()));
    ASSERT_EQ(0, run("--headless --play demo.gxi").status);
    const std::string entered = slurp((dir / "scores.bin").string());
    ASSERT_EQ(320u, entered.size());
    EXPECT_EQ(m.score, uint8_t(entered[0]) | uint8_t(entered[1]) << 8);
    // A frame limit or a script of its own means no demo and no summary.
    GameOutput limited = run("--headless --frames 5");
    EXPECT_EQ(0, limited.status);
    EXPECT_EQ("", limited.out);
}

TEST_F(Demo, TimedemoReplaysAScriptAndReportsItsSpeed) {
    std::ofstream(dir / "short.gxi") << "gnatrix-input 1\nseed 7\n@40 mouse 5 0\n@299 close\n";
    GameOutput timed = run("--headless --timedemo short.gxi");
    ASSERT_EQ(0, timed.status) << timed.err;
    std::istringstream lines(timed.out);
    std::string summary, speed;
    std::getline(lines, summary);
    std::getline(lines, speed);
    Summary short_run;
    EXPECT_TRUE(read_summary(summary + "\n", &short_run)) << summary;
    EXPECT_NE(std::string::npos, summary.find("passes 301")) << summary;
    EXPECT_TRUE(is_speed_line(speed, 301)) << speed;

    // A recording from another format version is refused before anything runs.
    std::ofstream(dir / "future.gxi") << "gnatrix-input 2\n@5 close\n";
    GameOutput refused = run("--headless --timedemo future.gxi");
    EXPECT_NE(0, refused.status);
    EXPECT_EQ("", refused.out);
    EXPECT_NE(std::string::npos, refused.err.find("version 2 is not supported")) << refused.err;
}

// The system's data folder: XDG's here, %APPDATA%'s on Windows.
TEST_F(Demo, UserDataRunsInTheSystemsFolderMadeWhenMissing) {
    std::ofstream(dir / "short.gxi") << "gnatrix-input 1\n@50 close\n";
    const UserFolderVariables folders = process_user_folder_variables();
    // The script's name is the player's, relative to where the command was typed.
    GameOutput run_there = run("--user-data --headless --play short.gxi --dump-state 10:state.txt",
                               folders.data + ("=" + (dir / "xdg").string()));
    ASSERT_EQ(0, run_there.status) << run_there.err;
    EXPECT_TRUE(fs::exists(dir / "state.txt"));
    EXPECT_TRUE(fs::is_directory(dir / "xdg" / folders.folder));
    const UserDataFallback fallback = process_user_data_fallback(dir.string());
    GameOutput home = run("--user-data --headless --frames 2", fallback.env);
    EXPECT_EQ(0, home.status) << home.err;
    EXPECT_TRUE(fs::is_directory(fallback.folder)) << fallback.folder;
    // A relative folder variable does not count: never a folder wherever the game was started.
    GameOutput relative =
        run("--user-data --headless --frames 2", fallback.env + " " + folders.data + "=rel");
    EXPECT_EQ(0, relative.status) << relative.err;
    EXPECT_FALSE(fs::exists(dir / "rel"));
    fs::create_directories(dir / "blocked");
    std::ofstream(dir / "blocked" / "gnatrix") << "a file, not a folder";
    GameOutput blocked = run("--data-dir blocked/gnatrix/x --headless --frames 2");
    EXPECT_EQ(1, blocked.status);
    EXPECT_NE(std::string::npos, blocked.err.find("cannot use the folder")) << blocked.err;
}

}  // namespace
