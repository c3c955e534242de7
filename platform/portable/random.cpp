// The game's random numbers: a classic linear congruential generator, the same everywhere.
#include "platform/random.h"

namespace {

uint32_t next_value = 1;
uint32_t last_seed = 1;
bool seed_fixed = false;
uint32_t fixed_seed = 0;

}  // namespace

void random_seed(uint32_t seed) {
    last_seed = seed_fixed ? fixed_seed : seed;
    next_value = last_seed;
}

int random_next() {
    next_value = next_value * 1103515245u + 12345u;
    return int((next_value / 65536) % 32768);
}

uint32_t random_last_seed() {
    return last_seed;
}

void random_fix_seed(bool fixed, uint32_t seed) {
    seed_fixed = fixed;
    fixed_seed = seed;
}
