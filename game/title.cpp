// The title sequence's first pass, which sets up everything the game needs once per run, and
// the title backdrop with its mark pixel.
#include "game/title.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/demo.h"
#include "game/devices.h"
#include "game/state.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/image.h"
#include "gfx/palette.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "screens/panel.h"

int32_t title_init_pending = 1;
int32_t backdrop_load_pending = 1;

namespace {

constexpr const char* BONUS_WAVE = "BONUS_WAV";

// The backdrop mark: colour 1 here means the title picture is on screen.
constexpr int MARK_X = 40;
constexpr int MARK_Y = 40;
constexpr uint8_t MARK_COLOUR = 1;

constexpr uint32_t BOB_ATTRS = BOB_WRAP | BOB_VISIBLE | BOB_CYCLE_FRAMES;
constexpr int FRAME_ABSOLUTE = 1;

struct ColourSetting {
    int index;
    uint8_t red, green, blue;
};

// The sprite sheet's palette with these entries replaced is the palette of play.
constexpr ColourSetting GAME_COLOURS[] = {
    {0, 0, 0, 0}, {4, 0, 0, 140}, {7, 175, 175, 175}, {255, 255, 255, 255}};

// Over the title picture, the sprites' indices get colours near their sheet colours.
constexpr ColourSetting TITLE_COLOURS[] = {
    {0, 0, 0, 0},       {1, 140, 140, 140},  {3, 170, 170, 10},   {4, 210, 0, 0},
    {7, 175, 175, 175}, {14, 255, 255, 255}, {15, 175, 175, 175}, {22, 255, 255, 128},
    {23, 0, 255, 148},  {25, 140, 140, 255}, {27, 255, 128, 64},  {255, 255, 255, 255}};

template <size_t N>
void set_colours(PALETTEENTRY* palette, const ColourSetting (&colours)[N]) {
    for (const ColourSetting& c : colours) {
        palette[c.index] = {c.red, c.green, c.blue, PC_NOCOLLAPSE};
    }
}

// Ten steps down by 3 per channel for entries 1 to 9, each from the palette last applied.
void darken_title_colours() {
    PALETTEENTRY scratch[256];
    for (int step = 0; step < 10; step++) {
        pal_save(scratch);
        for (int i = 1; i <= 9; i++) {
            for (uint8_t* c : {&scratch[i].peRed, &scratch[i].peGreen, &scratch[i].peBlue}) {
                *c = *c > 4 ? uint8_t(*c - 3) : 0;
            }
        }
        pal_apply(scratch);
    }
}

bool resource_failed(const char* type, const std::string& name, const char* what) {
    char message[96];
    snprintf(message, sizeof message, "the resource %s %s is %s", type, name.c_str(), what);
    game_fail(message);
    return false;
}

// A picture the game copies from must load, 8 bits per pixel, at least as large as it is read.
bool bitmap_usable(int number, int32_t width, int32_t height) {
    const int loaded = img_load_resource(uint16_t(number));
    const BITMAPINFOHEADER& header = bitmap_image.info_header;
    const bool usable =
        loaded && header.biBitCount == 8 && header.biWidth >= width && header.biHeight >= height;
    img_release(&bitmap_image);
    return usable;
}

// Checked before anything is created, so that a broken build stops cleanly.
bool resources_present() {
    struct Needed {
        const char* type;
        int number;
        const char* name;  // when not numbered
    };
    ResourceData data;
    for (Needed r :
         {Needed{"BITMAP", BITMAP_SPRITES, nullptr}, Needed{"BITMAP", BITMAP_BACKDROP, nullptr},
          Needed{"WAVE", 0, BONUS_WAVE}, Needed{"DIALOG", PANEL_DIALOG, nullptr}}) {
        const bool found =
            r.name ? find_resource(r.type, r.name, &data) : find_resource(r.type, r.number, &data);
        if (!found)
            return resource_failed(r.type, r.name ? r.name : std::to_string(r.number), "missing");
    }
    // The backdrop is copied whole onto the screen; the sprite cells are cut from 8-bit rows.
    if (!bitmap_usable(BITMAP_BACKDROP, SCREEN_COLUMNS, SCREEN_ROWS)) {
        return resource_failed("BITMAP", std::to_string(BITMAP_BACKDROP), "damaged");
    }
    if (!bitmap_usable(BITMAP_SPRITES, 1, 1))
        return resource_failed("BITMAP", std::to_string(BITMAP_SPRITES), "damaged");
    return true;
}

bool escape_pressed() {
    game_refresh_keyboard();
    if (!game_key_down(VK_ESCAPE)) return false;
    game_state = STATE_QUIT;
    return true;
}

// The game plays on without a device: keys come from the key-state query, and without a mouse
// the rocket stays where it starts. The player is told once.
void device_missing(int created, const char* device, const char* consequence) {
    if (!created) fprintf(stderr, "gnatrix: the %s could not be opened; %s\n", device, consequence);
}

void create_sound_music_keyboard() {
    snd_init();
    mus_init();
    inp_init();
    device_missing(inp_create_keyboard(), "keyboard device", "playing on: the keys still answer");
}

// The first pass; false when the program is to end.
bool title_initialise() {
    if (!resources_present()) return false;
    while (show_cursor(false) >= 0) {
    }
    game_create_bobs();
    pal_save(game_palette);
    set_colours(game_palette, GAME_COLOURS);
    game_draw_backdrop();
    pal_save(bitmap_image.palette);
    set_colours(bitmap_image.palette, TITLE_COLOURS);
    pal_apply(bitmap_image.palette);
    darken_title_colours();
    create_sound_music_keyboard();
    if (escape_pressed()) return false;
    device_missing(inp_create_mouse(), "mouse", "playing on with the rocket fixed");
    game_draw_backdrop();
    title_init_pending = 0;
    game_load_bonus_sound();
    if (game_state == STATE_QUIT) return false;
    if (escape_pressed()) return false;
    gfx_lock_primary();
    primary_pitch_words = primary_pitch >> 2;
    primary_buffer[MARK_Y * primary_pitch + MARK_X] = 0;
    game_draw_backdrop();
    game_lock_digit_frames();
    bob_set_pos(&rocket_bob, 114, 392);
    gfx_fill_rect(260, 380, 360, 420, COLOUR_BACKGROUND, primary_surface);  // loading caption
    bob_set_pos(&bug_bobs[0], 109, 205);
    bob_set_vel(&bug_bobs[0], 0, 1);
    bug_bobs[0].state = BUG_FALLING;
    game_seed_stars();
    return true;
}

void copy_backdrop() {
    const uint8_t* source = bitmap_image.pixels;
    if (primary_pitch == SCREEN_COLUMNS) {
        memcpy(primary_buffer, source, SCREEN_COLUMNS * SCREEN_ROWS);
        return;
    }
    uint8_t* row = primary_buffer;
    for (int y = 0; y < SCREEN_ROWS; y++) {
        memcpy(row, source, SCREEN_COLUMNS);
        row += primary_pitch & ~3;
        source += SCREEN_COLUMNS;
    }
}

}  // namespace

