// The bugs: the exact bounds of the ray's hit test, several hits from one shot and the sound
// the device plays for them, the copy at the bottom of the field, and misses queueing above
// the top.
#include <gtest/gtest.h>

#include <algorithm>

#include "audio/sound.h"
#include "game/bugs.h"
#include "game/state.h"
#include "game_harness.h"
#include "gfx/display.h"
#include "platform/sound.h"

namespace {

// One bug at (x, y) against a ray in `column` fired from a rocket whose top row is `rocket_row`.
bool ray_hits(int x, int y, int column, int rocket_row) {
    bug_count = 1;
    bug_bobs[0].x = x;
    bug_bobs[0].y = y;
    bug_bobs[0].state = BUG_FALLING;
    rocket_x = column - ROCKET_NOSE;
    rocket_y = rocket_row;
    ray_state = RAY_SHOWN;
    game_update_bugs();
    game_unlock_bug_frames();
    return bug_bobs[0].state == BUG_SHRINKING;
}

// A frame's bug steps with the ray shown or not, and then what the sound device plays in the
// frame's time (it mixes only when asked).
std::vector<int16_t> frame_heard(int ray) {
    ray_state = ray;
    game_update_bugs();
    game_shrink_bugs();
    return sound_capture_run(384);
}

std::vector<int16_t> joined(std::vector<int16_t> a, const std::vector<int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(GameBugs, RayHitsExactlyWithinTheBugAndAboveTheRocket) {
    GameHarness game;
    start_game(game);
    EXPECT_FALSE(ray_hits(100, -15, 110, 300));
    EXPECT_TRUE(ray_hits(100, -14, 110, 300));
    EXPECT_FALSE(ray_hits(100, 300, 110, 300)) << "level with the rocket's top row";
    EXPECT_TRUE(ray_hits(100, 299, 110, 300));
    EXPECT_FALSE(ray_hits(100, 50, 99, 300));
    EXPECT_TRUE(ray_hits(100, 50, 100, 300));
    EXPECT_TRUE(ray_hits(100, 50, 131, 300));
    EXPECT_FALSE(ray_hits(100, 50, 132, 300));
}

TEST(GameBugs, OneShotHitsEveryBugInItsColumnWithOneSound) {
    sound_capture_mode(true);  // the game's sound device renders into memory
    sound_first_init = 1;
    GameHarness game;
    start_game(game);
    bug_count = 3;
    for (int i = 0; i < 3; i++) bug_bobs[i].x = 200;
    bug_bobs[2].x = 400;
    rocket_x = 205;
    rocket_y = 300;
    ray_state = RAY_SHOWN;
    hit_sound_pending = 0;
    game_update_bugs();
    EXPECT_EQ(score, 200);
    EXPECT_EQ(score_shown, 200);
    EXPECT_EQ(bug_bobs[2].state, BUG_FALLING);
    EXPECT_EQ(hit_sound_pending, 1);
    game_shrink_bugs();
    EXPECT_EQ(hit_sound_pending, 0) << "played by the first shrinking bug, once";
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(bug_shrink[i].step, 2);
        EXPECT_EQ(bug_shrink[i].width, 30);
        EXPECT_EQ(bug_shrink[i].height, 15);
    }
    // What the device plays: the bonus sound from the frame of the two hits on, going on (not
    // started again) through the next frame's shrinking; silence in a frame with no hit; the
    // sound from its start again in a frame with one.
    const std::vector<int16_t> two_hits = sound_capture_run(384);
    const std::vector<int16_t> after_hits = joined(two_hits, frame_heard(RAY_NONE));
    sound_capture_run(4000);
    const std::vector<int16_t> no_hit = frame_heard(RAY_NONE);
    rocket_x = 405;
    const std::vector<int16_t> one_hit = frame_heard(RAY_SHOWN);
    EXPECT_EQ(bug_bobs[2].state, BUG_SHRINKING);
    snd_play(bonus_sound, 0);
    const std::vector<int16_t> played = sound_capture_run(uint32_t(after_hits.size()));
    ASSERT_GE(played.size(), after_hits.size());
    EXPECT_NE(std::count(played.begin(), played.end(), 0), std::ptrdiff_t(played.size()));
    EXPECT_TRUE(std::equal(after_hits.begin(), after_hits.end(), played.begin()))
        << "two hits: one sound from the frame of the hits on";
    EXPECT_EQ(std::count(no_hit.begin(), no_hit.end(), 0), std::ptrdiff_t(no_hit.size()))
        << "no hit: silence";
    EXPECT_TRUE(std::equal(one_hit.begin(), one_hit.end(), played.begin())) << "one hit: the sound";
    sound_capture_mode(false);
}

TEST(GameBugs, ShrinkingTakesTwentyFramesThenTheBugReenters) {
    GameHarness game;
    start_game(game);
    bug_count = 1;
    bug_bobs[0].state = BUG_SHRINKING;
    bug_shrink[0].step = 1;
    const int widths[] = {30, 28, 27, 25, 24, 22, 20, 19, 17, 16, 14, 12, 11, 9, 8, 6, 4, 3, 1};
    for (int width : widths) {
        game_shrink_bugs();
        ASSERT_EQ(bug_shrink[0].width, width);
        ASSERT_EQ(bug_bobs[0].state, BUG_SHRINKING);
    }
    game_shrink_bugs();
    EXPECT_EQ(bug_shrink[0].width, 0);
    EXPECT_EQ(bug_bobs[0].state, BUG_FALLING);
    EXPECT_EQ(bug_bobs[0].y, -19);
}

TEST(GameBugs, BugNearTheBottomNeverCoversTheStatusBar) {
    GameHarness game;
    start_game(game);
    std::vector<uint8_t> before = game.screen();
    bug_count = 1;
    bug_bobs[0].x = 300;
    bug_bobs[0].y = 449;
    game_update_bugs();
    ASSERT_EQ(bug_bobs[0].y, 450);
    std::vector<uint8_t> after = game.screen();
    const uint8_t* frame = bug_frame_rows[bug_bobs[0].frame_index];
    for (int row = 0; row < 10; row++) {
        for (int x = 0; x < 32; x++) {
            ASSERT_EQ(after[(450 + row) * 640 + 300 + x],
                      frame[row * bug_frame_pitch_words * 4 + x]);
        }
    }
    game_unlock_bug_frames();
    EXPECT_TRUE(std::equal(before.begin() + 460 * 640, before.end(), after.begin() + 460 * 640));
}

TEST(GameBugs, MissesQueueAboveTheTopNineteenRowsApart) {
    GameHarness game;
    start_game(game);
    bug_count = 2;
    bug_bobs[0].y = 460;
    bug_bobs[1].y = 460;
    game_update_bugs();
    game_shrink_bugs();
    EXPECT_EQ(missed_count, 2);
    EXPECT_EQ(bug_bobs[0].y, -19);
    EXPECT_EQ(bug_bobs[1].y, -38);
    EXPECT_EQ(spawn_row, -37) << "rises one row per frame towards the top";
    for (int i = 0; i < 2; i++) EXPECT_LT(bug_bobs[i].x, 608);
}
