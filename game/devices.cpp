// The game's reads of the input devices, guarded for devices that do not exist.
#include "game/devices.h"

#include "input/input.h"
#include "platform/input.h"

bool game_key_down(int vk) {
    return (key_state(vk) & 0x8000) != 0;
}

void game_refresh_keyboard() {
    if (keyboard_device) keyboard_device->get_device_state(sizeof keyboard_state, keyboard_state);
}

void game_read_mouse() {
    if (mouse_device) mouse_device->get_device_state(sizeof mouse_state, &mouse_state);
}
