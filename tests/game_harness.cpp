// The in-process game harness and the helpers of tests that drive the game.
#include "game_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "game/hooks.h"
#include "game/state.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"
#include "screens/score.h"
#include "tests/scratch_dir.h"

GameHarness::GameHarness(const GameSetup& setup) : score_file_(temp_path("scores.bin")) {
    Options options;
    options.headless = true;
    options.has_seed = true;
    options.seed = setup.seed;
    if (!setup.script.empty()) {
        script_path_ = temp_path("script.txt");
        std::ofstream out(script_path_);
        out << "gnatrix-input 1\n";
        for (const std::string& line : setup.script) out << line << "\n";
        options.play_file = script_path_;
    }
    if (!platform_init(options)) ADD_FAILURE() << "platform start-up: " << platform_error();
    display_set_primary_pitch(setup.primary_pitch);
    game_reset_state();
    app_open_window();
    game_register_hooks();
    game_startup();
}

GameHarness::~GameHarness() {
    game_shutdown();
    platform_shutdown();
    display_set_primary_pitch(0);
    resource_clear_overrides();
    if (!script_path_.empty()) remove(script_path_.c_str());
    remove(score_file_.path.c_str());
}

void GameHarness::pass() {
    if (quit_code_ >= 0) return;
    MSG msg{};
    if (peek_message(&msg)) {
        if (msg.message == WM_QUIT) {
            quit_code_ = int(msg.wParam);
            return;
        }
        dispatch_message(&msg);
    }
    game_state_step();
}

void GameHarness::passes(int count) {
    for (int i = 0; i < count; i++) pass();
}

bool GameHarness::run_until(int state, int limit) {
    for (int i = 0; i < limit && game_state != state; i++) pass();
    return game_state == state;
}

std::vector<uint8_t> GameHarness::screen() const {
    std::vector<uint8_t> pixels(640 * 480);
    uint8_t rgb[256][3];
    display_snapshot(pixels.data(), rgb);
    return pixels;
}

void start_game(GameHarness& game, int bugs, int speed) {
    game.pass();
    bug_count = bugs;
    speed_mode = speed;
    game_state = STATE_START;
    game.pass();
}

bool outside_title_window(int x, int y) {
    bool window = x >= 76 && x <= 174 && y >= 141 && y <= 459;
    bool caption = x >= 260 && x < 360 && y >= 380 && y < 420;
    return !window && !caption && !(x == 40 && y == 40);
}

std::string dump_value(const std::string& dump, const std::string& name) {
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, name.size() + 1, name + " ") == 0) return line.substr(name.size() + 1);
    }
    return "";
}
