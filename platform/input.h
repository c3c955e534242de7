// Keyboard, mouse and joystick: the key-state query, the cursor's display count, and input
// devices that read relative mouse motion and button bytes. Stands in for the system's key
// state and its direct-input service. Everything the game reads comes from the input sample
// taken at the start of each main-loop pass (live events, or a script being played).
#pragma once
#include <cstdint>

class Window;

// Virtual-key codes, as the system numbers them.
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_SNAPSHOT = 0x2C;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
// Letters and digits are their upper-case ASCII codes ('A' .. 'Z', '0' .. '9').

// The most significant bit (0x8000) is set while the key is down in this pass's sample.
// Mouse buttons answer to VK_LBUTTON, VK_RBUTTON and VK_MBUTTON.
int16_t key_state(int vk);

// The cursor's display count: starts at 0, show adds one and hide takes one away; the cursor
// is visible while the count is 0 or more. Returns the new count. While it is hidden and the
// window has the focus, the mouse is captured so that motion never stops at a screen edge.
int show_cursor(bool show);
// Puts the cursor at a screen position (of the 640x480 game screen).
bool set_cursor_pos(int x, int y);
// The position last given to set_cursor_pos.
void cursor_pos(int* x, int* y);

// Names of keys in input scripts ("escape", "f1", "space", "up", "a", "0" ...): null or 0 when
// there is none.
const char* key_name(int vk);
int key_from_name(const char* name);

// ---- Input devices ----

// Device-state records, in the layouts the game reads.
struct DIMOUSESTATE {
    int32_t lX, lY, lZ;
    uint8_t rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
    int32_t lX, lY, lZ;
    int32_t lRx, lRy, lRz;
    int32_t rglSlider[2];
    uint32_t rgdwPOV[4];
    uint8_t rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

constexpr uint32_t DISCL_EXCLUSIVE = 0x1;
constexpr uint32_t DISCL_NONEXCLUSIVE = 0x2;
constexpr uint32_t DISCL_FOREGROUND = 0x4;
constexpr uint32_t DISCL_BACKGROUND = 0x8;

enum class DeviceType { Keyboard, Mouse, Joystick };
// The predefined data formats: 256 key bytes, DIMOUSESTATE, DIJOYSTATE.
enum class DataFormat { None, Keyboard, Mouse, Joystick };
enum class JoystickAxis { X, Y };

class InputSystem;
void input_begin_pass(uint32_t pass);

// One device. Reads need a data format matching the device and an acquired device; a failed
// read leaves the buffer untouched.
class InputDevice {
  public:
    // Exactly one of EXCLUSIVE/NONEXCLUSIVE and one of FOREGROUND/BACKGROUND.
    bool set_cooperative_level(Window* window, uint32_t flags);
    bool set_data_format(DataFormat format);
    bool acquire();
    bool unacquire();
    // Keyboard: 256 bytes, 0x80 for each key down (by DIK code). Mouse: a DIMOUSESTATE whose
    // motion is what accumulated since the previous read (the read empties it). Joystick: a
    // DIJOYSTATE with the axes in their ranges.
    bool get_device_state(uint32_t size, void* buffer);
    // Joystick only, before acquiring: an axis's range, and the dead zone in hundredths of a
    // percent (0..10000).
    bool set_axis_range(JoystickAxis axis, int32_t min, int32_t max);
    bool set_dead_zone(uint32_t hundredths_of_percent);
    DeviceType type() const { return type_; }
    void release();

  private:
    friend class InputSystem;
    friend void input_begin_pass(uint32_t pass);
    static void add_motion(int32_t dx, int32_t dy, int32_t dz);
    explicit InputDevice(DeviceType type) : type_(type) {}
    bool read_joystick(DIJOYSTATE* state);

    DeviceType type_;
    DataFormat format_ = DataFormat::None;
    uint32_t cooperative_flags_ = 0;
    bool acquired_ = false;
    int32_t dx_ = 0, dy_ = 0, dz_ = 0;  // mouse motion not yet read
    void* joystick_ = nullptr;          // the open joystick
    int32_t range_[2][2] = {{0, 65535}, {0, 65535}};
    uint32_t dead_zone_ = 0;
};

// The input service. Null from create() never happens here, but callers check as they would.
class InputSystem {
  public:
    static InputSystem* create();
    // The system keyboard or mouse; for a joystick, the first one attached (null when none).
    InputDevice* create_device(DeviceType type);
    void release();

  private:
    InputSystem() = default;
};

// How many input objects are alive, so tests can see releases.
struct InputCounts {
    int systems, devices;
};
InputCounts input_live_counts();

// A joystick axis value (-32768 .. 32767) mapped into [min, max], with the dead zone (in
// hundredths of a percent of the half range) around the centre giving the middle of the range.
int32_t joystick_axis_value(int16_t raw, int32_t min, int32_t max, uint32_t dead_zone);

// ---- Platform hooks (and test seams) ----

struct Options;
// Registers the input hooks, loads a script to play and opens the one to record. False (with
// platform_error() set) when a script is malformed or a file cannot be opened.
bool input_platform_init(const Options& options);
// Writes the recording, if any. False (with platform_error() set) when the run failed because
// of its script or the recording could not be written.
bool input_platform_finish();
// One SDL event (as const void*), and the start of a main-loop pass: the sample is taken here.
void input_handle_event(const void* sdl_event);
void input_begin_pass(uint32_t pass);
// Tests and fuzzers: live input as the window delivers it, without SDL's types.
void input_simulate_key(int vk, bool down);
void input_simulate_button(bool down);
void input_simulate_motion(int dx, int dy);
// A close request from the window's close box, queued for whoever takes the events next: the
// next pass, or an open dialog.
void input_simulate_close();
// A key going down or up as the window delivers it, with Alt or Shift held if asked, queued
// likewise.
void input_queue_key(int vk, bool down, bool with_alt = false, bool with_shift = false);
// Tests: forget all input state (keys, motion, cursor count, capture, injected faults).
void input_reset();
// Tests: creating a device of this type fails (as on a system without one) until cleared.
void input_inject_fault(DeviceType type, bool fail);
// Whether the mouse is captured (relative mode) right now.
bool input_mouse_captured();
