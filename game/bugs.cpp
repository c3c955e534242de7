// The falling bugs: hit test, fall, opaque copy from the locked frames, misses and shrinking.
#include "game/bugs.h"

#include <algorithm>
#include <cstring>

#include "audio/sound.h"
#include "game/hud.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "platform/input.h"
#include "platform/random.h"

namespace {

constexpr int32_t POINTS_PER_HIT = 100;
constexpr int32_t REENTRY_GAP = 19;  // rows between bugs queued above the top

bool hit_by_ray(const BOB& bug) {
    int32_t column = rocket_x + ROCKET_NOSE;
    return bug.x <= column && column <= bug.x + BUG_WIDTH - 1 && bug.state == BUG_FALLING &&
           bug.y > -(BUG_HEIGHT - 1) && bug.y < rocket_y;
}

// Copies the bug's current frame into the screen; only the rows inside the play field.
void copy_bug(const BOB& bug) {
    int32_t first = std::max(bug.y, 0);
    int32_t end = std::min(bug.y + BUG_HEIGHT, PLAY_FIELD_ROWS);
    const uint8_t* frame = bug_frame_rows[bug_bobs[0].frame_index];
    int32_t frame_pitch = bug_frame_pitch_words * 4;
    for (int32_t y = first; y < end; y++) {
        memcpy(game_screen_row(y) + bug.x, frame + (y - bug.y) * frame_pitch, BUG_WIDTH);
    }
}

void reenter_above(BOB* bug) {
    spawn_row -= REENTRY_GAP;
    bob_set_pos(bug, random_next() % (SCREEN_COLUMNS - BUG_WIDTH), spawn_row);
    bug->state = BUG_FALLING;
}

void shrink_step(int i) {
    BOB& bug = bug_bobs[i];
    BugShrink& shrink = bug_shrink[i];
    shrink.width = int32_t(32 - shrink.step * 1.6);
    shrink.height = int32_t(16 - shrink.step * 0.8);
    shrink.step += 1;
    if (hit_sound_pending == 1) snd_play(bonus_sound, 0);
    hit_sound_pending = 0;
    gfx_fill_rect(bug.x, bug.y, bug.x + BUG_WIDTH, bug.y + BUG_HEIGHT, COLOUR_BACKGROUND,
                  primary_surface);
    bob_draw_scaled(&bug, shrink.width, shrink.height, primary_surface);
    if (shrink.width < 1) reenter_above(&bug);
}

}  // namespace

void game_update_bugs() {
    gfx_lock_primary();
    game_lock_bug_frames();
    bob_animate(&bug_bobs[0]);
    for (int i = 0; i < bug_count; i++) {
        BOB& bug = bug_bobs[i];
        if (ray_state == RAY_SHOWN && hit_by_ray(bug)) {
            bug.state = BUG_SHRINKING;
            bug_shrink[i].step = 1;
            hit_sound_pending = 1;
            score += POINTS_PER_HIT;
        }
        if (bug.state == BUG_FALLING) {
            bob_move(&bug);
            copy_bug(bug);
        }
    }
    if (score > score_shown) {
        score_shown = score;
        game_draw_value(score, SCORE_X, NUMBER_Y);
    }
}

void game_bug_missed(BOB* bug) {
    reenter_above(bug);
    missed_count += 1;
    game_draw_value(missed_count, MISSED_X, NUMBER_Y);
    platform_feedback(FEEDBACK_MISS);
}

void game_shrink_bugs() {
    if (spawn_row < 0) spawn_row += 1;
    gfx_unlock_primary();
    game_unlock_bug_frames();
    for (int i = 0; i < bug_count; i++) {
        if (bug_bobs[i].state == BUG_SHRINKING) shrink_step(i);
    }
}

void game_lock_bug_frames() {
    if (bug_frame_rows[0]) return;
    int32_t pitch = 0;
    for (int k = 0; k < BUG_FRAMES; k++) bug_frame_rows[k] = bug_bobs[0].frames[k]->lock(&pitch);
    bug_frame_pitch_words = pitch / 4;
}

void game_unlock_bug_frames() {
    if (!bug_frame_rows[0]) return;
    for (int k = 0; k < BUG_FRAMES; k++) {
        bug_bobs[0].frames[k]->unlock();
        bug_frame_rows[k] = nullptr;
    }
}
