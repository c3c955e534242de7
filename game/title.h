// The title sequence: its one-time initialisation of the whole game, and the title backdrop.
#pragma once
#include <cstdint>

extern int32_t title_init_pending;     // the first pass has not initialised the game yet
extern int32_t backdrop_load_pending;  // the title picture has not been loaded yet

// One pass of the title sequence (main-loop state STATE_TITLE).
void game_title();
// Copies the title picture to the screen unless the backdrop mark says it is there already.
void game_draw_backdrop();
void game_create_bobs();
void game_seed_stars();
void game_load_bonus_sound();
void game_lock_digit_frames();
// Ends the program with one clear message and a failure status: a resource or device the game
// cannot do without.
void game_fail(const char* message);
