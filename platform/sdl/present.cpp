// Shows the 8-bit primary surface in the window: each palette index becomes a 32-bit pixel
// through a 256-entry table, written straight into the window's pixels (whole multiples, no
// overlay) or into a streaming texture that the renderer scales into a 4:3 letterbox. Also the
// screen snapshot and its BMP dump.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/portable/display_objects.h"
#include "platform/present_convert.h"
#include "platform/sdl/internal.h"
#include "platform/system/system.h"

namespace {

struct Presenter {
    SDL_Window* window = nullptr;
    uint32_t window_id = 0;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_w = 0, texture_h = 0;
    SDL_Rect letterbox{0, 0, 0, 0};
    bool letterbox_known = false;
    bool covers_output = false;
    bool software = false;    // SDL's software renderer, drawing into the window's own pixels
    bool bars_black = false;  // the window's pixels outside the letterbox are black and shown
    // What the last present showed, to skip presents that would change nothing.
    std::vector<uint8_t> shown_pixels;
    PALETTEENTRY shown_palette[256]{};
    bool shown_valid = false;
    uint64_t last_present = 0;
};
Presenter g_present;

// True while the window the renderer was made for still exists.
bool window_alive() {
    return g_present.window && SDL_WasInit(SDL_INIT_VIDEO) &&
           SDL_GetWindowFromID(g_present.window_id) == g_present.window;
}

void destroy_renderer() {
    // A renderer whose window has already gone went with it; touching it would be unsafe.
    if (window_alive()) {
        if (g_present.texture) SDL_DestroyTexture(g_present.texture);
        if (g_present.renderer) SDL_DestroyRenderer(g_present.renderer);
    }
    g_present = Presenter{};
}

// SDL's accelerated renderer, unless it turns out to be OpenGL on a software rasteriser.
SDL_Renderer* create_accelerated_renderer(SDL_Window* window) {
    if (!system_has_gpu()) return nullptr;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) return nullptr;
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    if (info.name && std::strncmp(info.name, "opengl", 6) == 0) {
        using GetString = const unsigned char* (*)(unsigned);
        constexpr unsigned GL_RENDERER_NAME = 0x1F01;
        const auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
        const auto* name = get ? reinterpret_cast<const char*>(get(GL_RENDERER_NAME)) : nullptr;
        if (present_is_software_rasteriser(name)) {
            SDL_DestroyRenderer(renderer);
            return nullptr;
        }
    }
    return renderer;
}

bool ensure_renderer(SDL_Window* window, int w, int h) {
    if (g_present.window != window || !window_alive()) destroy_renderer();
    if (!g_present.renderer) {
        // Without a GPU the software renderer writes straight to the window; with framebuffer
        // acceleration on, SDL would route it through OpenGL at several times the cost.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        g_present.renderer = create_accelerated_renderer(window);
        if (!g_present.renderer) {
            SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
            g_present.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        }
        if (!g_present.renderer) return false;
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(g_present.renderer, &info);
        g_present.software = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
        // Chosen (timed) here rather than in the first frame; GNATRIX_TRACE shows which.
        const std::string converter = present_converter_name(present_converter());
        platform_trace(("converter-" + converter).c_str());
        g_present.window = window;
        g_present.window_id = SDL_GetWindowID(window);
    }
    if (!g_present.texture || g_present.texture_w != w || g_present.texture_h != h) {
        if (g_present.texture) SDL_DestroyTexture(g_present.texture);
        g_present.texture = SDL_CreateTexture(g_present.renderer, SDL_PIXELFORMAT_RGB888,
                                              SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!g_present.texture) return false;
        const bool smooth = platform_options().scale_mode == ScaleMode::Smooth;
        SDL_SetTextureScaleMode(g_present.texture,
                                smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        g_present.texture_w = w;
        g_present.texture_h = h;
        g_present.letterbox_known = false;
        g_present.shown_valid = false;
    }
    return true;
}

// The rows that changed since the last present; first > last when none did.
struct RowBand {
    int first, last;
};

// Which rows differ from what was last shown (all of them after a palette change); remembers
// the surface and palette.
RowBand changed_since_shown(const SurfaceImpl* s, const PALETTEENTRY* palette) {
    const size_t row_bytes = size_t(s->w);
    std::vector<uint8_t>& shown = g_present.shown_pixels;
    const bool everything =
        !g_present.shown_valid || shown.size() != row_bytes * size_t(s->h) ||
        std::memcmp(g_present.shown_palette, palette, sizeof g_present.shown_palette);
    shown.resize(row_bytes * size_t(s->h));
    RowBand band{s->h, -1};
    for (int y = 0; y < s->h; ++y) {
        uint8_t* keep = shown.data() + size_t(y) * row_bytes;
        if (everything || std::memcmp(keep, s->row(y), row_bytes) != 0) {
            std::memcpy(keep, s->row(y), row_bytes);
            band.first = std::min(band.first, y);
            band.last = y;
        }
    }
    std::memcpy(g_present.shown_palette, palette, sizeof g_present.shown_palette);
    g_present.shown_valid = true;
    return band;
}

const PALETTEENTRY* palette_in_effect() {
    static PALETTEENTRY black[256]{};
    const PALETTEENTRY* p = display_shown_palette();
    return p ? p : black;
}

}  // namespace

