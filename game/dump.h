// The game's state as text, for --dump-state: one "name value" line per scalar global and one
// "bug I x y state step width height" line per bug.
#pragma once
#include <cstdio>

#include "platform/platform.h"

void game_dump_state(FILE* out);
// The score and misses, for the platform's summary of a demo run.
GameSummary game_summary();
