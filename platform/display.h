// The display: an exclusive 640x480 8-bit mode, surfaces with lock/blit/fill, one palette,
// clippers and drawing contexts for text. Stands in for the system's 2-D display service.
#pragma once
#include <cstdint>

#include "platform/types.h"

class Window;
class Surface;
class Palette;
class Clipper;
class DrawContext;

// Capability bits a surface is created with.
constexpr uint32_t CAPS_BACKBUFFER = 0x4;
constexpr uint32_t CAPS_COMPLEX = 0x8;
constexpr uint32_t CAPS_FLIP = 0x10;
constexpr uint32_t CAPS_OFFSCREENPLAIN = 0x40;
constexpr uint32_t CAPS_PRIMARYSURFACE = 0x200;
constexpr uint32_t CAPS_SYSTEMMEMORY = 0x800;

// The display object. Every object made from it is reference counted like the original:
// release() drops the one reference the creator holds.
class Display {
  public:
    // Null when no display can be opened (the message is kept in platform_error()).
    static Display* create();
    bool set_cooperative_level(Window* window, bool exclusive_fullscreen);
    bool set_display_mode(int width, int height, int bpp);
    // The visible surface; with a back buffer when asked (reached via attached_back_buffer()).
    Surface* create_primary_surface(bool with_back_buffer);
    // An off-screen 8-bit surface. Null on failure.
    Surface* create_surface(int width, int height, uint32_t caps);
    Palette* create_palette(const PALETTEENTRY entries[256]);
    Clipper* create_clipper();
    bool wait_vertical_blank();
    void release();
};

class Surface {
  public:
    int width() const;
    int height() const;
    uint32_t caps() const;
    // Lock the whole surface: its first pixel, and its pitch through *pitch. Null when the
    // surface is already locked (the real call fails then too).
    uint8_t* lock(int32_t* pitch);
    bool unlock();
    bool is_locked() const;
    // Bits per pixel of the surface's pixel format.
    int pixel_format() const;
    Surface* attached_back_buffer();
    bool set_palette(Palette* palette);
    bool set_clipper(Clipper* clipper);
    void set_color_key(uint32_t key);
    // Colour fill of a rectangle (null: whole surface). Fails while locked.
    bool fill(const RECT* rect, uint32_t colour);
    // Copy src_rect of src (null: all of it) into dst_rect (null: whole surface), stretched
    // with nearest neighbour when the sizes differ, skipping the source's colour-key pixels
    // when keyed. Clipped by the attached clip list; without one, a destination rectangle that
    // is not inside the surface fails. Fails while either surface is locked.
    bool blt(const RECT* dst_rect, Surface* src, const RECT* src_rect, bool keyed);
    // Show the back buffer (full screen) or copy it to the window. Fails while locked.
    bool flip();
    bool restore();
    // A drawing context for text on this surface; null while locked.
    DrawContext* get_dc();
    void release_dc(DrawContext* dc);
    void add_ref();
    void release();
};

class Palette {
  public:
    bool set_entries(int first, int count, const PALETTEENTRY* entries);
    void get_entries(int first, int count, PALETTEENTRY* entries) const;
    void release();
};

class Clipper {
  public:
    // The rectangles of the list and their bounding box.
    bool set_clip_list(const RECT* rects, int count, const RECT& bound);
    // The bounding box given with the list.
    RECT bound() const;
    bool set_window(Window* window);
    void release();
};

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Text on a surface in the embedded font (16-pixel line height, unantialiased). Colours are
// COLORREFs mapped to the nearest entry of the display palette.
class DrawContext {
  public:
    void select_default_font();
    void set_text_color(COLORREF colour);
    void set_bk_color(COLORREF colour);
    void set_bk_mode(int mode);
    // Draws len bytes of text with its top-left corner at (x, y).
    bool text_out(int x, int y, const char* text, int len);
    // Width and height of len bytes of text, including any justification set.
    bool text_extent(const char* text, int len, int* width, int* height);
    // Spread extra pixels over the next text_out's break characters (blanks); 0, 0 ends it.
    void set_text_justification(int extra, int breaks);
};

// How many objects of each kind are alive, so tests can see releases.
struct DisplayCounts {
    int displays, surfaces, palettes, clippers;
};
DisplayCounts display_live_counts();

// Tests: give newly created primary surfaces this pitch (0 = natural).
void display_set_primary_pitch(int pitch);
// Tests: give newly created off-screen surfaces this many bytes of pitch beyond their width.
void display_set_surface_pitch_pad(int bytes);
