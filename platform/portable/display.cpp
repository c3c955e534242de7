// The display objects: an 8-bit mode, surfaces in system memory with lock, fill and blit,
// palettes and clippers. Everything is plain memory, so it runs the same with or without a window.
#include "platform/display.h"

#include <algorithm>
#include <cstring>

#include "platform/portable/display_objects.h"

namespace {

DisplayCounts g_counts{0, 0, 0, 0};
int g_primary_pitch = 0;
int g_surface_pitch_pad = 0;
SurfaceImpl* g_primary = nullptr;

SurfaceImpl* new_surface(int width, int height, int32_t pitch, uint32_t caps) {
    auto* s = new SurfaceImpl;
    s->w = width;
    s->h = height;
    s->pitch = pitch;
    s->caps_bits = caps;
    s->pixels.assign(size_t(pitch) * size_t(height), 0);
    ++g_counts.surfaces;
    return s;
}

void release_palette(PaletteImpl* p) {
    if (p && --p->refs == 0) {
        delete p;
        --g_counts.palettes;
    }
}

void release_clipper(ClipperImpl* c) {
    if (c && --c->refs == 0) {
        delete c;
        --g_counts.clippers;
    }
}

RECT whole(const SurfaceImpl* s) {
    return RECT{0, 0, s->w, s->h};
}

bool inside(const RECT& r, const RECT& bounds) {
    return r.left >= bounds.left && r.top >= bounds.top && r.right <= bounds.right &&
           r.bottom <= bounds.bottom;
}

RECT intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// The parts of dst that an operation may write: the clip list's rectangles (kept inside the
// surface), the whole surface for a window clipper, or dst itself when it lies inside the
// surface and there is no clipper. False when the rectangle is refused.
bool clip_pieces(const SurfaceImpl* s, const RECT& dst, std::vector<RECT>* pieces) {
    if (dst.right < dst.left || dst.bottom < dst.top) return false;
    const RECT bounds = whole(s);
    const ClipperImpl* c = s->clipper;
    if (!c) {
        if (!inside(dst, bounds)) return false;
        pieces->push_back(dst);
        return true;
    }
    if (!c->has_list) {
        pieces->push_back(intersect(dst, bounds));
        return true;
    }
    for (const RECT& r : c->rects) pieces->push_back(intersect(intersect(dst, r), bounds));
    return true;
}

bool busy(const SurfaceImpl* s) {
    return s->locked || s->dc_out;
}

// Copies the source rectangle into the piece of the destination rectangle, nearest neighbour:
// each destination pixel takes the source pixel its position maps to in the unclipped rectangle.
void copy_piece(SurfaceImpl* dst, const RECT& d, const RECT& piece, const uint8_t* src_pixels,
                int32_t src_pitch, const RECT& s, bool keyed, uint32_t key) {
    const int64_t dw = d.right - d.left, dh = d.bottom - d.top;
    const int64_t sw = s.right - s.left, sh = s.bottom - s.top;
    const bool stretched = dw != sw || dh != sh;
    for (int y = piece.top; y < piece.bottom; ++y) {
        const int sy = int(s.top + (y - d.top) * sh / dh);
        const uint8_t* src_row = src_pixels + int64_t(sy) * src_pitch;
        uint8_t* out = dst->row(y);
        if (!stretched && !keyed) {
            const int sx = s.left + (piece.left - d.left);
            std::memmove(out + piece.left, src_row + sx, size_t(piece.right - piece.left));
            continue;
        }
        for (int x = piece.left; x < piece.right; ++x) {
            const uint8_t p = src_row[s.left + (x - d.left) * sw / dw];
            if (!keyed || p != key) out[x] = p;
        }
    }
}

}  // namespace

SurfaceImpl* display_primary() {
    return g_primary;
}

const PALETTEENTRY* display_shown_palette() {
    return g_primary && g_primary->palette ? g_primary->palette->entries : nullptr;
}