void present_release() {
    destroy_renderer();
}

void display_window_changed() {
    g_present.letterbox_known = false;
}

namespace {

OverlayDraw g_overlay = nullptr;

bool convert_into_texture(const SurfaceImpl* s) {
    void* texels = nullptr;
    int texture_pitch = 0;
    if (SDL_LockTexture(g_present.texture, nullptr, &texels, &texture_pitch) != 0) return false;
    uint32_t table[256];
    present_build_table(g_present.shown_palette, table);
    present_convert(s->pixels.data(), s->pitch, s->w, s->h, table, static_cast<uint32_t*>(texels),
                    texture_pitch);
    SDL_UnlockTexture(g_present.texture);
    return true;
}

// Without --scale-mode the window's state chooses: whole multiples in a window (crisp), the
// largest 4:3 size full screen.
bool whole_multiples() {
    const ScaleMode mode = platform_options().scale_mode;
    if (mode == ScaleMode::Default)
        return !(SDL_GetWindowFlags(g_present.window) & SDL_WINDOW_FULLSCREEN);
    return mode == ScaleMode::Integer;
}

void update_letterbox(const SurfaceImpl* s) {
    if (g_present.letterbox_known) return;
    int out_w = 0, out_h = 0;
    SDL_GetRendererOutputSize(g_present.renderer, &out_w, &out_h);
    const Letterbox box = present_letterbox(out_w, out_h, s->w, s->h, whole_multiples());
    g_present.letterbox = SDL_Rect{box.x, box.y, box.w, box.h};
    g_present.covers_output = box.w == out_w && box.h == out_h;
    g_present.letterbox_known = true;
    g_present.bars_black = false;
}

// The software renderer draws into the window's own pixels, so at a whole multiple of the
// screen with nothing over it, converting and scaling straight into them skips the texture and
// a copy of the frame. False when this present needs the renderer.
bool present_into_window_pixels(SDL_Window* window, const SurfaceImpl* s, RowBand band,
                                bool force) {
    if (!g_present.software || g_overlay || platform_options().scale_mode == ScaleMode::Smooth)
        return false;
    const SDL_Rect box = g_present.letterbox;
    const int n = box.w / s->w;
    if (n < 1 || box.w != n * s->w || box.h != n * s->h) return false;
    SDL_Surface* out = SDL_GetWindowSurface(window);
    if (!out || out->format->format != SDL_PIXELFORMAT_RGB888 || box.x < 0 || box.y < 0 ||
        box.x + box.w > out->w || box.y + box.h > out->h)
        return false;
    if (SDL_MUSTLOCK(out) && SDL_LockSurface(out) != 0) return false;
    // An exposed window has lost everything, so a forced present sends the whole of it.
    const bool whole_window = force || !g_present.bars_black;
    if (whole_window) band = RowBand{0, s->h - 1};
    if (!g_present.bars_black) SDL_FillRect(out, nullptr, 0);
    uint32_t table[256];
    present_build_table(g_present.shown_palette, table);
    const int top = box.y + band.first * n;
    auto* corner = static_cast<uint8_t*>(out->pixels) + size_t(top) * out->pitch + box.x * 4;
    present_convert_scaled(s->row(band.first), s->pitch, s->w, band.last - band.first + 1, table, n,
                           reinterpret_cast<uint32_t*>(corner), out->pitch);
    if (SDL_MUSTLOCK(out)) SDL_UnlockSurface(out);
    // Only the rows that changed travel to the display.
    const SDL_Rect rows{box.x, top, box.w, (band.last - band.first + 1) * n};
    if (whole_window)
        SDL_UpdateWindowSurface(window);
    else
        SDL_UpdateWindowSurfaceRects(window, &rows, 1);
    g_present.bars_black = true;
    return true;
}

void present_through_renderer(const SurfaceImpl* s) {
    if (!convert_into_texture(s)) return;
    // The bars need clearing only where the screen does not cover the whole output.
    if (!g_present.covers_output) {
        SDL_SetRenderDrawColor(g_present.renderer, 0, 0, 0, 255);
        SDL_RenderClear(g_present.renderer);
    }
    SDL_RenderCopy(g_present.renderer, g_present.texture, nullptr, &g_present.letterbox);
    if (g_overlay) g_overlay(g_present.renderer);
    SDL_RenderPresent(g_present.renderer);
    g_present.bars_black = false;  // the overlay may have drawn anywhere
}

}  // namespace

