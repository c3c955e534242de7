// Drawing contexts: text on a surface in the embedded DejaVu Sans, rendered without
// antialiasing so that every glyph pixel is one palette index.
#include <SDL_ttf.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/platform.h"
#include "platform/portable/display_objects.h"
#include "platform/resources.h"

namespace {

constexpr int LINE_HEIGHT = 16;
TTF_Font* g_font = nullptr;
bool g_font_tried = false;
bool g_ttf_started = false;

TTF_Font* open_font_at(const ResourceData& data, int size) {
    SDL_RWops* rw = SDL_RWFromConstMem(data.data, int(data.size));
    return rw ? TTF_OpenFontRW(rw, 1, size) : nullptr;
}

// The embedded font at the size whose line height is 16 pixels (13 points for DejaVu Sans).
TTF_Font* font() {
    if (g_font || g_font_tried) return g_font;
    g_font_tried = true;
    // Our own reference keeps the font renderer up for as long as the font is open, whoever
    // else starts and stops it.
    if (TTF_Init() != 0) {
        platform_set_error(std::string("cannot start the font renderer: ") + TTF_GetError());
        return nullptr;
    }
    g_ttf_started = true;
    ResourceData data{};
    if (!find_resource("FONT", "DEJAVU_SANS", &data)) {
        platform_set_error("the font resource DEJAVU_SANS is missing");
        return nullptr;
    }
    for (int size = 13; size >= 8 && !g_font; --size) {
        TTF_Font* f = open_font_at(data, size);
        if (f && TTF_FontLineSkip(f) <= LINE_HEIGHT) {
            g_font = f;
        } else if (f) {
            TTF_CloseFont(f);
        }
    }
    if (g_font) TTF_SetFontHinting(g_font, TTF_HINTING_MONO);
    return g_font;
}

int text_width(const std::string& s) {
    int w = 0, h = 0;
    if (s.empty() || !font() || TTF_SizeText(font(), s.c_str(), &w, &h) != 0) return 0;
    return w;
}

// The entry of the palette closest to a 0x00BBGGRR colour; the first of equals wins.
uint8_t nearest_index(const PALETTEENTRY* palette, COLORREF colour) {
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (!palette) return colour == 0 ? 0 : 255;
    int best = 0, best_distance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        const int dr = palette[i].peRed - r, dg = palette[i].peGreen - g,
                  db = palette[i].peBlue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return uint8_t(best);
}

struct DrawContextImpl : DrawContext {
    SurfaceImpl* surface = nullptr;
    // A new context starts as the system's does: black text on an opaque white background.
    COLORREF text = 0;
    COLORREF background = 0xFFFFFF;
    int mode = OPAQUE;
    int extra = 0, breaks = 0;

    const PALETTEENTRY* palette() const {
        return surface->palette ? surface->palette->entries : display_shown_palette();
    }
    // Pixels added after the n-th blank (from 0) by the justification in effect: the extra
    // width spread as evenly as possible, earlier blanks taking the remainder.
    int blank_extra(int n) const {
        if (breaks <= 0) return 0;
        return extra / breaks + (n < extra % breaks ? 1 : 0);
    }
    int justified_width(const std::string& s) const {
        int w = text_width(s), n = 0;
        for (char c : s) {
            if (c == ' ') w += blank_extra(n++);
        }
        return w;
    }
    void fill_clipped(int x, int y, int w, int h, uint8_t index);
    void draw_run(int x, int y, const std::string& run, uint8_t index);
};

DrawContextImpl* impl(DrawContext* dc) {
    return static_cast<DrawContextImpl*>(dc);
}

void DrawContextImpl::fill_clipped(int x, int y, int w, int h, uint8_t index) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, surface->w);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, surface->h);
    for (int row = y0; row < y1; ++row) {
        std::fill(surface->row(row) + x0, surface->row(row) + std::max(x0, x1), index);
    }
}

// Renders one run of text (no justification inside it) with its top-left corner at (x, y).
void DrawContextImpl::draw_run(int x, int y, const std::string& run, uint8_t index) {
    if (run.find_first_not_of(' ') == std::string::npos) return;
    SDL_Surface* glyphs = TTF_RenderText_Solid(font(), run.c_str(), SDL_Color{255, 255, 255, 255});
    if (!glyphs) return;
    const int rows = std::min(glyphs->h, LINE_HEIGHT);
    for (int gy = 0; gy < rows; ++gy) {
        const int sy = y + gy;
        if (sy < 0 || sy >= surface->h) continue;
        const auto* src = static_cast<const uint8_t*>(glyphs->pixels) + gy * glyphs->pitch;
        uint8_t* out = surface->row(sy);
        for (int gx = 0; gx < glyphs->w; ++gx) {
            const int sx = x + gx;
            if (src[gx] && sx >= 0 && sx < surface->w) out[sx] = index;
        }
    }
    SDL_FreeSurface(glyphs);
}

}  // namespace

DrawContext* draw_context_create(SurfaceImpl* surface) {
    auto* dc = new DrawContextImpl;
    dc->surface = surface;
    return dc;
}

void draw_context_destroy(DrawContext* dc) {
    delete impl(dc);
}

void text_release() {
    if (g_font) TTF_CloseFont(g_font);
    g_font = nullptr;
    g_font_tried = false;
    if (g_ttf_started) TTF_Quit();
    g_ttf_started = false;
}

void DrawContext::select_default_font() {}
void DrawContext::set_text_color(COLORREF colour) {
    impl(this)->text = colour;
}
void DrawContext::set_bk_color(COLORREF colour) {
    impl(this)->background = colour;
}
void DrawContext::set_bk_mode(int mode) {
    if (mode == TRANSPARENT || mode == OPAQUE) impl(this)->mode = mode;
}

void DrawContext::set_text_justification(int extra, int breaks) {
    impl(this)->extra = breaks > 0 ? extra : 0;
    impl(this)->breaks = std::max(breaks, 0);
}

bool DrawContext::text_extent(const char* text, int len, int* width, int* height) {
    if (!text || len < 0 || !font()) return false;
    const std::string s(text, size_t(len));
    if (width) *width = impl(this)->justified_width(s);
    if (height) *height = LINE_HEIGHT;
    return true;
}

bool DrawContext::text_out(int x, int y, const char* text, int len) {
    DrawContextImpl* dc = impl(this);
    if (!text || len < 0 || !font()) return false;
    const std::string s(text, size_t(len));
    if (dc->mode == OPAQUE) {
        dc->fill_clipped(x, y, dc->justified_width(s), LINE_HEIGHT,
                         nearest_index(dc->palette(), dc->background));
    }
    const uint8_t index = nearest_index(dc->palette(), dc->text);
    if (dc->breaks == 0) {
        dc->draw_run(x, y, s, index);
        return true;
    }
    // Justified: each word goes where the unjustified layout puts it, shifted by the extra
    // pixels of the blanks before it.
    size_t start = 0;
    int shift = 0, blanks = 0;
    while (start < s.size()) {
        const size_t blank = s.find(' ', start);
        const size_t end = blank == std::string::npos ? s.size() : blank + 1;
        dc->draw_run(x + text_width(s.substr(0, start)) + shift, y, s.substr(start, end - start),
                     index);
        if (blank != std::string::npos) shift += dc->blank_extra(blanks++);
        start = end;
    }
    return true;
}
