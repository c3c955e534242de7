// Screenshots and PNG dumps of the screen, palette applied.
#pragma once
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

// Writes the screen as it is shown (640x480, the palette in effect) as an indexed PNG; with the
// control panel open, as an RGB PNG of the panel over the screen.
bool screen_write_png(FILE* out);
// The same into a file (for --dump-screen with a .png name). False on failure.
bool platform_dump_png(const char* path);
// Saves the screen as gnatrix-YYYYMMDD-HHMMSS.png (local time of `when`; -2, -3 ... when the
// name is taken) in the current folder and says so on standard error. The path, or empty.
std::string screenshot_take(time_t when);
// Reads a PNG back as 8-bit RGB rows (tests and tools); empty when it cannot be read.
std::vector<uint8_t> screenshot_read_rgb(const std::string& path, int* width, int* height);
// The event hook: PrintScreen takes a screenshot.
void screenshot_handle_event(const void* sdl_event);
