// The display: the 640x480 8-bit mode, the primary surface and its back buffer, the palette
// object, the clipper, and the globals through which the game reaches the screen's memory.
#pragma once
#include <cstdint>

#include "platform/display.h"

extern Display* ddraw;
extern Surface* primary_surface;
extern Surface* back_surface;
extern Palette* display_palette;
extern Clipper* screen_clipper;
extern Clipper* window_clipper;
// The locked screen memory (null while unlocked) and its row pitch.
extern uint8_t* primary_buffer;
extern int32_t primary_pitch;
extern uint8_t* back_buffer;
extern int32_t back_pitch;  // 0 while unlocked
extern int32_t screen_width;
extern int32_t screen_height;
extern int32_t screen_bpp;
// Bits per pixel the primary surface reports; 16 until gfx_init.
extern int32_t pixel_format;
// The software clip rectangle, inclusive on every side.
extern int32_t clip_min_x;
extern int32_t clip_min_y;
extern int32_t clip_max_x;
extern int32_t clip_max_y;
extern int32_t windowed;

int gfx_init(int width, int height, int bpp, bool windowed_mode, bool want_back_buffer);
int gfx_shutdown();
Clipper* gfx_attach_clip_list(Surface* surface, int count, const RECT* rects);
// The bounding box of a rectangle list, as a clip list carries it.
RECT gfx_clip_bound(int count, const RECT* rects);
Surface* gfx_create_surface(int width, int height, uint32_t caps, uint32_t colour_key);
int gfx_fill_surface(Surface* surface, uint32_t colour, const RECT* rect);
uint8_t* gfx_lock_primary();
void gfx_unlock_primary();
uint8_t* gfx_lock_back();
int gfx_unlock_back();
int gfx_flip();
int gfx_wait_vblank();
uint8_t* gfx_lock_surface(Surface* surface, int32_t* pitch);
int gfx_unlock_surface(Surface* surface);
