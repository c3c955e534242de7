// Shared between the platform's own modules only; never included by game code.
#pragma once
#include <SDL.h>

#include "platform/platform.h"
#include "platform/portable/shared.h"
#include "platform/resources.h"

// The SDL window of the game, or null when headless.
SDL_Window* platform_sdl_window();
// Shows the primary surface through the palette if pixels or palette changed since the last
// present (at most every couple of milliseconds unless forced). Called whenever the game yields.
void display_present(bool force);
// Lets the next present through without waiting out the couple of milliseconds (tests).
void display_present_gap_elapsed();
// Where the 640x480 screen lies in the renderer's output, in output pixels.
bool display_letterbox(SDL_Rect* box);
// The primary surface's pixels and the palette in effect, for dumps and screenshots.
// False when there is no primary surface.
bool display_snapshot(uint8_t* pixels640x480, uint8_t rgb[256][3]);
// Called when the window's size or mode changes, so presentation recomputes its letterbox.
void display_window_changed();
// The renderer the screen is presented with (made on first use); null when headless.
SDL_Renderer* display_renderer();
// While set, drawn over the screen at every present (the control panel), which then presents
// even when the screen has not changed. Null removes it.
using OverlayDraw = void (*)(SDL_Renderer* renderer);
void display_set_overlay(OverlayDraw draw);
// The pump: handles pending SDL events (window, focus, keys, mouse) and tells the hooks.
void platform_pump_events();
// One event to the window and then to the hooks.
void platform_deliver_event(const SDL_Event& event);

// The background (background.cpp): notes what each event pumped says of the window's focus and
// minimising, and while the window is in the background holds the program still, waiting on
// the window system's events.
void background_note(const SDL_Event& event);
void background_hold();
// Forgets the window's focus and minimising (platform start and end).
void background_reset();
// A close was requested: from then on the game is ending and is never held.
bool window_closing();
// Shows the window's title with this added (empty: the title alone).
void window_title_suffix(const char* suffix);
// Frees the mouse, so that the click that brings it back is not a shot (input.cpp).
void input_release_mouse();
// Pauses the sound device where it is and, afterwards, lets it go on (sound.cpp).
void sound_hold(bool hold);
// Whether the sound device is open and playing (tests).
bool sound_device_playing();

// The pass and event hooks and the state dumper, as registered (platform.cpp).
void platform_run_pass_hooks(uint32_t pass);
void platform_run_event_hooks(const SDL_Event& event);
StateDumper platform_state_dumper();
// The window icon from an ICON resource (PNG or BMP); null when it is neither or is broken.
SDL_Surface* icon_decode(const ResourceData& data);
// Writes the state dumps asked for at the end of the game ("end:FILE").
void platform_write_end_dumps();
// Reports each requested dump that failed or whose pass never ended; false if there was one.
bool platform_dumps_complete();
// Forgets the window, its class and its queue (platform start and end).
void window_reset();
