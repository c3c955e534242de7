// The falling bugs: hits by the ray, the fall, misses, shrinking and re-entry above the top.
#pragma once
#include "gfx/bob.h"

// Hit test against this frame's ray, the fall by one row, the opaque copy into the screen and
// the score display.
void game_update_bugs();
// A bug that passed the bottom: counted, and queued above the top at spawn_row.
void game_bug_missed(BOB* bug);
// One shrinking step of every hit bug, and spawn_row's rise towards row 0.
void game_shrink_bugs();
void game_lock_bug_frames();
void game_unlock_bug_frames();
