// Runs the real game in-process, headless on the virtual clock: boots the shell's start-up,
// feeds an input script and steps main-loop passes one at a time, as the shell's loop does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "screens/score.h"

// Points the game's score file at `path` while it lives; then back where it pointed before.
struct ScoreFileAt {
    explicit ScoreFileAt(std::string path) : path(std::move(path)) {
        score_file_name = this->path.c_str();
    }
    ~ScoreFileAt() { score_file_name = previous; }
    ScoreFileAt(const ScoreFileAt&) = delete;
    ScoreFileAt& operator=(const ScoreFileAt&) = delete;

    const std::string path;
    const char* const previous = score_file_name;
};

struct _SDL_Joystick;
// A virtual game controller (SDL's), its buttons and axes in the controller's order; the
// platform picks it up at the next pump. Null on failure.
_SDL_Joystick* attach_virtual_pad(int (*rumble)(void*, uint16_t, uint16_t) = nullptr);
void detach_virtual_pad(_SDL_Joystick* pad);
// A game controller's buttons and axes, numbered as SDL numbers them.
enum PadButton {
    PAD_A,
    PAD_B,
    PAD_X,
    PAD_Y,
    PAD_BACK,
    PAD_GUIDE,
    PAD_START,
    PAD_LEFTSTICK,
    PAD_RIGHTSTICK,
    PAD_LEFTSHOULDER,
    PAD_RIGHTSHOULDER,
    PAD_DPAD_UP,
    PAD_DPAD_DOWN,
    PAD_DPAD_LEFT,
    PAD_DPAD_RIGHT
};
enum PadAxis { PAD_LEFTX, PAD_LEFTY, PAD_RIGHTX, PAD_RIGHTY, PAD_TRIGGERLEFT, PAD_TRIGGERRIGHT };
void pad_button(_SDL_Joystick* pad, PadButton button, bool down);
void pad_axis(_SDL_Joystick* pad, PadAxis axis, int16_t value);
// The last error SDL reported, for a failed attach.
const char* pad_error();
// A pad's press and release, queued as SDL's game-controller layer delivers them.
void push_pad_press(PadButton button);

struct GameSetup {
    std::vector<std::string> script;  // input-script lines after the header
    int primary_pitch = 0;            // 0: the display's natural pitch
    uint32_t seed = 4711;
    bool window = false;  // on SDL's dummy display, with live input (and pads)
    std::string record;   // records the run's input there
};

inline GameSetup with_script(std::vector<std::string> lines) {
    GameSetup setup;
    setup.script = std::move(lines);
    return setup;
}

class GameHarness {
  public:
    explicit GameHarness(const GameSetup& setup = {});
    ~GameHarness();
    GameHarness(const GameHarness&) = delete;
    GameHarness& operator=(const GameHarness&) = delete;

    // One pass: the message peek (where input is sampled) and one step of the current state;
    // after the quit message, nothing.
    void pass();
    // The quit message's code, or -1 while none has arrived.
    int quit_code() const { return quit_code_; }
    void passes(int count);
    // One pass whose step runs after `between` (for events the step itself must take).
    template <typename F>
    void pass_with(F between) {
        if (peek()) {
            between();
            game_state_step_once();
        }
    }
    // Passes until game_state is `state`; false if it is not reached within `limit` passes.
    bool run_until(int state, int limit);
    // The primary surface's pixels, 640 x 480, whether it is locked or not.
    std::vector<uint8_t> screen() const;
    uint8_t pixel(int x, int y) const { return screen()[y * 640 + x]; }

  private:
    bool peek();
    void game_state_step_once();
    std::string script_path_;
    ScoreFileAt score_file_;  // each game keeps its high-score table apart
    int quit_code_ = -1;
};

// Runs the title's first pass, then the start of a game with these settings.
void start_game(GameHarness& game, int bugs = 10, int speed = 1);

// Outside the title's demonstration window, its loading caption and the backdrop mark, the
// title screen shows nothing but the title picture.
bool outside_title_window(int x, int y);

// The value on the "name value" line of a state dump, or "" when there is none.
std::string dump_value(const std::string& dump, const std::string& name);
