// One frame of play, its pace, the speed steps and the end of a game.
#pragma once

// One step of the main-loop state STATE_PLAY.
void game_frame();
// Takes the frame's start time (in benchmark mode only once per game).
void game_frame_begin();
// Recomputes the pace from speed_level and speed_mode; during play it first raises the level.
void game_speed_step();
// The end of a game: benchmark time, the high-score entry, then play stays frozen.
void game_over();
