// The built game run as a player would run it: headless passes, dumps, and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "game/state.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/sdl/internal.h"
#include "screens/help.h"
#include "tests/game_harness.h"
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

namespace {

// A press held for a couple of passes, as a thumb does.
void pad_press(GameHarness& game, _SDL_Joystick* pad, PadButton b) {
    pad_button(pad, b, true);
    game.passes(2);
    pad_button(pad, b, false);
    game.passes(2);
}

std::string state_dump() {
    std::string path = temp_path("pad_state.txt");
    FILE* out = fopen(path.c_str(), "wb");
    platform_state_dumper()(out);
    fclose(out);
    return slurp(path);
}

// A whole game from a virtual pad in a window of the dummy display: new game, steering, shots,
// pause, help, the control panel and the held B that quits; its recording replays headless to
// the same state.
TEST(PadGame, PlaysTheWholeGameAndItsRecordingReplaysHeadless) {
    const std::string recording = temp_path("pad_game.gxi");
    std::string end_state;
    uint32_t end_pass = 0;
    {
        GameSetup setup;
        setup.window = true;
        setup.record = recording;
        GameHarness game(setup);
        _SDL_Joystick* pad = attach_virtual_pad();
        ASSERT_NE(pad, nullptr) << pad_error();
        game.passes(3);
        ASSERT_EQ(pad_count(), 1);
        pad_button(pad, PAD_X, true);  // F2: a new game
        game.pass();
        EXPECT_EQ(game_state, STATE_START) << "X is F2";
        ASSERT_TRUE(game.run_until(STATE_PLAY, 200));
        pad_button(pad, PAD_X, false);
        game.passes(3);

        const int32_t x0 = rocket_x;
        pad_axis(pad, PAD_LEFTX, -32768);
        game.passes(6);
        pad_axis(pad, PAD_LEFTX, 0);
        game.passes(2);
        EXPECT_LT(rocket_x, x0 - 100) << "full tilt for a few frames crosses a good part";

        pad_button(pad, PAD_A, true);
        game.passes(2);  // the poll sees the button the frame before read
        EXPECT_EQ(ray_state, RAY_SHOWN) << "A fires";
        game.passes(4);
        EXPECT_EQ(ray_state, RAY_NONE) << "held, it fires once";
        EXPECT_EQ(fire_latch, 0);
        pad_button(pad, PAD_A, false);
        game.passes(2);
        EXPECT_EQ(fire_latch, 1);

        pad_press(game, pad, PAD_START);
        EXPECT_EQ(paused, 1);
        pad_press(game, pad, PAD_START);
        EXPECT_EQ(paused, 0);

        pad_press(game, pad, PAD_Y);
        EXPECT_EQ(help_shown, 1);
        pad_button(pad, PAD_DPAD_DOWN, true);
        game.passes(6);
        pad_button(pad, PAD_DPAD_DOWN, false);
        EXPECT_GT(help_view.first_paragraph, 0) << "the d-pad scrolls help";
        pad_press(game, pad, PAD_B);
        EXPECT_EQ(help_shown, 0) << "B closes help at once";
        EXPECT_NE(game_state, STATE_QUIT);

        // The panel: Back opens it; then down to the bugs' bar, left lowers it, up to OK, A.
        pad_button(pad, PAD_BACK, true);
        game.pass_with([] {
            for (auto b : {PAD_DPAD_DOWN, PAD_DPAD_LEFT, PAD_DPAD_UP, PAD_A}) push_pad_press(b);
        });
        pad_button(pad, PAD_BACK, false);
        EXPECT_EQ(bug_count, 9);
        ASSERT_TRUE(game.run_until(STATE_PLAY, 200)) << "a new bug count restarts the game";

        pad_button(pad, PAD_B, true);  // tapped above; held now, it quits
        game.passes(20);
        EXPECT_EQ(game_state, STATE_PLAY) << "not before a second";
        ASSERT_TRUE(game.run_until(STATE_QUIT, 40));
        end_state = state_dump();
        end_pass = platform_pass();
        ASSERT_TRUE(input_platform_finish()) << platform_error();
        detach_virtual_pad(pad);
    }
    const std::string replayed = temp_path("pad_replayed.txt");
    GameOutput run = run_game("--headless --play " + recording + " --dump-state " +
                              std::to_string(end_pass) + ":" + replayed);
    EXPECT_EQ(run.status, 0) << run.err;
    // Headless is silent: the sound slot is the one line that may differ.
    const auto without_sound = [](std::string dump) {
        const size_t at = dump.find("bonus_sound ");
        return at == std::string::npos ? dump : dump.erase(at, dump.find('\n', at) + 1 - at);
    };
    EXPECT_EQ(without_sound(slurp(replayed)), without_sound(end_state));
    std::remove(recording.c_str());
    std::remove(replayed.c_str());
}

}  // namespace
