// Ties the game to the library and platform call-backs: the sprite miss handler and the state dump.
#pragma once

// Called once at start-up, before the first pass of the main loop.
void game_register_hooks();
