// Game controllers: every connected pad is turned into the keys, mouse motion and left button it
// stands for, in the live input that each pass samples, so recordings hold only those and replay
// anywhere. Pads are opened at start and as they are plugged in; none are read headless or while
// a script plays.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/script.h"
#include "platform/sdl/internal.h"

namespace {

constexpr double DEAD_ZONE = 0.24;       // of the stick's travel: worn sticks rest off centre
constexpr double STEP_DEFLECTION = 0.5;  // a stick pushed this far is an arrow key (help)
constexpr int TRIGGER_DOWN = 16000, TRIGGER_UP = 8000;  // of 32767, apart so it cannot chatter
constexpr uint32_t QUIT_HOLD_MS = 1000;
constexpr uint32_t DPAD_RAMP_MS = 400;  // a held d-pad reaches full speed in this time
constexpr uint32_t LONGEST_STEP_MS = 100;
constexpr uint16_t RUMBLE_LOW = 0x4000, RUMBLE_HIGH = 0xC000;
constexpr uint32_t RUMBLE_MS = 150;

// What the pads hold down, let go of all at once when one is pulled out.
struct Held {
    bool fire_trigger = false;  // the right trigger is past its threshold
    bool b_held = false, b_in_help = false, escape_sent = false;
    uint32_t b_down_at = 0;
    bool stick_keys[2] = {};  // Up, Down sent because of the stick
    uint32_t last_pass_at = 0;
    uint32_t dpad_held_ms[4] = {};  // up, down, left, right
    double carry_x = 0, carry_y = 0;
};

struct Pads {
    bool up = false;  // the subsystem was started
    std::vector<SDL_GameController*> open;
    bool help_shown = false;
    Held held;
};
Pads pads;
Held& held = pads.held;

const int DPAD[4] = {SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                     SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};

SDL_JoystickID id_of(SDL_GameController* pad) {
    return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
}

void open_pad(int device_index) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device_index);
    for (SDL_GameController* pad : pads.open)
        if (id_of(pad) == id) return;
    if (!SDL_IsGameController(device_index)) return;
    if (SDL_GameController* pad = SDL_GameControllerOpen(device_index)) pads.open.push_back(pad);
}

// Whatever the pads held is let go, so that a pad pulled out never leaves a key down.
void release_all() {
    for (int vk : {VK_SPACE, VK_F1, VK_F2, VK_F3, VK_UP, VK_DOWN, VK_ESCAPE})
        input_live_key(vk, false);
    input_live_button(false);
    held = Held();
    held.last_pass_at = clock_ticks();
}

void close_pad(SDL_JoystickID id) {
    auto gone = std::find_if(pads.open.begin(), pads.open.end(),
                             [id](SDL_GameController* pad) { return id_of(pad) == id; });
    if (gone == pads.open.end()) return;
    SDL_GameControllerClose(*gone);
    pads.open.erase(gone);
    release_all();
}

// Any pad's button or axis counts.
bool any_button(int button) {
    for (SDL_GameController* pad : pads.open)
        if (SDL_GameControllerGetButton(pad, SDL_GameControllerButton(button))) return true;
    return false;
}

double stick_axis(SDL_GameControllerAxis axis) {
    int strongest = 0;
    for (SDL_GameController* pad : pads.open) {
        const int value = SDL_GameControllerGetAxis(pad, axis);
        if (std::abs(value) > std::abs(strongest)) strongest = value;
    }
    return std::max(-1.0, strongest / 32767.0);
}

int vk_of(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_START:
            return VK_SPACE;
        case SDL_CONTROLLER_BUTTON_Y:
            return VK_F1;
        case SDL_CONTROLLER_BUTTON_X:
            return VK_F2;
        case SDL_CONTROLLER_BUTTON_BACK:
            return VK_F3;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return VK_UP;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return VK_DOWN;
        default:
            return 0;
    }
}

// B closes help at once, as Esc does; anywhere else it is Esc only once held for a second.
void b_button(bool down) {
    held.b_held = down;
    held.b_down_at = clock_ticks();
    held.b_in_help = down && pads.help_shown;
    if (!down || held.b_in_help) {
        input_live_key(VK_ESCAPE, down);
        held.escape_sent = down;
    }
}

void button_event(const SDL_ControllerButtonEvent& e) {
    const bool down = e.state == SDL_PRESSED;
    if (e.button == SDL_CONTROLLER_BUTTON_A) return input_live_button(down || held.fire_trigger);
    if (e.button == SDL_CONTROLLER_BUTTON_B) return b_button(down);
    if (int vk = vk_of(e.button)) input_live_key(vk, down);
}

void trigger_event(const SDL_ControllerAxisEvent& e) {
    if (e.axis != SDL_CONTROLLER_AXIS_TRIGGERRIGHT) return;
    const bool past = held.fire_trigger ? e.value > TRIGGER_UP : e.value > TRIGGER_DOWN;
    if (past == held.fire_trigger) return;
    held.fire_trigger = past;
    input_live_button(past || any_button(SDL_CONTROLLER_BUTTON_A));
}

