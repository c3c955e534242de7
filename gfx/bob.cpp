// BOB sprites: creation, frames cut from a bitmap, clones, drawing, animation and movement.
#include "gfx/bob.h"

#include <cstring>
#include <new>

#include "gfx/display.h"
#include "gfx/image.h"
#include "gfx/log.h"
#include "platform/display.h"

BobMissedHandler bob_missed_handler = nullptr;

namespace {

// A wrapping BOB below this row has fallen past the play field.
constexpr int32_t MISSED_ROW = 460;

bool valid_slot(const BOB* bob, int32_t slot) {
    return slot >= 0 && slot < bob->frame_total && slot < BOB_MAX_FRAMES && bob->frames[slot];
}

int draw_frame(BOB* bob, int32_t width, int32_t height, Surface* destination) {
    if (!bob) return 0;
    if (!(bob->attrs & BOB_VISIBLE)) return 1;
    if (!destination || !valid_slot(bob, bob->frame_index)) return 0;
    const RECT target{bob->x, bob->y, bob->x + width, bob->y + height};
    const RECT source{0, 0, bob->width, bob->height};
    return destination->blt(&target, bob->frames[bob->frame_index], &source, true) ? 1 : 0;
}

bool valid_sequence(const BOB* bob) {
    return bob->seq_index >= 0 && bob->seq_index < BOB_MAX_SEQUENCES &&
           bob->sequences[bob->seq_index];
}

void step_sequence(BOB* bob) {
    const int32_t* sequence = bob->sequences[bob->seq_index];
    ++bob->seq_pos;
    bob->frame_index = sequence[bob->seq_pos];
    if (bob->frame_index != -1) return;
    if (bob->attrs & BOB_SEQUENCE_ONCE) {
        bob->anim_done = 1;
        --bob->seq_pos;  // the last frame stays
    } else {
        bob->seq_pos = 0;
    }
    bob->frame_index = sequence[bob->seq_pos];
}

// Counts one tick; true when the animation is due to step.
bool tick(BOB* bob) {
    if (++bob->anim_ticks < bob->anim_period) return false;
    bob->anim_ticks = 0;
    return true;
}

}  // namespace

int bob_create(BOB* bob, int32_t x, int32_t y, int32_t width, int32_t height, int32_t count,
               uint32_t attrs, uint32_t caps, uint32_t colour_key, int32_t bits_per_pixel) {
    if (!bob || count < 0 || count > BOB_MAX_FRAMES) return 0;
    bob->state = 1;
    bob->attrs = attrs;
    bob->anim_done = 0;
    std::memset(bob->spare_counters, 0, sizeof(bob->spare_counters));
    bob->frame_index = 0;
    bob->frame_total = count;
    bob->bits_per_pixel = bits_per_pixel;
    bob->seq_index = bob->anim_ticks = bob->seq_pos = bob->anim_period = 0;
    bob->x = x;
    bob->y = y;
    bob->vel_x = bob->vel_y = 0;
    bob->width = width;
    bob->height = height;
    std::memset(bob->frames, 0, sizeof(bob->frames));
    std::memset(bob->sequences, 0, sizeof(bob->sequences));
    bob->row_pad = width % 8 != 0 ? 8 - width % 8 : 0;
    log_printf("\nCreate BOB %d", bob->row_pad);
    for (int32_t i = 0; i < count; ++i) {
        Surface* frame =
            ddraw ? ddraw->create_surface(width + bob->row_pad, height, caps | CAPS_OFFSCREENPLAIN)
                  : nullptr;
        if (!frame) return 0;
        frame->set_color_key(colour_key & 0xFFFF);
        bob->frames[i] = frame;
    }
    return 1;
}

