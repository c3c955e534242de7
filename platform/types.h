// Plain records shared by the platform and the game: rectangles, palette entries, colours.
#pragma once
#include <cstdint>

// A rectangle whose right column and bottom row are excluded, as the blitter takes it.
struct RECT {
    int32_t left, top, right, bottom;
};

// One palette entry, in the 4-byte layout every palette of the game uses.
struct PALETTEENTRY {
    uint8_t peRed, peGreen, peBlue, peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

constexpr uint8_t PC_EXPLICIT = 2;
constexpr uint8_t PC_NOCOLLAPSE = 4;

// A text colour as 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