// Outside play the stick is the arrow keys, for scrolling help.
void stick_keys(bool steering) {
    const double y = stick_axis(SDL_CONTROLLER_AXIS_LEFTY);
    const bool want[2] = {!steering && y <= -STEP_DEFLECTION, !steering && y >= STEP_DEFLECTION};
    const int vk[2] = {VK_UP, VK_DOWN}, dpad[2] = {DPAD[0], DPAD[1]};
    for (int i = 0; i < 2; ++i) {
        if (want[i] == held.stick_keys[i]) continue;
        held.stick_keys[i] = want[i];
        input_live_key(vk[i], want[i] || any_button(dpad[i]));
    }
}

// Past the dead zone the rest of the travel is squared: a touch creeps a pixel at a time, a full
// push crosses the screen at the chosen speed.
void stick_deflection(double* dx, double* dy) {
    const double x = stick_axis(SDL_CONTROLLER_AXIS_LEFTX),
                 y = stick_axis(SDL_CONTROLLER_AXIS_LEFTY);
    const double magnitude = std::min(1.0, std::hypot(x, y));
    *dx = *dy = 0;
    if (magnitude <= DEAD_ZONE) return;
    const double r = (magnitude - DEAD_ZONE) / (1.0 - DEAD_ZONE);
    const double scale = r * r / std::hypot(x, y);
    *dx = x * scale, *dy = y * scale;
}

// A d-pad direction starts with one step and then speeds up along the stick's curve.
double dpad_deflection(int negative, int positive, uint32_t step_ms, double* carry) {
    double deflection = 0;
    for (int i : {negative, positive}) {
        const double sign = i == negative ? -1 : 1;
        if (!any_button(DPAD[i])) {
            held.dpad_held_ms[i] = 0;
            continue;
        }
        if (held.dpad_held_ms[i] == 0) *carry += sign;
        held.dpad_held_ms[i] += step_ms;
        const double r = std::min(1.0, double(held.dpad_held_ms[i]) / DPAD_RAMP_MS);
        deflection += sign * r * r;
    }
    return deflection;
}

// Motion for the time since the last pass, the fractions kept for the next one.
void steer(uint32_t step_ms) {
    double x = 0, y = 0;
    stick_deflection(&x, &y);
    x = std::clamp(x + dpad_deflection(2, 3, step_ms, &held.carry_x), -1.0, 1.0);
    y = std::clamp(y + dpad_deflection(0, 1, step_ms, &held.carry_y), -1.0, 1.0);
    // The rocket moves two pixels per unit of motion.
    const double units_per_ms = platform_options().pad_speed * 640 / 2 / 1000;
    held.carry_x += x * units_per_ms * step_ms;
    held.carry_y += y * units_per_ms * step_ms;
    const int dx = int(std::trunc(held.carry_x)), dy = int(std::trunc(held.carry_y));
    held.carry_x -= dx, held.carry_y -= dy;
    if (x == 0) held.carry_x = 0;
    if (y == 0) held.carry_y = 0;
    if (dx != 0 || dy != 0) input_live_motion(dx, dy);
}

}  // namespace

void pad_init() {
    const Options& options = platform_options();
    if (options.headless || !options.play_file.empty() || pads.up) return;
    // Read with or without the focus, as the mouse and keyboard devices are.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return;
    pads = Pads();
    pads.up = true;
    held.last_pass_at = clock_ticks();
    // Pads already there arrive as device-added events too; those open them (once).
    SDL_GameControllerEventState(SDL_ENABLE);
}

void pad_shutdown() {
    for (SDL_GameController* pad : pads.open) SDL_GameControllerClose(pad);
    if (pads.up) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    pads = Pads();
}

int pad_count() {
    return int(pads.open.size());
}

void pad_handle_event(const SDL_Event& e) {
    if (!pads.up || script_playing()) return;
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            open_pad(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            close_pad(e.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            button_event(e.cbutton);
            break;
        case SDL_CONTROLLERAXISMOTION:
            trigger_event(e.caxis);
            break;
        default:
            break;
    }
}

// At each pass start, before the sample: the held B's second, the stick, the motion.
void pad_begin_pass(bool steering) {
    if (!pads.up || script_playing()) return;
    const uint32_t now = clock_ticks();
    const uint32_t step_ms = std::min(now - held.last_pass_at, LONGEST_STEP_MS);
    held.last_pass_at = now;
    if (pads.open.empty()) return;
    if (held.b_held && !held.escape_sent && now - held.b_down_at >= QUIT_HOLD_MS) {
        input_live_key(VK_ESCAPE, true);
        held.escape_sent = true;
    }
    stick_keys(steering);
    if (steering) {
        steer(step_ms);
    } else {
        held.carry_x = held.carry_y = 0;
        std::fill(std::begin(held.dpad_held_ms), std::end(held.dpad_held_ms), 0u);
    }
}

void platform_feedback(Feedback what) {
    if (what == FEEDBACK_HELP_SHOWN || what == FEEDBACK_HELP_CLOSED) {
        pads.help_shown = what == FEEDBACK_HELP_SHOWN;
        return;
    }
    if (!platform_options().rumble) return;
    for (SDL_GameController* pad : pads.open)
        SDL_GameControllerRumble(pad, RUMBLE_LOW, RUMBLE_HIGH, RUMBLE_MS);
}
