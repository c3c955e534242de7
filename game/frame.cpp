// The frame of play: the order of its parts, the pace, the speed steps and the end of a game.
#include "game/frame.h"

#include <cmath>

#include "game/bugs.h"
#include "game/hud.h"
#include "game/keys.h"
#include "game/rocket.h"
#include "game/stars.h"
#include "game/state.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "screens/score.h"

namespace {

constexpr int SPEED_STEP_FRAMES = 400;  // a step when the counter, before its increment, exceeds it

// Waits until frame_delay milliseconds, compared as a float, have passed since the frame start.
void pace_frame() {
    uint32_t whole = uint32_t(std::ceil(frame_delay));
    while (float(tmr_ticks() - frame_start_tick) < frame_delay) {
        clock_wait(frame_start_tick, whole);
    }
}

float pace_delay(int32_t base, float floor) {
    float delay = float(base - 2 * speed_level);
    return delay < floor ? floor : delay;
}

}  // namespace

void game_frame() {
    game_frame_begin();
    if (ray_state == RAY_SHOWN) game_erase_ray();
    if (!game_poll_keys()) return;
    game_erase_rocket();
    game_scroll_stars();
    game_update_bugs();
    game_shrink_bugs();
    game_move_rocket();
    int32_t counted = frame_count;
    frame_count = counted + 1;
    if (counted > SPEED_STEP_FRAMES) game_speed_step();
    if (missed_count > missed_limit - 1) game_over();
    if (!benchmark_mode) pace_frame();
}

void game_frame_begin() {
    if (!benchmark_mode) {
        frame_start_tick = tmr_ticks();
    } else if (benchmark_start_pending) {
        benchmark_start_pending = 0;
        frame_start_tick = tmr_ticks();
    }
}

void game_speed_step() {
    if (game_state == STATE_PLAY) {
        frame_count = 0;
        speed_level += 1;
    }
    if (speed_mode == 1) frame_delay = pace_delay(35, 10.0f);
    if (speed_mode == 2) frame_delay = pace_delay(21, 7.0f);
    // The bug frames change about every 140 ms whatever the pace.
    for (int i = 0; i < bug_count; i++) {
        bob_set_anim_speed(&bug_bobs[i], int32_t(35.0 / double(frame_delay) * 4.0));
    }
}

void game_over() {
    if (benchmark_mode) game_draw_value(int32_t(tmr_ticks() - frame_start_tick), 0, 0);
    gfx_unlock_primary();
    score_record(app_instance, main_window, &score);
    paused = 1;
}
