// The command keys (Esc, F1, F2, F3, F12, Space) and the fire button, read once per pass.
#pragma once
#include <cstdint>

// Each key acts once per press: its latch is 1 while the key is seen up and cleared when it acts.
extern int32_t escape_latch;
extern int32_t new_game_latch;
extern int32_t panel_latch;
extern int32_t benchmark_latch;
extern int32_t pause_latch;

// Runs the handler of every command key held down; 0 when the caller's frame ends here
// (quitting, a new game requested, or paused after its 35 ms wait), else 1.
int32_t game_poll_keys();
void game_key_escape();
void game_key_new_game();
void game_key_benchmark();
void game_key_pause();