DisplayCounts display_live_counts() {
    return g_counts;
}

void display_set_primary_pitch(int pitch) {
    g_primary_pitch = pitch;
}

void display_set_surface_pitch_pad(int bytes) {
    g_surface_pitch_pad = bytes;
}

// ---- Display

Display* Display::create() {
    ++g_counts.displays;
    return new DisplayImpl;
}

bool Display::set_cooperative_level(Window* window, bool exclusive_fullscreen) {
    impl(this)->window = window;
    impl(this)->exclusive = exclusive_fullscreen;
    return true;
}

bool Display::set_display_mode(int width, int height, int bpp) {
    if (bpp != 8 || width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
    DisplayImpl* d = impl(this);
    d->mode_w = width;
    d->mode_h = height;
    d->mode_bpp = bpp;
    return true;
}

Surface* Display::create_primary_surface(bool with_back_buffer) {
    DisplayImpl* d = impl(this);
    if (d->mode_bpp == 0 || g_primary) return nullptr;
    const int32_t pitch = std::max(g_primary_pitch, d->mode_w);
    const uint32_t chain = with_back_buffer ? CAPS_FLIP | CAPS_COMPLEX : 0;
    g_primary = new_surface(d->mode_w, d->mode_h, pitch, CAPS_PRIMARYSURFACE | chain);
    if (with_back_buffer) {
        g_primary->back = new_surface(d->mode_w, d->mode_h, pitch, CAPS_BACKBUFFER | chain);
        g_primary->back->is_back = true;
    }
    return g_primary;
}

Surface* Display::create_surface(int width, int height, uint32_t caps) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    return new_surface(width, height, width + g_surface_pitch_pad, caps);
}

Palette* Display::create_palette(const PALETTEENTRY entries[256]) {
    if (!entries) return nullptr;
    auto* p = new PaletteImpl;
    std::memcpy(p->entries, entries, sizeof p->entries);
    ++g_counts.palettes;
    return p;
}

Clipper* Display::create_clipper() {
    ++g_counts.clippers;
    return new ClipperImpl;
}

bool Display::wait_vertical_blank() {
    return true;
}

void Display::release() {
    DisplayImpl* d = impl(this);
    if (--d->refs > 0) return;
    delete d;
    if (--g_counts.displays == 0) {
        present_release();
        text_release();
    }
}

// ---- Surface

int Surface::width() const {
    return impl(this)->w;
}
int Surface::height() const {
    return impl(this)->h;
}
uint32_t Surface::caps() const {
    return impl(this)->caps_bits;
}
int Surface::pixel_format() const {
    return 8;
}
bool Surface::is_locked() const {
    return impl(this)->locked;
}

uint8_t* Surface::lock(int32_t* pitch) {
    SurfaceImpl* s = impl(this);
    if (busy(s)) return nullptr;
    s->locked = true;
    if (pitch) *pitch = s->pitch;
    return s->pixels.data();
}

bool Surface::unlock() {
    SurfaceImpl* s = impl(this);
    if (!s->locked) return false;
    s->locked = false;
    return true;
}

Surface* Surface::attached_back_buffer() {
    SurfaceImpl* back = impl(this)->back;
    if (back) ++back->refs;
    return back;
}

bool Surface::set_palette(Palette* palette) {
    SurfaceImpl* s = impl(this);
    if (palette) impl(palette)->add_ref();
    release_palette(s->palette);
    s->palette = impl(palette);
    return true;
}

bool Surface::set_clipper(Clipper* clipper) {
    SurfaceImpl* s = impl(this);
    if (clipper) impl(clipper)->add_ref();
    release_clipper(s->clipper);
    s->clipper = impl(clipper);
    return true;
}

void Surface::set_color_key(uint32_t key) {
    impl(this)->keyed = true;
    impl(this)->key = key;
}

