// Sets up and releases the display, and keeps the lock state of the two screen surfaces in the
// globals that every drawing routine reads.
#include "gfx/display.h"

#include <algorithm>
#include <cstring>

#include "gfx/log.h"
#include "gfx/palette.h"
#include "platform/window.h"

Display* ddraw = nullptr;
Surface* primary_surface = nullptr;
Surface* back_surface = nullptr;
Palette* display_palette = nullptr;
Clipper* screen_clipper = nullptr;
Clipper* window_clipper = nullptr;
uint8_t* primary_buffer = nullptr;
int32_t primary_pitch = 0;
uint8_t* back_buffer = nullptr;
int32_t back_pitch = 0;
int32_t screen_width = 640;
int32_t screen_height = 480;
int32_t screen_bpp = 8;
int32_t pixel_format = 16;
int32_t clip_min_x = 0;
int32_t clip_min_y = 0;
int32_t clip_max_x = 639;
int32_t clip_max_y = 479;
int32_t windowed = 0;

namespace {

// The palette starts black; a windowed display leaves the system's twenty colours alone.
void reset_work_palette(bool windowed_mode) {
    std::memset(work_palette, 0, sizeof work_palette);
    if (!windowed_mode) return;
    for (int i = 0; i < 10; ++i) {
        work_palette[i].peFlags = PC_EXPLICIT;
        work_palette[255 - i].peFlags = PC_EXPLICIT;
    }
}

bool create_back_surface(bool want_back_buffer) {
    if (windowed) {
        back_surface = gfx_create_surface(screen_width, screen_height, 0, 0);
        return true;
    }
    if (!want_back_buffer) return true;
    back_surface = primary_surface->attached_back_buffer();
    return back_surface != nullptr;
}

bool create_palette() {
    if (screen_bpp != 8) return true;
    reset_work_palette(windowed);
    display_palette = ddraw->create_palette(work_palette);
    return display_palette && primary_surface->set_palette(display_palette);
}

bool attach_window_clipper() {
    window_clipper = ddraw->create_clipper();
    return window_clipper && window_clipper->set_window(main_window) &&
           primary_surface->set_clipper(window_clipper);
}

template <typename T>
void release(T*& object) {
    if (object) object->release();
    object = nullptr;
}

}  // namespace

int gfx_init(int width, int height, int bpp, bool windowed_mode, bool want_back_buffer) {
    ddraw = Display::create();
    if (!ddraw) return 0;
    if (!ddraw->set_cooperative_level(main_window, !windowed_mode)) return 0;
    if (!ddraw->set_display_mode(width, height, bpp)) return 0;
    screen_width = width;
    screen_height = height;
    screen_bpp = bpp;
    windowed = windowed_mode;
    primary_surface = ddraw->create_primary_surface(!windowed_mode && want_back_buffer);
    if (!primary_surface) return 0;
    pixel_format = primary_surface->pixel_format();
    log_printf("\npixel format = %d", pixel_format);
    if (!create_back_surface(want_back_buffer)) return 0;
    if (!create_palette()) return 0;
    if (!windowed) gfx_fill_surface(primary_surface, 0, nullptr);
    if (back_surface) gfx_fill_surface(back_surface, 0, nullptr);
    clip_min_x = 0;
    clip_max_x = screen_width - 1;
    clip_min_y = 0;
    clip_max_y = screen_height - 1;
    // Right and bottom are exclusive: blits onto the screen never reach column 639 or row 479.
    const RECT screen{0, 0, 639, 479};
    screen_clipper = gfx_attach_clip_list(primary_surface, 1, &screen);
    if (windowed && !attach_window_clipper()) return 0;
    return 1;
}

// Releases each object once, and forgets it, so a second shut-down releases nothing again.
int gfx_shutdown() {
    primary_buffer = nullptr;
    back_buffer = nullptr;
    back_pitch = 0;
    release(screen_clipper);
    release(window_clipper);
    release(display_palette);
    release(back_surface);
    release(primary_surface);
    release(ddraw);
    return 1;
}

RECT gfx_clip_bound(int count, const RECT* rects) {
    RECT bound{64000, 64000, -64000, -64000};
    for (int i = 0; i < count; ++i) {
        bound.left = std::min(bound.left, rects[i].left);
        bound.top = std::min(bound.top, rects[i].top);
        bound.right = std::max(bound.right, rects[i].right);
        bound.bottom = std::max(bound.bottom, rects[i].bottom);
    }
    return bound;
}

Clipper* gfx_attach_clip_list(Surface* surface, int count, const RECT* rects) {
    if (!ddraw || !surface || count < 0 || (count > 0 && !rects)) return nullptr;
    Clipper* clipper = ddraw->create_clipper();
    if (!clipper) return nullptr;
    if (!clipper->set_clip_list(rects, count, gfx_clip_bound(count, rects)) ||
        !surface->set_clipper(clipper)) {
        clipper->release();
        return nullptr;
    }
    return clipper;
}

Surface* gfx_create_surface(int width, int height, uint32_t caps, uint32_t colour_key) {
    if (!ddraw) return nullptr;
    Surface* surface = ddraw->create_surface(width, height, caps | CAPS_OFFSCREENPLAIN);
    if (surface) surface->set_color_key(colour_key & 0xFFFF);
    return surface;
}

int gfx_fill_surface(Surface* surface, uint32_t colour, const RECT* rect) {
    if (!surface) return 0;
    surface->fill(rect, colour & 0xFFFF);
    return 1;
}

uint8_t* gfx_lock_primary() {
    if (primary_buffer || !primary_surface) return primary_buffer;
    int32_t pitch = 0;
    primary_buffer = primary_surface->lock(&pitch);
    primary_pitch = pitch;
    return primary_buffer;
}

void gfx_unlock_primary() {
    if (!primary_buffer) return;
    primary_surface->unlock();
    primary_buffer = nullptr;
}

uint8_t* gfx_lock_back() {
    if (back_buffer || !back_surface) return back_buffer;
    int32_t pitch = 0;
    back_buffer = back_surface->lock(&pitch);
    back_pitch = pitch;
    return back_buffer;
}

int gfx_unlock_back() {
    if (!back_buffer) return 0;
    back_surface->unlock();
    back_buffer = nullptr;
    back_pitch = 0;
    return 1;
}

// Never while a surface is locked. Windowed, the back surface is copied into the window.
int gfx_flip() {
    if (!primary_surface || primary_buffer || back_buffer) return 0;
    if (!windowed) return primary_surface->flip() ? 1 : 0;
    const RECT window{0, 0, screen_width, screen_height};
    return primary_surface->blt(&window, back_surface, nullptr, false) ? 1 : 0;
}

int gfx_wait_vblank() {
    return ddraw && ddraw->wait_vertical_blank() ? 1 : 0;
}

uint8_t* gfx_lock_surface(Surface* surface, int32_t* pitch) {
    if (!surface) return nullptr;
    int32_t locked_pitch = 0;
    uint8_t* memory = surface->lock(&locked_pitch);
    if (pitch) *pitch = locked_pitch;
    return memory;
}

int gfx_unlock_surface(Surface* surface) {
    if (!surface) return 0;
    return surface->unlock() ? 1 : 0;
}
