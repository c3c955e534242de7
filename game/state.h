// The game's shared state: settings, flow flags, counters, the rocket, bugs, ray, stars and
// digits, plus the screen layout and palette indices every drawing module relies on.
#pragma once
#include <cstdint>

#include "gfx/bob.h"
#include "gfx/display.h"
#include "platform/types.h"

// Main-loop states. There is no state 3.
constexpr int32_t STATE_TITLE = 1;
constexpr int32_t STATE_START = 2;
constexpr int32_t STATE_PLAY = 4;
constexpr int32_t STATE_QUIT = 5;

// A bug's state, kept in its BOB's state field.
constexpr int32_t BUG_FALLING = 1;
constexpr int32_t BUG_SHRINKING = 2;

constexpr int32_t RAY_NONE = 0;
constexpr int32_t RAY_SHOWN = 2;

constexpr int BUG_MAX = 10;
constexpr int BUG_FRAMES = 4;
constexpr int BUG_WIDTH = 32;
constexpr int BUG_HEIGHT = 16;
constexpr int ROCKET_WIDTH = 24;
constexpr int ROCKET_HEIGHT = 32;
constexpr int ROCKET_NOSE = 10;  // column of the nose inside the rocket: the ray leaves there
// How far the rocket's top-left corner goes; x from 0.
constexpr int32_t ROCKET_MAX_X = 624;
constexpr int32_t ROCKET_MIN_Y = 224;
constexpr int32_t ROCKET_MAX_Y = 428;  // its lowest row stays just above the status bar
constexpr int DIGIT_FRAMES = 10;
constexpr int DIGIT_SIZE = 16;
constexpr int TWINKLE_COUNT = 10;

// Screen layout during play.
constexpr int SCREEN_COLUMNS = 640;
constexpr int SCREEN_ROWS = 480;
constexpr int PLAY_FIELD_ROWS = 460;  // rows 0..459; the status bar takes the rest
constexpr int STATUS_BAR_TOP = 460;
constexpr int SCORE_X = 10;
constexpr int MISSED_X = 608;
constexpr int NUMBER_Y = 462;

// Palette indices the game draws with.
constexpr uint8_t COLOUR_BACKGROUND = 0;
constexpr uint8_t COLOUR_STAR = 14;
constexpr uint8_t COLOUR_STATUS_BAR = 15;
constexpr uint8_t COLOUR_RAY = 213;

// Settings, changed only by the control panel.
extern int32_t bug_count;     // 1..10
extern int32_t missed_limit;  // 1..99
extern int32_t speed_mode;    // 1 normal, 2 fast
extern int32_t volume;        // 0..10

// Flow and modes.
extern int32_t game_state;
extern int32_t paused;
extern int32_t help_shown;
extern int32_t benchmark_mode;
extern int32_t benchmark_start_pending;

// Score and counters.
extern int32_t score;
extern int32_t score_shown;
extern int32_t missed_count;
extern int32_t speed_level;
extern int32_t frame_count;

// Least milliseconds per frame.
extern float frame_delay;

// Rocket.
extern int32_t rocket_x;
extern int32_t rocket_y;
extern BOB rocket_bob;

// Bugs.
struct BugShrink {
    int32_t step;
    int32_t width;
    int32_t height;
};
extern BOB bug_bobs[BUG_MAX];
extern BugShrink bug_shrink[BUG_MAX];
extern int32_t spawn_row;
extern uint8_t* bug_frame_rows[BUG_FRAMES];
extern int32_t bug_frame_pitch_words;

// Shrink ray.
extern int32_t ray_state;
extern int32_t ray_bottom;
extern int32_t ray_top;
extern int32_t ray_column[SCREEN_ROWS];
extern int32_t fire_latch;

// Star field.
extern int32_t star_column[SCREEN_ROWS];
extern int32_t twinkle_row[TWINKLE_COUNT];
extern int32_t twinkle_next;

// Status bar and digits.
extern BOB digit_bob;
extern uint8_t* digit_frame_rows[DIGIT_FRAMES];
extern int32_t digit_frame_pitch_words;
extern char hud_text[12];
extern int32_t primary_pitch_words;

// Sound.
extern int32_t bonus_sound;
// Sets the bonus sound's volume from the volume setting.
int game_apply_volume();
extern int32_t hit_sound_pending;

// The palette of play.
extern PALETTEENTRY game_palette[256];

// Puts the globals above, the title's flags and the command keys' latches back at the values
// a run starts from, so that the game can run again in the same process. The tables the game
// fills before it reads them are left as they are.
void game_reset_state();

// Row y of the locked primary surface, stepping by the pitch the game computed at start-up.
inline uint8_t* game_screen_row(int32_t y) {
    return primary_buffer + y * primary_pitch_words * 4;
}
