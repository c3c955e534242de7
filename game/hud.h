// Numbers on screen in the 16-pixel digits of the sprite sheet.
#pragma once
#include <cstdint>

// Copies the digit images of a string of decimal digits into the locked screen, the first
// digit's top-left corner at (x, y). Leaves the screen locked.
void game_draw_number(const char* text, int32_t x, int32_t y);
// Formats value with "%i" into hud_text and draws it.
void game_draw_value(int32_t value, int32_t x, int32_t y);
