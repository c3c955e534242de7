// The application shell: the entry point and its main loop, the window procedure, and the
// game's start-up and shut-down.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "platform/window.h"

// Registers the game's window class and opens its window as main_window; null when either
// fails.
Window* app_open_window();
intptr_t game_window_proc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Sets up the display and enters the title state; 0 (with a message) if there is no display.
int game_startup();
// One step of the current game state, as each main-loop pass runs it.
void game_state_step();
// Releases everything in reverse order of creation and posts the quit message. A second call
// does nothing.
int game_shutdown();
