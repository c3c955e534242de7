// The arithmetic of presentation, kept apart from SDL so benchmarks and tests can reach it.
#pragma once
#include <cstdint>

#include "platform/types.h"

// 0x00RRGGBB for each palette index.
void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]);
// The ways of converting: a plain loop, AVX2 gathers, AVX-512 byte permutes. Which is fastest
// depends on the processor, so the first conversion times those it has and keeps the fastest,
// unless GNATRIX_CONVERTER names one (plain, gather or permute). All give the same pixels.
enum class PresentConverter { Plain, Gather, Permute };
constexpr int PRESENT_CONVERTERS = 3;
// GNATRIX_CONVERTER's converter if the processor has it, else the fastest here (timed).
PresentConverter present_choose_converter();
// The converter in use, chosen on the first call.
PresentConverter present_converter();
// Uses this converter from now on; false when the processor lacks it.
bool present_use_converter(PresentConverter converter);
bool present_converter_available(PresentConverter converter);
const char* present_converter_name(PresentConverter converter);
// Microseconds per 640x480 frame measured when choosing; 0 if not measured.
double present_converter_timing(PresentConverter converter);

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
