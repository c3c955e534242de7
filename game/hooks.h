// Ties the game to the library and platform call-backs (the sprite miss handler, the state dump,
// the names scripts give the control panel's scroll bars) and keeps a demo's scores apart from
// the player's table.
#pragma once

// Called once at start-up, before the first pass of the main loop.
void game_register_hooks();
