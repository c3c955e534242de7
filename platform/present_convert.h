// The palette conversion at the heart of presentation, shared with its benchmark.
#pragma once
#include <cstdint>

#include "platform/types.h"

// 0x00RRGGBB for each palette index.
void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]);
// Converts w x h indexed pixels into 32-bit pixels through the table; pitches in bytes.
void present_convert(const uint8_t* src, int src_pitch, int w, int h, const uint32_t table[256],
                     uint32_t* dst, int dst_pitch);
