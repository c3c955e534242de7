// A long run of the whole game on seeded random input: key presses, mouse motion and clicks,
// help opened and closed, new games; never a quit. It must end on its close request with
// nothing left alive (the sanitizer build also checks for leaks at exit).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "game/state.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "screens/score.h"

namespace {

// GNATRIX_SOAK_PASSES overrides the length (a nightly run asks for a million).
constexpr int64_t DEFAULT_SOAK_PASSES = 100000;

uint32_t soak_random = 0;
uint32_t soak_states_seen = 0;  // one bit per game_state value met
// Passes spent in play, with help open, paused, and at the end of a game; games started.
int64_t in_play = 0, in_help = 0, in_pause = 0, in_game_over = 0, games = 0;

uint32_t next_random() {
    soak_random = soak_random * 1664525u + 1013904223u;
    return soak_random >> 8;
}

// At each pass start, after the sample: what the random player does for the next pass. Esc
// is pressed only to close help, so the run never quits on its own.
void random_player(uint32_t) {
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
    const std::string scores =
        std::string(GNATRIX_BINARY_DIR) + "/soak_scores_" + std::to_string(getpid()) + ".bin";
    score_file_name = scores.c_str();
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
    platform_shutdown();
    std::remove(scores.c_str());
    std::printf(
        "%lld passes: %lld in play, %lld in help, %lld paused, %lld after a game; %lld games\n",
        (long long)passes, (long long)in_play, (long long)in_help, (long long)in_pause,
        (long long)in_game_over, (long long)games);
    // The random player reached the title, new games and play.
    EXPECT_EQ(soak_states_seen & (1u << STATE_TITLE | 1u << STATE_START | 1u << STATE_PLAY),
              1u << STATE_TITLE | 1u << STATE_START | 1u << STATE_PLAY);
}

}  // namespace
