// The game's shared state, with the values every run starts from.
#include "game/state.h"

#include <cstring>

#include "audio/sound.h"
#include "game/keys.h"
#include "game/title.h"

int32_t bug_count = 10;
int32_t missed_limit = 10;
int32_t speed_mode = 1;
int32_t volume = 10;

int32_t game_state = 0;
int32_t paused = 0;
int32_t help_shown = 0;
int32_t benchmark_mode = 0;
int32_t benchmark_start_pending = 1;

int32_t score = 0;
int32_t score_shown = 0;
int32_t missed_count = 0;
int32_t speed_level = 0;
int32_t frame_count = 0;

// Paces the title sequence until the first game sets its own pace.
float frame_delay = 40.0f;

int32_t rocket_x = 0;
int32_t rocket_y = 0;
BOB rocket_bob;

BOB bug_bobs[BUG_MAX];
BugShrink bug_shrink[BUG_MAX];
int32_t spawn_row = 0;
uint8_t* bug_frame_rows[BUG_FRAMES];
int32_t bug_frame_pitch_words = 0;

int32_t ray_state = RAY_NONE;
int32_t ray_bottom = 0;
int32_t ray_top = 0;
int32_t ray_column[SCREEN_ROWS];
int32_t fire_latch = 1;

int32_t star_column[SCREEN_ROWS];
int32_t twinkle_row[TWINKLE_COUNT];
int32_t twinkle_next = 0;

BOB digit_bob;
uint8_t* digit_frame_rows[DIGIT_FRAMES];
int32_t digit_frame_pitch_words = 0;
char hud_text[12];
int32_t primary_pitch_words = 0;

// Replaced by the slot the bonus sound is loaded into.
int32_t bonus_sound = 1;
int32_t hit_sound_pending = 1;

PALETTEENTRY game_palette[256];

// The same values as above, and as the title and the command keys define theirs with.
void game_reset_state() {
    bug_count = 10, missed_limit = 10, speed_mode = 1, volume = 10;
    game_state = 0, paused = 0, help_shown = 0, benchmark_mode = 0, benchmark_start_pending = 1;
    score = score_shown = missed_count = speed_level = frame_count = 0;
    frame_delay = 40.0f;
    rocket_x = rocket_y = 0;
    memset(bug_shrink, 0, sizeof bug_shrink);
    spawn_row = 0;
    for (uint8_t*& row : bug_frame_rows) row = nullptr;
    bug_frame_pitch_words = 0;
    ray_state = RAY_NONE, ray_bottom = ray_top = 0, fire_latch = 1;
    twinkle_next = 0;
    for (uint8_t*& row : digit_frame_rows) row = nullptr;
    digit_frame_pitch_words = 0;
    primary_pitch_words = 0;
    bonus_sound = 1, hit_sound_pending = 1;
    title_init_pending = 1, backdrop_load_pending = 1;
    escape_latch = new_game_latch = panel_latch = benchmark_latch = pause_latch = 1;
}

int game_apply_volume() {
    return snd_set_volume(bonus_sound, volume * 10);
}
