// The in-process game harness and the helpers of tests that drive the game.
#include "game_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "game/hooks.h"
#include "game/state.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"
#include "screens/score.h"
#include "tests/scratch_dir.h"

GameHarness::GameHarness(const GameSetup& setup) : score_file_(temp_path("scores.bin")) {
    Options options;
    options.headless = !setup.window;
    options.window = setup.window;
    options.record_file = setup.record;
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
    clock_set_virtual(true);
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

bool GameHarness::peek() {
    if (quit_code_ >= 0) return false;
    MSG msg{};
    if (peek_message(&msg)) {
        if (msg.message == WM_QUIT) {
            quit_code_ = int(msg.wParam);
            return false;
        }
        dispatch_message(&msg);
    }
    return true;
}

void GameHarness::game_state_step_once() {
    game_state_step();
}

void GameHarness::pass() {
    if (peek()) game_state_step();
}

_SDL_Joystick* attach_virtual_pad(int (*rumble)(void*, uint16_t, uint16_t)) {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.Rumble = rumble;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    return index < 0 ? nullptr : SDL_JoystickOpen(index);
}

void detach_virtual_pad(_SDL_Joystick* pad) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
    SDL_JoystickClose(pad);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
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

static_assert(int(PAD_DPAD_RIGHT) == SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
static_assert(int(PAD_TRIGGERRIGHT) == SDL_CONTROLLER_AXIS_TRIGGERRIGHT);

void pad_button(_SDL_Joystick* pad, PadButton button, bool down) {
    SDL_JoystickSetVirtualButton(pad, button, down);
}

void pad_axis(_SDL_Joystick* pad, PadAxis axis, int16_t value) {
    SDL_JoystickSetVirtualAxis(pad, axis, value);
}

const char* pad_error() {
    return SDL_GetError();
}

void push_pad_press(PadButton button) {
    for (bool down : {true, false}) {
        SDL_Event event{};
        event.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
        event.cbutton.button = uint8_t(button);
        event.cbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&event);
    }
}
