// Ties the game to the library and platform call-backs: the sprite miss handler, the state dump
// and the names scripts give the control panel's scroll bars.
#pragma once

// Called at start-up, before the platform reads a script and again before the first pass of the
// main loop (a second call changes nothing).
void game_register_hooks();
