// The star field: one star per odd row, moved down two rows per frame, with a twinkle ring.
#include "game/stars.h"

#include "game/state.h"
#include "gfx/display.h"
#include "platform/random.h"

namespace {

void plot(const StarWindow& w, int32_t column, int32_t row, uint8_t colour) {
    if (row > w.first_row && w.left < column && column < w.right) {
        game_screen_row(row)[column] = colour;
    }
}

}  // namespace

void game_scroll_stars() {
    game_scroll_star_window(STAR_FIELD_ALL);
}

void game_scroll_star_window(const StarWindow& w) {
    gfx_lock_primary();
    for (int32_t r = PLAY_FIELD_ROWS - 1; r > 1; r -= 2) {
        plot(w, star_column[r], r, COLOUR_BACKGROUND);
        star_column[r] = star_column[r - 2];
        plot(w, star_column[r], r, COLOUR_STAR);
    }
    plot(w, star_column[1], 1, COLOUR_BACKGROUND);
    star_column[1] = random_next() % 639;
    plot(w, star_column[1], 1, COLOUR_STAR);
    twinkle_next += 1;
    if (twinkle_next > TWINKLE_COUNT - 1) twinkle_next = 0;
    twinkle_row[twinkle_next] = random_next() % 459;
    for (int k = TWINKLE_COUNT - 1; k >= 0; k--) {
        int32_t r = twinkle_row[k];
        plot(w, star_column[r], r, COLOUR_BACKGROUND);
        if (r < 458) twinkle_row[k] = r + 2;
        if (twinkle_row[k] > 457) twinkle_row[k] = random_next() % 459;
    }
}
