// The start of a game: fade out, lay out the play field and status bar, reset the counters and
// the pace, then hand over to play.
#include "game/start.h"

#include <cstring>

#include "game/devices.h"
#include "game/frame.h"
#include "game/hud.h"
#include "game/state.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/input.h"
#include "platform/random.h"

namespace {

void paint_status_bar() {
    for (int y = STATUS_BAR_TOP; y < SCREEN_ROWS; y++) {
        memset(game_screen_row(y), COLOUR_STATUS_BAR, SCREEN_COLUMNS);
    }
    game_draw_number("0", SCORE_X, NUMBER_Y);
    game_draw_number("0", MISSED_X, NUMBER_Y);
}

}  // namespace

void game_start() {
    gfx_unlock_primary();
    pal_transition(0, primary_buffer, primary_pitch);
    gfx_fill_surface(primary_surface, COLOUR_BACKGROUND, nullptr);
    pal_apply(game_palette);
    gfx_lock_primary();
    paint_status_bar();
    rocket_x = 320;
    rocket_y = 240;
    set_cursor_pos(320, 240);
    // Motion made before the game must not move the rocket in the first frame.
    game_read_mouse();
    game_place_bugs();
    game_clear_ray();
    score = 0;
    score_shown = 0;
    missed_count = 0;
    frame_count = 0;
    benchmark_start_pending = 1;
    speed_level = 0;
    frame_delay = 35.0f;
    game_speed_step();
    game_state = STATE_PLAY;
}

void game_place_bugs() {
    spawn_row = 240;
    for (int i = 0; i < bug_count; i++) {
        bob_set_pos(&bug_bobs[i], random_next() % (SCREEN_COLUMNS - BUG_WIDTH), 240 - 19 * i);
        bob_set_vel(&bug_bobs[i], 0, 1);
        bug_bobs[i].state = BUG_FALLING;
    }
    spawn_row = 0;
}

void game_clear_ray() {
    for (int32_t& column : ray_column) column = 0;
}
