// The player's rocket, steered by the mouse, and the shrink ray it fires.
#pragma once

void game_erase_rocket();
// Reads the mouse, moves the rocket by twice its motion within its bounds, animates and draws it.
void game_move_rocket();
// Fires the ray from the rocket's nose to row 1, once per press of the button.
void game_fire_ray();
void game_erase_ray();
