// Rectangle fills, text through a surface's drawing context, and frame timing.
#pragma once
#include <cstdint>

#include "platform/display.h"

// A font handle as the text calls take it; the drawing context has one font, so any value
// (null included) leaves it selected.
using HFONT = const void*;

// The tick count at the start of the current frame or transition step.
extern uint32_t frame_start_tick;
// The drawing context txt_draw is drawing with; null outside it.
extern DrawContext* text_dc;

// Fills columns left..right-1 and rows top..bottom-1 with the colour, passed whole.
int gfx_fill_rect(int left, int top, int right, int bottom, uint32_t colour, Surface* surface);
// Transparent text with its top-left corner at (x, y). 0 on success.
int txt_draw(const char* text, int x, int y, COLORREF colour, Surface* surface, HFONT font);
// The same in the colour of a work_palette entry and the context's current font.
int txt_draw_index(const char* text, int x, int y, int index, Surface* surface);
uint32_t tmr_ticks();
uint32_t tmr_frame_start();
// Waits until ms have passed since frame_start_tick; returns a fresh tick count.
uint32_t tmr_wait(uint32_t ms);
