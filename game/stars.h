// The star field that scrolls down behind the bugs, with ten stars hidden at a time.
#pragma once
#include <cstdint>

// Where star pixels may be written: rows above first_row and columns between left and right
// (all bounds exclusive). The stars move the same everywhere; only their pixels are limited.
struct StarWindow {
    int32_t first_row, left, right;
};
constexpr StarWindow STAR_FIELD_ALL = {-1, -1, 640};
constexpr StarWindow STAR_FIELD_TITLE = {140, 75, 175};  // the title demonstration's window

// One frame of the field in play.
void game_scroll_stars();
// One frame of the field, drawn only inside the window.
void game_scroll_star_window(const StarWindow& window);
