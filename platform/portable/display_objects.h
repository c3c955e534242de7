// The display objects' state, shared by the platform's display, text and presentation modules.
// The public classes in display.h carry no data; each object is really one of these.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/display.h"

struct ClipperImpl : Clipper {
    int refs = 1;
    std::vector<RECT> rects;
    RECT bound{0, 0, 0, 0};
    bool has_list = false;
    Window* window = nullptr;
    void add_ref() { ++refs; }
};

struct PaletteImpl : Palette {
    int refs = 1;
    PALETTEENTRY entries[256];
    void add_ref() { ++refs; }
};

struct SurfaceImpl : Surface {
    int refs = 1;
    int w = 0, h = 0;
    int32_t pitch = 0;
    uint32_t caps_bits = 0;
    std::vector<uint8_t> pixels;
    bool locked = false;
    bool dc_out = false;
    bool keyed = false;
    uint32_t key = 0;
    PaletteImpl* palette = nullptr;
    ClipperImpl* clipper = nullptr;
    SurfaceImpl* back = nullptr;  // the flip chain's back buffer, owned by the primary
    bool is_back = false;

    uint8_t* row(int y) { return pixels.data() + size_t(y) * size_t(pitch); }
    const uint8_t* row(int y) const { return pixels.data() + size_t(y) * size_t(pitch); }
};

struct DisplayImpl : Display {
    int refs = 1;
    Window* window = nullptr;
    bool exclusive = false;
    int mode_w = 0, mode_h = 0, mode_bpp = 0;
};

inline SurfaceImpl* impl(Surface* s) {
    return static_cast<SurfaceImpl*>(s);
}
inline const SurfaceImpl* impl(const Surface* s) {
    return static_cast<const SurfaceImpl*>(s);
}
inline PaletteImpl* impl(Palette* p) {
    return static_cast<PaletteImpl*>(p);
}
inline const PaletteImpl* impl(const Palette* p) {
    return static_cast<const PaletteImpl*>(p);
}
inline ClipperImpl* impl(Clipper* c) {
    return static_cast<ClipperImpl*>(c);
}
inline DisplayImpl* impl(Display* d) {
    return static_cast<DisplayImpl*>(d);
}

// The visible surface (null when there is none) and the palette it is shown through.
SurfaceImpl* display_primary();
const PALETTEENTRY* display_shown_palette();

// A drawing context on a surface, and its end.
DrawContext* draw_context_create(SurfaceImpl* surface);
void draw_context_destroy(DrawContext* dc);

// Releases the presentation's renderer and texture (when the last display goes).
void present_release();
// The embedded font, opened on first use; released with the last display.
void text_release();