void game_fail(const char* message) {
    fprintf(stderr, "gnatrix: %s\n", message);
    platform_set_error(message);
    // The loop ends at its next message, and the program's status reports the failure.
    post_quit_message(1);
}

void game_title() {
    if (title_init_pending && !title_initialise()) return;
    game_demo_frame();
}

void game_draw_backdrop() {
    gfx_lock_primary();
    if (primary_buffer[MARK_Y * primary_pitch + MARK_X] == MARK_COLOUR) return;
    if (backdrop_load_pending) {
        backdrop_load_pending = 0;
        img_load_resource(BITMAP_BACKDROP);
        pal_apply(bitmap_image.palette);
    }
    primary_surface->restore();
    copy_backdrop();
    primary_buffer[MARK_Y * primary_pitch + MARK_X] = MARK_COLOUR;
    gfx_unlock_primary();
}

void game_create_bobs() {
    img_load_resource(BITMAP_SPRITES);
    pal_apply(bitmap_image.palette);
    bob_create(&rocket_bob, 1, 1, ROCKET_WIDTH, ROCKET_HEIGHT, 4, BOB_ATTRS, CAPS_SYSTEMMEMORY, 0,
               8);
    for (int k = 0; k < 4; k++) {
        bob_load_frame(&rocket_bob, &bitmap_image, k, 33 * k + 1, 1, FRAME_ABSOLUTE);
    }
    bob_create(&bug_bobs[0], 0, 34, BUG_WIDTH, BUG_HEIGHT, BUG_FRAMES, BOB_ATTRS, CAPS_SYSTEMMEMORY,
               1, 8);
    for (int k = 0; k < BUG_FRAMES; k++) {
        bob_load_frame(&bug_bobs[0], &bitmap_image, k, 33 * k + 1, 34, FRAME_ABSOLUTE);
    }
    for (int i = 1; i < BUG_MAX; i++) bob_clone(&bug_bobs[0], &bug_bobs[i]);
    for (int i = 0; i < BUG_MAX; i++) bob_set_anim_speed(&bug_bobs[i], 3);
    bob_create(&digit_bob, 0, 50, DIGIT_SIZE, DIGIT_SIZE, DIGIT_FRAMES, BOB_ATTRS,
               CAPS_SYSTEMMEMORY, 0, 8);
    for (int k = 0; k < DIGIT_FRAMES; k++) {
        bob_load_frame(&digit_bob, &bitmap_image, k, 17 * k + 1, 51, FRAME_ABSOLUTE);
    }
    img_release(&bitmap_image);
}

void game_seed_stars() {
    random_seed(clock_local_milliseconds());
    for (int r = 0; r < PLAY_FIELD_ROWS; r++) star_column[r] = random_next() % 639;
    for (int k = 0; k < TWINKLE_COUNT; k++) twinkle_row[k] = random_next() % 459;
}

void game_load_bonus_sound() {
    game_draw_backdrop();
    if (escape_pressed()) return;
    bonus_sound = snd_load_wave(BONUS_WAVE);
    game_apply_volume();
}

void game_lock_digit_frames() {
    if (digit_frame_rows[0]) return;
    int32_t pitch = 0;
    for (int k = 0; k < DIGIT_FRAMES; k++) digit_frame_rows[k] = digit_bob.frames[k]->lock(&pitch);
    digit_frame_pitch_words = pitch / 4;
}
