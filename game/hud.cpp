// Numbers on screen: digit images copied opaquely from their locked frame surfaces.
#include "game/hud.h"

#include <cstdio>
#include <cstring>

#include "game/state.h"
#include "gfx/display.h"

void game_draw_number(const char* text, int32_t x, int32_t y) {
    gfx_lock_primary();
    // A character that is not a digit has no image, and a digit past the right edge would
    // land on the next row: neither is drawn.
    for (const char* c = text; *c && x + DIGIT_SIZE <= SCREEN_COLUMNS; c++) {
        int d = *c - '0';
        if (d < 0 || d > 9) continue;
        digit_bob.frame_index = d;
        digit_bob.x = x;
        digit_bob.y = y;
        const uint8_t* source = digit_frame_rows[d];
        for (int row = 0; row < DIGIT_SIZE; row++) {
            memcpy(game_screen_row(y + row) + x, source, DIGIT_SIZE);
            source += digit_frame_pitch_words * 4;
        }
        x += DIGIT_SIZE;
    }
}

void game_draw_value(int32_t value, int32_t x, int32_t y) {
    snprintf(hud_text, sizeof hud_text, "%i", value);
    game_draw_number(hud_text, x, y);
}
