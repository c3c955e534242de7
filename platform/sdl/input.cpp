// Live input and the per-pass sample: SDL events accumulate between pass starts; each pass start
// turns them (or a script's items) into the sample that key_state and the devices answer from.
// Also the cursor's display count and the mouse capture that goes with it.
#include "platform/input.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/script.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"

namespace {

struct KeyInfo {
    const char* name;
    int vk;
    uint8_t dik;  // the direct-input key code, for the keyboard device's bytes
    SDL_Keycode sdl;
};

// The first row of a virtual key gives its script name; later rows are aliases.
const KeyInfo KEYS[] = {
    {"escape", VK_ESCAPE, 0x01, SDLK_ESCAPE},
    {"f1", VK_F1, 0x3B, SDLK_F1},
    {"f2", VK_F2, 0x3C, SDLK_F2},
    {"f3", VK_F3, 0x3D, SDLK_F3},
    {"f4", VK_F4, 0x3E, SDLK_F4},
    {"f5", VK_F5, 0x3F, SDLK_F5},
    {"f6", VK_F6, 0x40, SDLK_F6},
    {"f7", VK_F7, 0x41, SDLK_F7},
    {"f8", VK_F8, 0x42, SDLK_F8},
    {"f9", VK_F9, 0x43, SDLK_F9},
    {"f10", VK_F10, 0x44, SDLK_F10},
    {"f11", VK_F11, 0x57, SDLK_F11},
    {"f12", VK_F12, 0x58, SDLK_F12},
    {"space", VK_SPACE, 0x39, SDLK_SPACE},
    {"up", VK_UP, 0xC8, SDLK_UP},
    {"down", VK_DOWN, 0xD0, SDLK_DOWN},
    {"left", VK_LEFT, 0xCB, SDLK_LEFT},
    {"right", VK_RIGHT, 0xCD, SDLK_RIGHT},
    {"enter", VK_RETURN, 0x1C, SDLK_RETURN},
    {"return", VK_RETURN, 0x9C, SDLK_KP_ENTER},
    {"tab", VK_TAB, 0x0F, SDLK_TAB},
    {"backspace", VK_BACK, 0x0E, SDLK_BACKSPACE},
    {"pageup", VK_PRIOR, 0xC9, SDLK_PAGEUP},
    {"pagedown", VK_NEXT, 0xD1, SDLK_PAGEDOWN},
    {"home", VK_HOME, 0xC7, SDLK_HOME},
    {"end", VK_END, 0xCF, SDLK_END},
    {"insert", VK_INSERT, 0xD2, SDLK_INSERT},
    {"delete", VK_DELETE, 0xD3, SDLK_DELETE},
    {"pause", VK_PAUSE, 0xC5, SDLK_PAUSE},
    {"printscreen", VK_SNAPSHOT, 0xB7, SDLK_PRINTSCREEN},
    {"shift", VK_SHIFT, 0x2A, SDLK_LSHIFT},
    {"rshift", VK_SHIFT, 0x36, SDLK_RSHIFT},
    {"ctrl", VK_CONTROL, 0x1D, SDLK_LCTRL},
    {"rctrl", VK_CONTROL, 0x9D, SDLK_RCTRL},
    {"alt", VK_MENU, 0x38, SDLK_LALT},
    {"ralt", VK_MENU, 0xB8, SDLK_RALT},
};

// Letters and digits: names and key codes are their characters; these are their DIK codes.
const uint8_t LETTER_DIK[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
const uint8_t DIGIT_DIK[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
char single_names[36][2];  // "a" .. "z", "0" .. "9"

bool is_letter_vk(int vk) {
    return vk >= 'A' && vk <= 'Z';
}
bool is_digit_vk(int vk) {
    return vk >= '0' && vk <= '9';
}

int vk_from_sdl(SDL_Keycode key) {
    if (key >= 'a' && key <= 'z') return int(key - 'a' + 'A');
    if (key >= '0' && key <= '9') return int(key);
    for (const KeyInfo& k : KEYS)
        if (k.sdl == key) return k.vk;
    return 0;
}

SDL_Keycode sdl_from_vk(int vk) {
    if (is_letter_vk(vk)) return SDL_Keycode(vk - 'A' + 'a');
    if (is_digit_vk(vk)) return SDL_Keycode(vk);
    for (const KeyInfo& k : KEYS)
        if (k.vk == vk) return k.sdl;
    return SDLK_UNKNOWN;
}

uint8_t dik_from_vk(int vk) {
    if (is_letter_vk(vk)) return LETTER_DIK[vk - 'A'];
    if (is_digit_vk(vk)) return DIGIT_DIK[vk - '0'];
    for (const KeyInfo& k : KEYS)
        if (k.vk == vk) return k.dik;
    return 0;
}

constexpr int BUTTONS = 4;

// What happened since the last sample.
struct Live {
    bool down[256];
    bool pressed[256];  // went down since the last sample, even if already up again
    bool button_down[BUTTONS];
    bool button_pressed[BUTTONS];
    int32_t dx, dy, dz;
    bool close;
};

// What the game reads during one pass.
struct Sample {
    bool keys[256];
    bool buttons[BUTTONS];
    int32_t dx, dy, dz;
    bool close;
};

Live live;
Sample sample;
Sample previous;  // the sample before, for recording the changes
int cursor_count = 0;
int cursor_x = 0, cursor_y = 0;
bool captured = false;
bool released_by_player = false;  // after focus loss or Alt+Tab, until a click in the window
bool window_focused = false;      // as the window's focus events and clicks tell
std::vector<InputDevice*> devices;
int systems_alive = 0;
bool device_fault[3] = {};  // by DeviceType: creating one fails, as on a system without it
bool mouse_read = false;    // the mouse device was read since the last sample: the game steers

// Motion a script or the system gives can be anything; never let a sum overflow.
int32_t add_saturated(int32_t a, int32_t b) {
    int64_t sum = int64_t(a) + b;
    return int32_t(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

// The player's mouse speed (--mouse-speed) scales the system's motion before the sample, so a
// recording holds what the game saw; the fraction of a count left over waits for the next motion.
double mouse_speed = 1.0;
double motion_rest[2] = {};

int32_t scaled_motion(int32_t raw, double* rest) {
    if (mouse_speed == 1.0) return raw;
    const double exact = raw * mouse_speed + *rest;
    const double whole = std::trunc(exact);
    *rest = exact - whole;
    return int32_t(std::clamp<double>(whole, INT32_MIN, INT32_MAX));
}

void add_live_motion(int32_t dx, int32_t dy, int32_t dz) {
    live.dx = add_saturated(live.dx, dx);
    live.dy = add_saturated(live.dy, dy);
    live.dz = add_saturated(live.dz, dz);
}

// Presses are kept until the next sample only while the game hides the cursor: a shown cursor
// means the control panel has the input, and its Esc or its click on OK must not reach the
// game after it closes. Script items always count.
bool keep_presses(bool from_script) {
    return from_script || cursor_count < 0;
}

void set_key(int vk, bool down, bool from_script) {
    if (vk <= 0 || vk > 255) return;
    live.down[vk] = down;
    if (down && keep_presses(from_script)) live.pressed[vk] = true;
}

void set_button(int index, bool down, bool from_script) {
    if (index < 0 || index >= BUTTONS) return;
    live.button_down[index] = down;
    if (down && keep_presses(from_script)) live.button_pressed[index] = true;
}

void take_sample() {
    previous = sample;
    for (int vk = 0; vk < 256; ++vk) {
        sample.keys[vk] = live.down[vk] || live.pressed[vk];
        live.pressed[vk] = false;
    }
    for (int b = 0; b < BUTTONS; ++b) {
        sample.buttons[b] = live.button_down[b] || live.button_pressed[b];
        live.button_pressed[b] = false;
    }
    sample.dx = live.dx, sample.dy = live.dy, sample.dz = live.dz;
    live.dx = live.dy = live.dz = 0;
    sample.close = live.close;
    live.close = false;
}

void apply_script_item(const ScriptItem& item) {
    switch (item.kind) {
        case ScriptItemKind::Key:
            set_key(item.vk, item.down, true);
            break;
        case ScriptItemKind::Mouse:
            add_live_motion(item.dx, item.dy, 0);
            break;
        case ScriptItemKind::Button:
            set_button(0, item.down, true);
            break;
        case ScriptItemKind::Close:
            live.close = true;
            break;
        case ScriptItemKind::Panel:
            break;  // queued for the control panel by the script
    }
}

// The changes from the previous sample, as script items. A close that --frames asks for in
// this pass is recorded too, so that the recording replays alone.
void record_sample(uint32_t pass) {
    ScriptItem item;
    for (int vk = 0; vk < 256; ++vk) {
        if (sample.keys[vk] == previous.keys[vk] || !key_name(vk)) continue;
        item.kind = ScriptItemKind::Key, item.vk = vk, item.down = sample.keys[vk];
        script_record(item);
    }
    if (sample.buttons[0] != previous.buttons[0]) {
        item.kind = ScriptItemKind::Button, item.down = sample.buttons[0];
        script_record(item);
    }
    if (sample.dx != 0 || sample.dy != 0) {
        item.kind = ScriptItemKind::Mouse, item.dx = sample.dx, item.dy = sample.dy;
        script_record(item);
    }
    if (sample.close || platform_options().frames == int64_t(pass)) {
        item.kind = ScriptItemKind::Close;
        script_record(item);
    }
}

// Captured: relative mode, so motion keeps coming at the screen's edge. Only while the game
// hides the cursor, the window has the focus and the player has not taken the mouse away.
void update_capture() {
    SDL_Window* window = platform_sdl_window();
    if (!window) return;
    bool hidden = cursor_count < 0;
    bool focused = window_focused || (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS);
    bool capture = hidden && focused && !released_by_player && !script_playing();
    if (capture != captured) {
        SDL_SetRelativeMouseMode(capture ? SDL_TRUE : SDL_FALSE);
        captured = capture;
    }
    // A replay needs no mouse, but the game's hidden cursor stays hidden over the window.
    bool show_system_cursor = !hidden || (!captured && !(script_playing() && focused));
    SDL_ShowCursor(show_system_cursor ? SDL_ENABLE : SDL_DISABLE);
}

void release_capture_for_player() {
    released_by_player = true;
    update_capture();
}

void handle_window_event(const SDL_WindowEvent& e) {
    if (e.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        window_focused = false;
        release_capture_for_player();
    }
    if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        window_focused = true;
        update_capture();
    }
    if (e.event == SDL_WINDOWEVENT_CLOSE) live.close = true;
}

void handle_key_event(const SDL_KeyboardEvent& e) {
    // PrintScreen is the platform's screenshot key, never the game's.
    if (e.repeat || e.keysym.sym == SDLK_PRINTSCREEN) return;
    bool down = e.type == SDL_KEYDOWN;
    if (down && e.keysym.sym == SDLK_TAB && (e.keysym.mod & KMOD_ALT)) release_capture_for_player();
    set_key(vk_from_sdl(e.keysym.sym), down, false);
}

int button_index(uint8_t sdl_button) {
    switch (sdl_button) {
        case SDL_BUTTON_LEFT:
            return 0;
        case SDL_BUTTON_RIGHT:
            return 1;
        case SDL_BUTTON_MIDDLE:
            return 2;
        case SDL_BUTTON_X1:
            return 3;
        default:
            return -1;
    }
}

void handle_button_event(const SDL_MouseButtonEvent& e) {
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    if (down && cursor_count < 0 && !captured && platform_sdl_window()) {
        // The click that takes the mouse back is not a shot.
        released_by_player = false;
        window_focused = true;
        update_capture();
        return;
    }
    set_button(button_index(e.button), down, false);
}

}  // namespace

// ---- Key state and cursor ----

int16_t key_state(int vk) {
    bool down = false;
    if (vk == VK_LBUTTON)
        down = sample.buttons[0];
    else if (vk == VK_RBUTTON)
        down = sample.buttons[1];
    else if (vk == VK_MBUTTON)
        down = sample.buttons[2];
    else if (vk > 0 && vk < 256)
        down = sample.keys[vk];
    return down ? int16_t(0x8000) : int16_t(0);
}

int show_cursor(bool show) {
    cursor_count += show ? 1 : -1;
    update_capture();
    return cursor_count;
}

bool set_cursor_pos(int x, int y) {
    // Only remembered: a warp would come back as motion that the player never made.
    cursor_x = x, cursor_y = y;
    return true;
}

void cursor_pos(int* x, int* y) {
    *x = cursor_x, *y = cursor_y;
}

const char* key_name(int vk) {
    if (is_letter_vk(vk) || is_digit_vk(vk)) {
        int i = is_letter_vk(vk) ? vk - 'A' : 26 + vk - '0';
        single_names[i][0] = char(is_letter_vk(vk) ? vk - 'A' + 'a' : vk);
        return single_names[i];
    }
    for (const KeyInfo& k : KEYS)
        if (k.vk == vk) return k.name;
    return nullptr;
}

int key_from_name(const char* name) {
    if (name[0] != '\0' && name[1] == '\0') {
        if (name[0] >= 'a' && name[0] <= 'z') return name[0] - 'a' + 'A';
        if (name[0] >= '0' && name[0] <= '9') return name[0];
    }
    for (const KeyInfo& k : KEYS)
        if (std::strcmp(k.name, name) == 0) return k.vk;
    return 0;
}

// ---- Hooks ----

void input_handle_event(const void* sdl_event) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    if (e.type == SDL_WINDOWEVENT) return handle_window_event(e.window);
    if (e.type == SDL_QUIT) live.close = true;
    // While a script plays, it is the only input the game gets.
    if (script_playing()) return;
    pad_handle_event(e);
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            handle_key_event(e.key);
            break;
        case SDL_MOUSEMOTION:
            add_live_motion(scaled_motion(e.motion.xrel, &motion_rest[0]),
                            scaled_motion(e.motion.yrel, &motion_rest[1]), 0);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            handle_button_event(e.button);
            break;
        case SDL_MOUSEWHEEL: {
            int32_t flip = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            add_live_motion(0, 0, flip * e.wheel.y * 120);  // one notch is 120 units
            break;
        }
        default:
            break;
    }
}

void input_begin_pass(uint32_t pass) {
    std::vector<ScriptItem> items = script_begin_pass(pass);
    if (script_playing()) {
        live.close = false;  // the window's own close box is the window's business then
        for (const ScriptItem& item : items) apply_script_item(item);
    }
    pad_begin_pass(mouse_read);
    mouse_read = false;
    take_sample();
    if (script_playing() && sample.close) post_close_request();
    if (script_recording()) record_sample(pass);
    InputDevice::add_motion(sample.dx, sample.dy, sample.dz);
}

void input_forget_presses() {
    std::fill(std::begin(live.pressed), std::end(live.pressed), false);
    std::fill(std::begin(live.button_pressed), std::end(live.button_pressed), false);
}

bool input_platform_init(const Options& options) {
    input_reset();
    std::string error;
    if (!script_start(options.play_file, options.record_file, options.has_seed, options.seed,
                      &error, options.play_demo)) {
        platform_set_error(error);
        return false;
    }
    pad_init();
    platform_add_event_hook(input_handle_event);
    platform_add_pass_hook(input_begin_pass);
    if (options.mouse_speed > 0) mouse_speed = options.mouse_speed;
    return true;
}

bool input_platform_finish() {
    std::string error;
    bool ok = script_finish(&error);
    if (!ok) platform_set_error(error);
    return ok;
}

void input_reset() {
    live = Live();
    mouse_speed = 1.0;
    motion_rest[0] = motion_rest[1] = 0;
    sample = previous = Sample();
    cursor_count = 0;
    cursor_x = cursor_y = 0;
    released_by_player = false;
    window_focused = false;
    if (captured && platform_sdl_window()) SDL_SetRelativeMouseMode(SDL_FALSE);
    captured = false;
    mouse_read = false;
    for (bool& fault : device_fault) fault = false;
}

void input_inject_fault(DeviceType type, bool fail) {
    device_fault[int(type)] = fail;
}

void input_release_mouse() {
    release_capture_for_player();
}

bool input_mouse_captured() {
    return captured;
}

// ---- Devices ----

void InputDevice::add_motion(int32_t dx, int32_t dy, int32_t dz) {
    for (InputDevice* device : devices) {
        if (device->type_ != DeviceType::Mouse || !device->acquired_) continue;
        device->dx_ = add_saturated(device->dx_, dx);
        device->dy_ = add_saturated(device->dy_, dy);
        device->dz_ = add_saturated(device->dz_, dz);
    }
}

bool InputDevice::set_cooperative_level(Window*, uint32_t flags) {
    bool one_sharing = ((flags & DISCL_EXCLUSIVE) != 0) != ((flags & DISCL_NONEXCLUSIVE) != 0);
    bool one_focus = ((flags & DISCL_FOREGROUND) != 0) != ((flags & DISCL_BACKGROUND) != 0);
    if (!one_sharing || !one_focus || acquired_) return false;
    cooperative_flags_ = flags;
    return true;
}

bool InputDevice::set_data_format(DataFormat format) {
    static const DataFormat MATCHING[] = {DataFormat::Keyboard, DataFormat::Mouse,
                                          DataFormat::Joystick};
    if (acquired_ || format != MATCHING[int(type_)]) return false;
    format_ = format;
    return true;
}

bool InputDevice::acquire() {
    if (format_ == DataFormat::None) return false;
    if (!acquired_) dx_ = dy_ = dz_ = 0;  // motion counts only while acquired
    acquired_ = true;
    return true;
}

bool InputDevice::unacquire() {
    if (!acquired_) return false;
    acquired_ = false;
    return true;
}

bool InputDevice::get_device_state(uint32_t size, void* buffer) {
    if (!acquired_ || !buffer) return false;
    switch (type_) {
        case DeviceType::Keyboard: {
            if (size != 256) return false;
            auto* bytes = static_cast<uint8_t*>(buffer);
            std::memset(bytes, 0, 256);
            for (int vk = 1; vk < 256; ++vk)
                if (sample.keys[vk] && dik_from_vk(vk)) bytes[dik_from_vk(vk)] = 0x80;
            return true;
        }
        case DeviceType::Mouse: {
            if (size != sizeof(DIMOUSESTATE)) return false;
            DIMOUSESTATE state = {dx_, dy_, dz_, {}};
            mouse_read = true;
            for (int b = 0; b < BUTTONS; ++b) state.rgbButtons[b] = sample.buttons[b] ? 0x80 : 0;
            std::memcpy(buffer, &state, sizeof state);
            dx_ = dy_ = dz_ = 0;
            return true;
        }
        case DeviceType::Joystick:
            if (size != sizeof(DIJOYSTATE)) return false;
            return read_joystick(static_cast<DIJOYSTATE*>(buffer));
    }
    return false;
}

void InputDevice::release() {
    devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
    if (joystick_) {
        SDL_JoystickClose(static_cast<SDL_Joystick*>(joystick_));
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    delete this;
}

InputSystem* InputSystem::create() {
    ++systems_alive;
    return new InputSystem();
}

InputDevice* InputSystem::create_device(DeviceType type) {
    if (device_fault[int(type)]) return nullptr;
    auto* device = new InputDevice(type);
    if (type == DeviceType::Joystick) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
            delete device;
            return nullptr;
        }
        device->joystick_ = SDL_NumJoysticks() > 0 ? SDL_JoystickOpen(0) : nullptr;
        if (!device->joystick_) {
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
            delete device;
            return nullptr;
        }
    }
    devices.push_back(device);
    return device;
}

void InputSystem::release() {
    --systems_alive;
    delete this;
}

InputCounts input_live_counts() {
    return {systems_alive, int(devices.size())};
}

void input_live_key(int vk, bool down) {
    set_key(vk, down, false);
}

void input_live_button(bool down) {
    set_button(0, down, false);
}

void input_live_motion(int32_t dx, int32_t dy) {
    add_live_motion(dx, dy, 0);
}

void input_simulate_key(int vk, bool down) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.keysym.sym = sdl_from_vk(vk);
    input_handle_event(&event);
}

void input_simulate_button(bool down) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_LEFT;
    input_handle_event(&event);
}

void input_simulate_close() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void input_queue_key(int vk, bool down, bool with_alt, bool with_shift) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = sdl_from_vk(vk);
    event.key.keysym.mod = uint16_t((with_alt ? KMOD_LALT : 0) | (with_shift ? KMOD_LSHIFT : 0));
    SDL_PushEvent(&event);
}

void input_simulate_motion(int dx, int dy) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    input_handle_event(&event);
}
