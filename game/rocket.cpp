// The rocket and the shrink ray: a shot is drawn when fired and erased at the next frame's start.
#include "game/rocket.h"

#include "game/devices.h"
#include "game/state.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "input/input.h"

namespace {

constexpr int32_t MOUSE_SCALE = 2;

}  // namespace

void game_erase_rocket() {
    gfx_unlock_primary();
    gfx_fill_rect(rocket_x, rocket_y, rocket_x + ROCKET_WIDTH, rocket_y + ROCKET_HEIGHT,
                  COLOUR_BACKGROUND, primary_surface);
}

void game_move_rocket() {
    game_read_mouse();
    // Summed in 64 bits: a wild motion count must pin the rocket, not overflow.
    int64_t x = rocket_x + int64_t(MOUSE_SCALE) * mouse_state.lX;
    int64_t y = rocket_y + int64_t(MOUSE_SCALE) * mouse_state.lY;
    if (x > ROCKET_MAX_X) x = ROCKET_MAX_X;
    if (x < 0) x = 0;
    if (y > ROCKET_MAX_Y) y = ROCKET_MAX_Y;
    if (y < ROCKET_MIN_Y) y = ROCKET_MIN_Y;
    rocket_x = int32_t(x);
    rocket_y = int32_t(y);
    rocket_bob.x = rocket_x;
    rocket_bob.y = rocket_y;
    bob_animate(&rocket_bob);
    gfx_unlock_primary();
    bob_draw(&rocket_bob, primary_surface);
}

void game_fire_ray() {
    if (fire_latch != 1) return;
    gfx_lock_primary();
    int32_t column = rocket_x + ROCKET_NOSE;
    int32_t r = rocket_y;
    for (; r > 0; r--) {
        game_screen_row(r)[column] = COLOUR_RAY;
        ray_column[r] = column;
    }
    ray_state = RAY_SHOWN;
    ray_top = r;
    ray_bottom = rocket_y;
    fire_latch = 0;
}

void game_erase_ray() {
    gfx_lock_primary();
    for (int32_t r = ray_bottom; r > ray_top; r--)
        game_screen_row(r)[ray_column[r]] = COLOUR_BACKGROUND;
    ray_state = RAY_NONE;
}
