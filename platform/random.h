// The game's pseudo-random generator: a classic linear congruential one, the same on every
// platform, so a recorded game replays alike everywhere.
#pragma once
#include <cstdint>

constexpr int RANDOM_MAX = 32767;

// Seeds the generator; when a seed was fixed (--seed or a script), that seed is used instead.
void random_seed(uint32_t seed);
int random_next();  // 0 .. RANDOM_MAX
// The seed last used, for recordings.
uint32_t random_last_seed();
void random_fix_seed(bool fixed, uint32_t seed);
