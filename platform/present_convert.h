// The arithmetic of presentation, kept apart from SDL so benchmarks and tests can reach it.
#pragma once
#include <cstdint>

#include "platform/types.h"

// 0x00RRGGBB for each palette index.
void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]);
// Converts w x h indexed pixels into 32-bit pixels through the table; pitches in bytes.
void present_convert(const uint8_t* src, int src_pitch, int w, int h, const uint32_t table[256],
                     uint32_t* dst, int dst_pitch);

// Converts as above, each pixel becoming an n x n block (n >= 1): a whole-multiple scale.
void present_convert_scaled(const uint8_t* src, int src_pitch, int w, int h,
                            const uint32_t table[256], int n, uint32_t* dst, int dst_pitch);

struct Letterbox {
    int x, y, w, h;
};
// The largest w x h shaped rectangle that fits the output, centred; whole multiples of the
// screen only when asked for and at least one fits.
Letterbox present_letterbox(int out_w, int out_h, int w, int h, bool whole_multiples);

// True for the OpenGL renderer strings of software rasterisers (Mesa's llvmpipe and softpipe,
// and the like): an "accelerated" renderer on one of them is slower than SDL's software one.
bool present_is_software_rasteriser(const char* gl_renderer);
