// The command keys and the fire button, polled by key state at the moment of each pass.
#include "game/keys.h"

#include "game/devices.h"
#include "game/rocket.h"
#include "game/state.h"
#include "gfx/draw.h"
#include "input/input.h"
#include "platform/input.h"
#include "screens/help.h"
#include "screens/panel.h"

int32_t escape_latch = 1;
int32_t new_game_latch = 1;
int32_t panel_latch = 1;
int32_t benchmark_latch = 1;
int32_t pause_latch = 1;

namespace {

constexpr uint32_t PAUSED_POLL_MS = 35;

// Runs the handler while the key is down, otherwise re-arms its latch.
bool poll_latched(int vk, void (*handler)(), int32_t* latch) {
    if (!game_key_down(vk)) {
        *latch = 1;
        return false;
    }
    handler();
    return true;
}

}  // namespace

int32_t game_poll_keys() {
    game_refresh_keyboard();
    if (poll_latched(VK_ESCAPE, game_key_escape, &escape_latch) && game_state == STATE_QUIT) {
        return 0;
    }
    if (help_shown == 1) help_scroll();
    if (game_key_down(VK_F1)) help_open();
    if (poll_latched(VK_F2, game_key_new_game, &new_game_latch) && game_state == STATE_START) {
        return 0;
    }
    if (poll_latched(VK_F3, panel_open, &panel_latch) && game_state == STATE_START) return 0;
    poll_latched(VK_F12, game_key_benchmark, &benchmark_latch);
    poll_latched(VK_SPACE, game_key_pause, &pause_latch);
    // The button as the last mouse read left it.
    if (mouse_state.rgbButtons[0]) {
        game_fire_ray();
    } else {
        fire_latch = 1;
    }
    if (paused) {
        tmr_wait(PAUSED_POLL_MS);
        return 0;
    }
    return 1;
}

void game_key_escape() {
    if (escape_latch == 1) {
        if (paused && help_shown == 1) {
            help_close();
        } else {
            game_state = STATE_QUIT;
        }
    }
    escape_latch = 0;
}

void game_key_new_game() {
    if (help_shown == 0 && new_game_latch == 1) {
        game_state = STATE_START;
        paused = 0;
        new_game_latch = 0;
    }
}

void game_key_benchmark() {
    if (benchmark_latch == 1) benchmark_mode = !benchmark_mode;
    benchmark_latch = 0;
}

void game_key_pause() {
    if (pause_latch == 1 && help_shown == 0 && missed_count < missed_limit) {
        paused = !paused;
        pause_latch = 0;
    }
}
