// The work palette, screen transitions and the pixel primitives they use.
#include "gfx/palette.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gfx/display.h"
#include "gfx/draw.h"
#include "platform/random.h"

PALETTEENTRY work_palette[256];

int pal_save(PALETTEENTRY* destination) {
    if (!destination) return 0;
    std::memcpy(destination, work_palette, sizeof work_palette);
    return 1;
}

int pal_apply(const PALETTEENTRY* source) {
    if (!source) return 0;
    std::memcpy(work_palette, source, sizeof work_palette);
    if (display_palette) display_palette->set_entries(0, 256, work_palette);
    return 1;
}

void gfx_hline(int32_t x1, int32_t x2, int32_t y, int32_t colour, uint8_t* buffer, int32_t pitch) {
    if (y > clip_max_y || y < clip_min_y) return;
    if (x1 > x2) std::swap(x1, x2);
    if (x1 > clip_max_x || x2 < clip_min_x) return;
    x1 = std::max(x1, clip_min_x);
    x2 = std::min(x2, clip_max_x);
    std::memset(buffer + y * pitch + x1, uint8_t(colour), size_t(x2 - x1 + 1));
}

void gfx_vline(int32_t y1, int32_t y2, int32_t x, int32_t colour, uint8_t* buffer, int32_t pitch) {
    if (x > clip_max_x || x < clip_min_x) return;
    if (y1 > y2) std::swap(y1, y2);
    if (y1 > clip_max_y || y2 < clip_min_y) return;
    y1 = std::max(y1, clip_min_y);
    y2 = std::min(y2, clip_max_y);
    for (int32_t y = y1; y <= y2; ++y) buffer[y * pitch + x] = uint8_t(colour);
}

int gfx_plot(int32_t x, int32_t y, int32_t colour, uint8_t* buffer, int32_t pitch) {
    buffer[y * pitch + x] = uint8_t(colour);
    return 1;
}

namespace {

constexpr uint32_t STEP_MS = 12;

uint8_t add_clamped(uint8_t value, int delta) {
    return uint8_t(std::clamp(value + delta, 0, 255));
}

// The fade to black steps by 3 but snaps the last few levels to 0.
uint8_t darken(uint8_t value) {
    return value > 4 ? uint8_t(value - 3) : 0;
}

void fade_to_black() {
    for (int step = 0; step < 80; ++step) {
        tmr_frame_start();
        PALETTEENTRY table[256];
        pal_save(table);
        for (int i = 1; i < 256; ++i) {  // entry 0 keeps its colour
            table[i].peRed = darken(table[i].peRed);
            table[i].peGreen = darken(table[i].peGreen);
            table[i].peBlue = darken(table[i].peBlue);
        }
        pal_apply(table);
        tmr_wait(STEP_MS);
    }
}

// Fades to a colour: each step adds these deltas to every entry, clamped to 0..255.
void fade_by(int red, int green, int blue) {
    for (int step = 0; step < 64; ++step) {
        PALETTEENTRY table[256];
        pal_save(table);
        for (PALETTEENTRY& entry : table) {
            entry.peRed = add_clamped(entry.peRed, red);
            entry.peGreen = add_clamped(entry.peGreen, green);
            entry.peBlue = add_clamped(entry.peBlue, blue);
        }
        pal_apply(table);
        tmr_frame_start();
        tmr_wait(STEP_MS);
    }
}

void paced_step() {
    tmr_frame_start();
    tmr_wait(STEP_MS);
}

// Draws full-length lines in colour 0 at i, its mirror, and their inner neighbours.
void close_columns(int32_t i, uint8_t* buffer, int32_t pitch) {
    const int32_t w = screen_width, h = screen_height;
    for (int32_t x : {w - 1 - i, i, w - 2 - i, i + 1}) gfx_vline(0, h - 1, x, 0, buffer, pitch);
}

void close_rows(int32_t i, uint8_t* buffer, int32_t pitch) {
    const int32_t w = screen_width, h = screen_height;
    for (int32_t y : {h - 1 - i, i, h - 2 - i, i + 1}) gfx_hline(0, w - 1, y, 0, buffer, pitch);
}

void close_from_sides(uint8_t* buffer, int32_t pitch) {
    for (int32_t i = 0; i < screen_width / 2; i += 2) {
        paced_step();
        close_columns(i, buffer, pitch);
    }
}

void close_from_top_and_bottom(uint8_t* buffer, int32_t pitch) {
    for (int32_t i = 0; i < screen_height / 2; i += 2) {
        paced_step();
        close_rows(i, buffer, pitch);
    }
}

// The rows finish first and start again from the edges while the columns close.
void close_from_all_sides(uint8_t* buffer, int32_t pitch) {
    for (int32_t i = 0; i < screen_width / 2; i += 2) {
        paced_step();
        close_rows(i % (screen_height / 2), buffer, pitch);
        close_columns(i, buffer, pitch);
    }
}

void dissolve(uint8_t* buffer, int32_t pitch) {
    const int64_t plots = 4 * int64_t(screen_width) * screen_height;
    for (int64_t n = 0; n <= plots; ++n) {
        const int32_t y = random_next() % screen_height;  // y is drawn before x
        const int32_t x = random_next() % screen_width;
        gfx_plot(x, y, 0, buffer, pitch);
    }
}

}  // namespace

void pal_transition(uint32_t kind, uint8_t* buffer, int32_t pitch) {
    const bool draws = kind >= 2 && kind <= 5;
    if (draws && !buffer) return;  // a wipe without a locked screen would write through null
    switch (kind) {
        case 0:
            fade_to_black();
            break;
        case 1:
            fade_by(4, 4, 4);
            break;
        case 2:
            close_from_sides(buffer, pitch);
            break;
        case 3:
            close_from_top_and_bottom(buffer, pitch);
            break;
        case 4:
            dissolve(buffer, pitch);
            break;
        case 5:
            close_from_all_sides(buffer, pitch);
            break;
        case 6:
            fade_by(-4, -4, 6);
            break;
        case 7:
            fade_by(6, -4, -4);
            break;
        case 8:
            fade_by(-4, 6, -4);
            break;
        default:
            break;
    }
}
