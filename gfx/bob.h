// BOBs: the sprite objects of the game (rocket, bugs, digit glyphs). Each holds up to 64
// colour-keyed frame surfaces, a position, a velocity, animation state and attribute bits.
#pragma once
#include <cstdint>

class Surface;
struct BitmapImage;

constexpr int BOB_MAX_FRAMES = 64;
constexpr int BOB_MAX_SEQUENCES = 16;

// Attribute bits of BOB::attrs.
constexpr uint32_t BOB_CYCLE_FRAMES = 0x02;   // animate through frames 0 .. frame_total - 1
constexpr uint32_t BOB_PLAY_SEQUENCE = 0x04;  // animate through sequences[seq_index]
constexpr uint32_t BOB_SEQUENCE_ONCE = 0x08;  // stop on the sequence's last frame, set anim_done
constexpr uint32_t BOB_VISIBLE = 0x10;
constexpr uint32_t BOB_BOUNCE = 0x20;  // reverse the velocity at the clip rectangle's edges
constexpr uint32_t BOB_WRAP = 0x40;    // wrap sideways; past row 460, hand over to the game
constexpr uint32_t BOB_FRAMES_LOADED = 0x80;
constexpr uint32_t BOB_CLONE = 0x100;  // frames and sequences belong to another BOB

struct BOB {
    int32_t x;
    int32_t state;
    int32_t anim_done;
    uint32_t attrs;
    int32_t y;
    int32_t vel_x;
    int32_t vel_y;
    int32_t width;
    int32_t height;
    int32_t row_pad;  // width + row_pad is a multiple of 8
    int32_t bits_per_pixel;
    int32_t spare_counters[4];
    int32_t user_words[32];
    int32_t frame_index;
    int32_t frame_total;
    int32_t seq_index;
    int32_t anim_ticks;
    int32_t seq_pos;
    int32_t anim_period;
    int32_t* sequences[BOB_MAX_SEQUENCES];  // frame indices ended by -1
    Surface* frames[BOB_MAX_FRAMES];
    int32_t spare_tail[3];
};

// Where bob_move hands a wrapping BOB that went past row 460. Null (the default) does nothing;
// the game sets it to game_bug_missed at start-up, which puts the bug back above the screen
// and counts the miss.
using BobMissedHandler = void (*)(BOB* bob);
extern BobMissedHandler bob_missed_handler;

// All operations return 1 on success and 0 for a null BOB.
// Frames are off-screen surfaces of (width + row_pad) x height with the given colour key.
// 0 at the first frame surface that cannot be made (those made so far stay, for bob_destroy).
int bob_create(BOB* bob, int32_t x, int32_t y, int32_t width, int32_t height, int32_t count,
               uint32_t attrs, uint32_t caps, uint32_t colour_key, int32_t bits_per_pixel);
// Copies the frame at cell (cx, cy) (mode 0) or at pixel (cx, cy) (any other mode) of an
// 8-bit image into frame slot `slot`. 0 when the slot is empty or the block is not inside.
int bob_load_frame(BOB* bob, const BitmapImage* image, int32_t slot, int32_t cx, int32_t cy,
                   int32_t mode);
// Copies source over destination, which then shares the source's frames and sequences.
int bob_clone(const BOB* source, BOB* destination);
// Releases the frames and frees the sequences of a BOB that owns them (a clone only forgets
// them); the pointers are cleared either way, so a second destroy releases nothing.
int bob_destroy(BOB* bob);
// Colour-keyed blit of the current frame at (x, y); an invisible BOB draws nothing and gets 1.
int bob_draw(BOB* bob, Surface* destination);
// As bob_draw, the whole frame stretched or shrunk to width x height.
int bob_draw_scaled(BOB* bob, int32_t width, int32_t height, Surface* destination);
int bob_animate(BOB* bob);
int bob_move(BOB* bob);
int bob_set_pos(BOB* bob, int32_t x, int32_t y);
int bob_set_vel(BOB* bob, int32_t vel_x, int32_t vel_y);
int bob_set_anim_speed(BOB* bob, int32_t period);
// Installs sequence `slot` as a copy of `count` frame indices (a -1 ending is added), replacing
// the one there. 0 for a clone, a bad slot or count, or an index outside the frames.
int bob_set_sequence(BOB* bob, int32_t slot, const int32_t* indices, int32_t count);
