// The program's copy of the display palette, the timed screen transitions (fades and wipes)
// and the clipped pixel primitives the wipes draw with.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Always equal to what was last set on the display palette.
extern PALETTEENTRY work_palette[256];

int pal_save(PALETTEENTRY* destination);
int pal_apply(const PALETTEENTRY* source);

// Transition kinds: 0 fade to black, 1 to white, 2 close from the sides, 3 from top and
// bottom, 4 dissolve, 5 from all sides, 6 fade to blue, 7 to red, 8 to green. Kinds 2 to 5
// draw index 0 into a locked screen-sized buffer; the fades ignore buffer and pitch. Each timed
// step is paced through the frame timer (12 ms). Kinds above 8 do nothing.
void pal_transition(uint32_t kind, uint8_t* buffer, int32_t pitch);

// Lines clipped to the software clip rectangle; the plot is not clipped.
void gfx_hline(int32_t x1, int32_t x2, int32_t y, int32_t colour, uint8_t* buffer, int32_t pitch);
void gfx_vline(int32_t y1, int32_t y2, int32_t x, int32_t colour, uint8_t* buffer, int32_t pitch);
int gfx_plot(int32_t x, int32_t y, int32_t colour, uint8_t* buffer, int32_t pitch);