int bob_load_frame(BOB* bob, const BitmapImage* image, int32_t slot, int32_t cx, int32_t cy,
                   int32_t mode) {
    if (!bob || !image || image->info_header.biBitCount != 8 || !valid_slot(bob, slot)) return 0;
    int32_t column = 0, row = 0;
    img_cell_origin(cx, cy, bob->width, bob->height, mode, &column, &row);
    Surface* frame = bob->frames[slot];
    int32_t pitch = 0;
    uint8_t* pixels = frame->lock(&pitch);
    if (!pixels) return 0;
    // Rows step by the pitch the lock reports, which may exceed width + row_pad.
    const int copied = img_copy_block(image, column, row, bob->width, bob->height, pixels, pitch);
    frame->unlock();
    if (!copied) return 0;
    bob->attrs |= BOB_FRAMES_LOADED;
    return 1;
}

int bob_clone(const BOB* source, BOB* destination) {
    if (!source || !destination || source == destination) return 0;
    *destination = *source;
    destination->attrs |= BOB_CLONE;
    return 1;
}

int bob_destroy(BOB* bob) {
    if (!bob) return 0;
    const bool owner = !(bob->attrs & BOB_CLONE);
    for (Surface*& frame : bob->frames) {
        if (frame && owner) frame->release();
        frame = nullptr;
    }
    for (int32_t*& sequence : bob->sequences) {
        if (owner) delete[] sequence;
        sequence = nullptr;
    }
    return 1;
}

int bob_draw(BOB* bob, Surface* destination) {
    return bob ? draw_frame(bob, bob->width, bob->height, destination) : 0;
}

int bob_draw_scaled(BOB* bob, int32_t width, int32_t height, Surface* destination) {
    return draw_frame(bob, width, height, destination);
}

int bob_animate(BOB* bob) {
    if (!bob) return 0;
    if (bob->attrs & BOB_CYCLE_FRAMES) {
        if (tick(bob) && ++bob->frame_index >= bob->frame_total) bob->frame_index = 0;
    } else if ((bob->attrs & BOB_PLAY_SEQUENCE) && valid_sequence(bob)) {
        if (tick(bob)) step_sequence(bob);
    }
    return 1;
}

int bob_move(BOB* bob) {
    if (!bob) return 0;
    bob->x += bob->vel_x;
    bob->y += bob->vel_y;
    if (bob->attrs & BOB_WRAP) {
        if (bob->x > clip_max_x) {
            bob->x = clip_min_x - bob->width;  // just off the left edge
        } else if (bob->x < clip_min_x - bob->width) {
            bob->x = clip_max_x;
        }
        if (bob->y > MISSED_ROW && bob_missed_handler) bob_missed_handler(bob);
    } else if (bob->attrs & BOB_BOUNCE) {
        if (bob->x > clip_max_x - bob->width || bob->x < clip_min_x) bob->vel_x = -bob->vel_x;
        if (bob->y > clip_max_y - bob->height || bob->y < clip_min_y) bob->vel_y = -bob->vel_y;
    }
    return 1;
}

int bob_set_pos(BOB* bob, int32_t x, int32_t y) {
    if (!bob) return 0;
    bob->x = x;
    bob->y = y;
    return 1;
}

int bob_set_vel(BOB* bob, int32_t vel_x, int32_t vel_y) {
    if (!bob) return 0;
    bob->vel_x = vel_x;
    bob->vel_y = vel_y;
    return 1;
}

int bob_set_anim_speed(BOB* bob, int32_t period) {
    if (!bob) return 0;
    bob->anim_period = period;
    return 1;
}

int bob_set_sequence(BOB* bob, int32_t slot, const int32_t* indices, int32_t count) {
    if (!bob || (bob->attrs & BOB_CLONE) || slot < 0 || slot >= BOB_MAX_SEQUENCES || !indices ||
        count <= 0) {
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (indices[i] < 0 || indices[i] >= bob->frame_total) return 0;
    }
    int32_t* sequence = new (std::nothrow) int32_t[size_t(count) + 1];
    if (!sequence) return 0;
    std::memcpy(sequence, indices, sizeof(int32_t) * size_t(count));
    sequence[count] = -1;
    delete[] bob->sequences[slot];
    bob->sequences[slot] = sequence;
    return 1;
}
