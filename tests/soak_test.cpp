// A long run of the whole game on seeded random input: key presses, mouse motion and clicks,
// help opened and closed, new games; never a quit. It must end on its close request with
// nothing left alive and no more memory than it held a tenth of the way in (the sanitizer
// build also checks for leaks at exit).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "game/state.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "screens/score.h"
#include "tests/game_harness.h"
#include "tests/scratch_dir.h"

namespace {

// GNATRIX_SOAK_PASSES overrides the length (a nightly run asks for a million).
constexpr int64_t DEFAULT_SOAK_PASSES = 100000;
// What the allocator may hold on to beyond a tenth of the way in: a leak of even a few bytes
// a pass comes to more over a run.
constexpr long MEMORY_SLACK_KB = 1024;

uint32_t soak_random = 0;
uint32_t soak_states_seen = 0;  // one bit per game_state value met
// Passes spent in play, with help open, paused, and at the end of a game; games started.
int64_t in_play = 0, in_help = 0, in_pause = 0, in_game_over = 0, games = 0;

// Resident memory and its high-water mark, in kB, from the kernel's account of this process.
struct Memory {
    long resident = 0, peak = 0;
};
Memory memory_now() {
    Memory m;
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;) {
        if (word == "VmRSS:") status >> m.resident;
        if (word == "VmHWM:") status >> m.peak;
    }
    return m;
}
int64_t soak_passes = 0;
// Resident memory at each tenth of the run; the first is taken once the game has made
// everything it keeps.
std::vector<long> resident_by_tenth;

uint32_t next_random() {
    soak_random = soak_random * 1664525u + 1013904223u;
    return soak_random >> 8;
}

// At each pass start, after the sample: what the random player does for the next pass. Esc
// is pressed only to close help, so the run never quits on its own.
void random_player(uint32_t pass) {
    if (pass > 0 && pass % (soak_passes / 10) == 0)
        resident_by_tenth.push_back(memory_now().resident);
    soak_states_seen |= 1u << (game_state & 31);
    games += game_state == STATE_START;
    if (game_state == STATE_PLAY) {
        ++(help_shown                     ? in_help
           : missed_count >= missed_limit ? in_game_over
           : paused                       ? in_pause
                                          : in_play);
    }
    static const int keys[] = {VK_F1, VK_F2, VK_F12, VK_SPACE, VK_UP, VK_DOWN};
    const uint32_t roll = next_random() % 1000;
    if (roll < 8) {
        input_simulate_key(keys[next_random() % 6], true);
    } else if (roll < 120) {
        for (int key : keys) input_simulate_key(key, false);
        input_simulate_key(VK_ESCAPE, false);
    } else if (roll < 130 && help_shown) {
        input_simulate_key(VK_ESCAPE, true);
    } else if (roll < 300) {
        int dx = int(next_random() % 61) - 30;
        input_simulate_motion(dx, int(next_random() % 21) - 10);
    } else if (roll < 400) {
        input_simulate_button(roll < 350);
    }
}

TEST(Soak, RandomPlayEndsOnItsCloseWithNothingAlive) {
    const char* wanted = std::getenv("GNATRIX_SOAK_PASSES");
    const int64_t passes = wanted ? std::atoll(wanted) : DEFAULT_SOAK_PASSES;
    soak_passes = std::max<int64_t>(passes, 10);
    const std::string scores = temp_path("soak_scores.bin");
    const ScoreFileAt score_file(scores);
    game_reset_state();  // whatever an earlier test in this process left
    Options options;
    options.headless = true;
    options.frames = passes;
    options.has_seed = true;
    options.seed = 4711;
    ASSERT_TRUE(platform_init(options)) << platform_error();
    soak_random = 4711;
    platform_add_pass_hook(random_player);
    EXPECT_EQ(WinMain(), 0);
    EXPECT_GE(platform_pass(), uint32_t(passes)) << "the run ended before its close";
    EXPECT_STREQ(platform_error(), "");
    EXPECT_EQ(platform_live_objects(), "");
    const Memory at_end = memory_now();
    const uint32_t game_ms = clock_ticks();
    platform_shutdown();
    std::remove(scores.c_str());
    std::printf(
        "%lld passes: %lld in play, %lld in help, %lld paused, %lld after a game; %lld games in "
        "%.1f hours of game time\n",
        (long long)passes, (long long)in_play, (long long)in_help, (long long)in_pause,
        (long long)in_game_over, (long long)games, game_ms / 3600000.0);
    std::string tenths;
    long peak = at_end.peak;
    for (long kb : resident_by_tenth) tenths += " " + std::to_string(kb), peak = std::max(peak, kb);
    std::printf("memory (kB): resident at each tenth%s, at the end %ld; peak %ld\n", tenths.c_str(),
                at_end.resident, peak);
    ASSERT_FALSE(resident_by_tenth.empty());
#ifndef __SANITIZE_ADDRESS__  // the sanitizer holds freed blocks back for a while on purpose
    EXPECT_LE(at_end.resident - resident_by_tenth.front(), MEMORY_SLACK_KB) << "memory grew";
#endif
    // The random player reached the title, new games and play.
    EXPECT_EQ(soak_states_seen & (1u << STATE_TITLE | 1u << STATE_START | 1u << STATE_PLAY),
              1u << STATE_TITLE | 1u << STATE_START | 1u << STATE_PLAY);
}

}  // namespace
