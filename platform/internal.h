// Shared between the platform's own modules only; never included by game code.
#pragma once
#include <SDL.h>

// The SDL window of the game, or null when headless.
SDL_Window* platform_sdl_window();
// Shows the primary surface through the palette if pixels or palette changed since the last
// present (at most every couple of milliseconds unless forced). Called whenever the game yields.
void display_present(bool force);
// The primary surface's pixels and the palette in effect, for dumps and screenshots.
// False when there is no primary surface.
bool display_snapshot(uint8_t* pixels640x480, uint8_t rgb[256][3]);
// Called when the window's size or mode changes, so presentation recomputes its letterbox.
void display_window_changed();
// The pump: handles pending SDL events (window, focus, keys, mouse) and tells the hooks.
void platform_pump_events();
