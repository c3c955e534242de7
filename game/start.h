// The start of a game: a fresh play field, status bar, rocket and bugs, counters and pace.
#pragma once

// One step of the main-loop state STATE_START; always ends in STATE_PLAY.
void game_start();
// Stands the first bug_count bugs one above the other from row 240 upward, 19 rows apart.
void game_place_bugs();
void game_clear_ray();