void display_present(bool force) {
    SDL_Window* window = platform_sdl_window();
    const SurfaceImpl* s = display_primary();
    if (!window || !s) return;
    const uint64_t now = SDL_GetPerformanceCounter();
    const uint64_t min_gap = SDL_GetPerformanceFrequency() / 500;  // 2 ms
    if (!force && g_present.shown_valid && now - g_present.last_present < min_gap) return;
    if (!ensure_renderer(window, s->w, s->h)) return;
    // Looking for changes costs a pass over the screen, so it too waits for the gap.
    g_present.last_present = now;
    RowBand band = changed_since_shown(s, palette_in_effect());
    if (band.first > band.last) {
        if (!force && !g_overlay) return;
        band = RowBand{0, s->h - 1};
    }
    update_letterbox(s);
    if (!present_into_window_pixels(window, s, band, force)) present_through_renderer(s);
    static bool first = true;
    platform_trace(first ? "first-present" : "present");
    first = false;
}

void display_present_gap_elapsed() {
    g_present.last_present = 0;
}

SDL_Renderer* display_renderer() {
    SDL_Window* window = platform_sdl_window();
    const SurfaceImpl* s = display_primary();
    if (!window || !ensure_renderer(window, s ? s->w : 640, s ? s->h : 480)) return nullptr;
    return g_present.renderer;
}

bool display_letterbox(SDL_Rect* box) {
    const SurfaceImpl* s = display_primary();
    if (!s || !display_renderer()) return false;
    update_letterbox(s);
    *box = g_present.letterbox;
    return true;
}

void display_set_overlay(OverlayDraw draw) {
    g_overlay = draw;
    g_present.shown_valid = false;  // what the overlay covered must be drawn again
}

bool display_snapshot(uint8_t* pixels640x480, uint8_t rgb[256][3]) {
    const SurfaceImpl* s = display_primary();
    if (!s) return false;
    const int w = std::min(s->w, 640), h = std::min(s->h, 480);
    std::memset(pixels640x480, 0, 640 * 480);
    for (int y = 0; y < h; ++y) std::memcpy(pixels640x480 + y * 640, s->row(y), size_t(w));
    const PALETTEENTRY* palette = palette_in_effect();
    for (int i = 0; i < 256; ++i) {
        rgb[i][0] = palette[i].peRed;
        rgb[i][1] = palette[i].peGreen;
        rgb[i][2] = palette[i].peBlue;
    }
    return true;
}

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

}  // namespace

bool platform_dump_screen(const char* path) {
    constexpr int W = 640, H = 480, HEADER = 14 + 40 + 1024;
    static uint8_t pixels[W * H];
    uint8_t rgb[256][3];
    if (!path || !display_snapshot(pixels, rgb)) return false;
    uint8_t header[HEADER] = {'B', 'M'};
    put32(header + 2, HEADER + W * H);  // file size
    put32(header + 10, HEADER);         // offset of the pixels
    put32(header + 14, 40);             // info header size
    put32(header + 18, W);
    put32(header + 22, H);  // positive: rows bottom-up
    put16(header + 26, 1);  // planes
    put16(header + 28, 8);  // bits per pixel
    put32(header + 34, W * H);
    put32(header + 38, 2835);  // 72 dpi
    put32(header + 42, 2835);
    put32(header + 46, 256);  // colours used
    for (int i = 0; i < 256; ++i) {
        uint8_t* q = header + 54 + 4 * i;
        q[0] = rgb[i][2];
        q[1] = rgb[i][1];
        q[2] = rgb[i][0];
    }
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(header, 1, HEADER, f) == HEADER;
    for (int y = H - 1; y >= 0 && ok; --y) ok = std::fwrite(pixels + y * W, 1, W, f) == W;
    return std::fclose(f) == 0 && ok;
}