bool Surface::fill(const RECT* rect, uint32_t colour) {
    SurfaceImpl* s = impl(this);
    if (busy(s)) return false;
    std::vector<RECT> pieces;
    if (!clip_pieces(s, rect ? *rect : whole(s), &pieces)) return false;
    for (const RECT& p : pieces) {
        if (empty(p)) continue;
        for (int y = p.top; y < p.bottom; ++y)
            std::memset(s->row(y) + p.left, uint8_t(colour), size_t(p.right - p.left));
    }
    return true;
}

bool Surface::blt(const RECT* dst_rect, Surface* src, const RECT* src_rect, bool keyed) {
    SurfaceImpl* d = impl(this);
    SurfaceImpl* s = impl(src);
    if (!s || busy(d) || busy(s)) return false;
    const RECT sr = src_rect ? *src_rect : whole(s);
    if (empty(sr) || !inside(sr, whole(s))) return false;
    const RECT dr = dst_rect ? *dst_rect : whole(d);
    std::vector<RECT> pieces;
    if (!clip_pieces(d, dr, &pieces)) return false;
    if (empty(dr)) return true;
    // A surface copied onto itself reads from a snapshot, so overlapping parts come out right.
    std::vector<uint8_t> snapshot;
    const uint8_t* src_pixels = s->pixels.data();
    if (s == d) {
        snapshot = s->pixels;
        src_pixels = snapshot.data();
    }
    const bool use_key = keyed && s->keyed;
    for (const RECT& p : pieces) {
        if (!empty(p)) copy_piece(d, dr, p, src_pixels, s->pitch, sr, use_key, s->key);
    }
    return true;
}

bool Surface::flip() {
    SurfaceImpl* s = impl(this);
    if (!s->back || busy(s) || busy(s->back)) return false;
    std::swap(s->pixels, s->back->pixels);
    return true;
}

bool Surface::restore() {
    return true;
}

DrawContext* Surface::get_dc() {
    SurfaceImpl* s = impl(this);
    if (busy(s)) return nullptr;
    s->dc_out = true;
    return draw_context_create(s);
}

void Surface::release_dc(DrawContext* dc) {
    if (!dc) return;
    impl(this)->dc_out = false;
    draw_context_destroy(dc);
}

void Surface::add_ref() {
    ++impl(this)->refs;
}

void Surface::release() {
    SurfaceImpl* s = impl(this);
    if (--s->refs > 0) return;
    if (s->back) s->back->release();
    release_palette(s->palette);
    release_clipper(s->clipper);
    if (s == g_primary) g_primary = nullptr;
    delete s;
    --g_counts.surfaces;
}

// ---- Palette

bool Palette::set_entries(int first, int count, const PALETTEENTRY* entries) {
    if (!entries || first < 0 || count < 0 || first + count > 256) return false;
    std::memcpy(impl(this)->entries + first, entries, size_t(count) * sizeof(PALETTEENTRY));
    return true;
}

void Palette::get_entries(int first, int count, PALETTEENTRY* entries) const {
    if (!entries || first < 0 || count < 0 || first + count > 256) return;
    std::memcpy(entries, impl(this)->entries + first, size_t(count) * sizeof(PALETTEENTRY));
}

void Palette::release() {
    release_palette(impl(this));
}

// ---- Clipper

bool Clipper::set_clip_list(const RECT* rects, int count, const RECT& bound) {
    if (count < 0 || (count > 0 && !rects)) return false;
    ClipperImpl* c = impl(this);
    c->rects.assign(rects, rects + count);
    c->bound = bound;
    c->has_list = true;
    c->window = nullptr;
    return true;
}

bool Clipper::set_window(Window* window) {
    ClipperImpl* c = impl(this);
    c->rects.clear();
    c->has_list = false;
    c->window = window;
    return true;
}

RECT Clipper::bound() const {
    return static_cast<const ClipperImpl*>(this)->bound;
}

void Clipper::release() {
    release_clipper(impl(this));
}
