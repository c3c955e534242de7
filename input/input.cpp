// Creating, configuring, acquiring and releasing the input devices.
#include "input/input.h"

#include "platform/window.h"

InputSystem* direct_input = nullptr;
InputDevice* keyboard_device = nullptr;
InputDevice* mouse_device = nullptr;
InputDevice* joystick_device = nullptr;

uint8_t keyboard_state[256];
DIMOUSESTATE mouse_state;
DIJOYSTATE joystick_state;

namespace {

// Background and non-exclusive: the game never takes the devices from the system.
constexpr uint32_t COOPERATIVE_LEVEL = DISCL_BACKGROUND | DISCL_NONEXCLUSIVE;

// Each step stops the set-up when it fails; the device stays as creation left it.
bool open_device(DeviceType type, DataFormat format, InputDevice** device) {
    if (!direct_input) return false;
    *device = direct_input->create_device(type);
    return *device && (*device)->set_cooperative_level(main_window, COOPERATIVE_LEVEL) &&
           (*device)->set_data_format(format);
}

int create_device(DeviceType type, DataFormat format, InputDevice** device) {
    return open_device(type, format, device) && (*device)->acquire() ? 1 : 0;
}

void release_device(InputDevice** device) {
    if (!*device) return;
    (*device)->unacquire();
    (*device)->release();
    *device = nullptr;
}

}  // namespace

int inp_init() {
    direct_input = InputSystem::create();
    return direct_input ? 1 : 0;
}

int inp_create_keyboard() {
    return create_device(DeviceType::Keyboard, DataFormat::Keyboard, &keyboard_device);
}

int inp_create_mouse() {
    return create_device(DeviceType::Mouse, DataFormat::Mouse, &mouse_device);
}

int inp_create_joystick(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y,
                        int32_t dead_zone) {
    InputDevice*& joystick = joystick_device;
    bool ok = open_device(DeviceType::Joystick, DataFormat::Joystick, &joystick) &&
              joystick->set_axis_range(JoystickAxis::X, min_x, max_x) &&
              joystick->set_axis_range(JoystickAxis::Y, min_y, max_y) && dead_zone >= 0 &&
              joystick->set_dead_zone(uint32_t(dead_zone)) && joystick->acquire();
    return ok ? 1 : 0;
}

void inp_release_mouse() {
    release_device(&mouse_device);
}
void inp_release_keyboard() {
    release_device(&keyboard_device);
}
void inp_release_joystick() {
    release_device(&joystick_device);
}

void inp_shutdown() {
    if (!direct_input) return;
    direct_input->release();
    direct_input = nullptr;
}
