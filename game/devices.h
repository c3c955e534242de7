// The game's reads of the input devices: key state, the keyboard buffer refresh and the mouse.
#pragma once
#include <cstdint>

// True while the key with this virtual-key code is held (most significant bit of its state).
bool game_key_down(int vk);
// Refreshes keyboard_state when the keyboard device exists; nothing reads the buffer.
void game_refresh_keyboard();
// Reads the mouse into mouse_state when the mouse device exists: the motion since the last
// read and the buttons.
void game_read_mouse();
