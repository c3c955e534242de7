// The game's input devices: the input service, the system keyboard and mouse (and a joystick
// the game never asks for), and the buffers their states are read into.
#pragma once
#include <cstdint>

#include "platform/input.h"

extern InputSystem* direct_input;
extern InputDevice* keyboard_device;
extern InputDevice* mouse_device;
extern InputDevice* joystick_device;

extern uint8_t keyboard_state[256];
extern DIMOUSESTATE mouse_state;
extern DIJOYSTATE joystick_state;

// 1 when the input service was created, 0 otherwise.
int inp_init();
// 1 when the device was created, configured and acquired; 0 at the first step that failed.
int inp_create_keyboard();
int inp_create_mouse();
// The first attached joystick, with its X and Y ranges and a dead zone in hundredths of a
// percent; 1 on success, 0 at the first step that failed.
int inp_create_joystick(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y,
                        int32_t dead_zone);
// Each is harmless when called again.
void inp_release_mouse();
void inp_release_keyboard();
void inp_release_joystick();
void inp_shutdown();
