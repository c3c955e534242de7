// The title demonstration: one frame per title pass; on the 118th the rocket shoots the bug,
// the bug shrinks away and the first game starts.
#include "game/demo.h"

#include "audio/sound.h"
#include "game/bugs.h"
#include "game/keys.h"
#include "game/stars.h"
#include "game/state.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/image.h"
#include "platform/clock.h"

namespace {

constexpr int32_t FINALE_FRAME = 117;  // the finale follows the frame that passes this count
constexpr int32_t RAY_COLUMN = 124;    // the waiting rocket's nose
constexpr int32_t RAY_FIRST_ROW = 391;
constexpr uint8_t RAY_COLOUR = 24;
constexpr uint32_t RAY_SHOWN_MS = 35;
constexpr int32_t ROCKET_CELL = 32;  // the square cleared under the rocket each frame

void draw_rocket() {
    bob_animate(&rocket_bob);
    gfx_fill_rect(rocket_bob.x, rocket_bob.y, rocket_bob.x + ROCKET_CELL,
                  rocket_bob.y + ROCKET_CELL, COLOUR_BACKGROUND, primary_surface);
    bob_draw(&rocket_bob, primary_surface);
}

void wait_frame() {
    tmr_wait(uint32_t(frame_delay));
}

void shoot_ray() {
    gfx_lock_primary();
    for (int32_t r = RAY_FIRST_ROW; r > 0; r--) {
        game_screen_row(r)[RAY_COLUMN] = RAY_COLOUR;
        ray_column[r] = RAY_COLUMN;
    }
    clock_sleep(RAY_SHOWN_MS);
    for (int32_t r = RAY_FIRST_ROW; r > 0; r--) game_screen_row(r)[ray_column[r]] = 0;
}

void finale() {
    shoot_ray();
    bug_bobs[0].state = BUG_SHRINKING;
    bug_shrink[0].step = 1;
    snd_play(bonus_sound, 0);
    bug_shrink[0].width = BUG_WIDTH;
    while (bug_shrink[0].width >= 1) {
        tmr_frame_start();
        game_shrink_bugs();
        draw_rocket();
        wait_frame();
    }
    img_release(&bitmap_image);
    game_state = STATE_START;
}

}  // namespace

void game_demo_frame() {
    tmr_frame_start();
    if (!game_poll_keys()) return;
    gfx_lock_primary();
    game_scroll_star_window(STAR_FIELD_TITLE);
    bob_animate(&bug_bobs[0]);
    bob_move(&bug_bobs[0]);
    gfx_unlock_primary();
    bob_draw(&bug_bobs[0], primary_surface);
    draw_rocket();
    frame_count += 1;
    if (frame_count > FINALE_FRAME) finale();
    wait_frame();
}
