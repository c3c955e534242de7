// The built game run as a player would run it: headless passes, dumps, and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/game_run.h"

namespace {

uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

TEST(GameRun, HeadlessPassesWriteTheScreenAtTheEndOfAPass) {
    std::string bmp = temp_path("e2e_screen.bmp");
    std::string again = temp_path("e2e_screen_again.bmp");
    std::remove(bmp.c_str());
    GameOutput run = run_game("--headless --frames 3 --dump-screen 2:" + bmp);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string file = slurp(bmp);
    constexpr size_t HEADER = 14 + 40 + 256 * 4, PIXELS = 640 * 480;
    ASSERT_EQ(file.size(), HEADER + PIXELS);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(le32(file, 2), HEADER + PIXELS);  // file size
    EXPECT_EQ(le32(file, 10), HEADER);          // offset of the pixels
    EXPECT_EQ(le32(file, 14), 40u);             // info header size
    EXPECT_EQ(le32(file, 18), 640u);
    EXPECT_EQ(le32(file, 22), 480u);
    EXPECT_EQ(le32(file, 26), 1u | 8u << 16);  // one plane, 8 bits per pixel
    EXPECT_EQ(le32(file, 30), 0u);             // not compressed
    EXPECT_EQ(le32(file, 46), 256u);           // colours used
    for (int i = 0; i < 256; ++i) ASSERT_EQ(file[54 + 4 * i + 3], 0) << "palette entry " << i;
    // Headless runs are exact: the same passes give the same picture.
    GameOutput second = run_game("--headless --frames 3 --dump-screen 2:" + again);
    EXPECT_EQ(second.status, 0);
    EXPECT_TRUE(slurp(again) == file);
}

TEST(GameRun, DumpsThatCannotBeWrittenFailTheRun) {
    GameOutput unwritable = run_game("--headless --frames 3 --dump-screen 1:/nonexistent/s.bmp");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("/nonexistent/s.bmp"), std::string::npos);
    GameOutput never = run_game("--headless --frames 3 --dump-state 50:never.txt");
    EXPECT_EQ(never.status, 1);
    EXPECT_EQ(lines(never.err), 1) << never.err;
}

TEST(GameRun, EscapeDuringTheTitleEndsTheProgram) {
    std::string base = temp_path("escape");
    std::ofstream(base + ".script") << "gnatrix-input 1\n@3 key escape down\n";
    GameOutput run = run_game("--headless --play " + base + ".script --dump-state 2:" + base +
                              ".state --dump-state 3:" + base + ".quit --dump-screen 3:" + base +
                              ".bmp --dump-state 50:" + base + ".late");
    std::string state = slurp(base + ".state"), quit = slurp(base + ".quit");
    std::string bmp = slurp(base + ".bmp");
    EXPECT_NE(state.find("game_state 1\n"), std::string::npos) << state;
    // The pass that quit ran to its end: it is dumped as it stood, before the shut-down's fade.
    EXPECT_NE(quit.find("game_state 5\n"), std::string::npos) << quit;
    constexpr size_t PALETTE = 14 + 40, PIXELS = PALETTE + 256 * 4;
    ASSERT_EQ(bmp.size(), PIXELS + 640 * 480);
    EXPECT_NE(bmp.substr(PALETTE, 256 * 4).find_first_not_of('\0'), std::string::npos);
    EXPECT_NE(bmp.find_first_not_of('\0', PIXELS), std::string::npos);
    // The loop ended long before pass 50: that dump is reported missing, and only that.
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lines(run.err), 1) << run.err;
    EXPECT_NE(run.err.find(".late' was not written"), std::string::npos) << run.err;

    // Esc held at start-up quits in pass 0, which is dumped too.
    std::remove((base + ".quit").c_str());
    std::ofstream(base + ".script") << "gnatrix-input 1\n@0 key escape down\n";
    GameOutput start_up =
        run_game("--headless --play " + base + ".script --dump-state 0:" + base + ".quit");
    EXPECT_EQ(start_up.status, 0) << start_up.err;
    EXPECT_NE(slurp(base + ".quit").find("game_state 5\n"), std::string::npos);
    for (const char* suffix : {".script", ".state", ".quit", ".bmp", ".late"})
        std::remove((base + suffix).c_str());
}

TEST(GameRun, VersionAndHelp) {
    GameOutput version = run_game("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Gnatrix 1.1\n");
    GameOutput help = run_game("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--window", "--scale ", "--scale-mode", "--headless", "--frames",
                               "--dump-screen", "--dump-state", "--seed", "--play", "--record",
                               "--timedemo", "--data-dir", "--user-data", "--help", "--version"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST(GameRun, BadOptionsGiveOneMessage) {
    for (const char* args : {"--bogus", "--frames", "--scale 0", "--dump-screen nopass.bmp"}) {
        GameOutput run = run_game(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(lines(run.err), 1) << args << ": " << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(GameRun, NoDisplayPointsToHeadless) {
    GameOutput run = run_game("--frames 1", "-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(lines(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("--headless"), std::string::npos) << run.err;
}

}  // namespace
