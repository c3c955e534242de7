// Rectangle fills, text and frame pacing. Every wait goes through the platform clock, so a
// headless run takes no real time.
#include "gfx/draw.h"

#include <cstring>

#include "gfx/palette.h"
#include "platform/clock.h"

uint32_t frame_start_tick = 0;
DrawContext* text_dc = nullptr;

namespace {

// What a failed drawing-context request reports.
constexpr int DC_UNAVAILABLE = -1;

int draw_text(const char* text, int x, int y, COLORREF colour, Surface* surface, bool select_font) {
    if (!text || !surface) return DC_UNAVAILABLE;
    text_dc = surface->get_dc();
    if (!text_dc) return DC_UNAVAILABLE;
    if (select_font) text_dc->select_default_font();
    text_dc->set_text_color(colour);
    text_dc->set_bk_mode(TRANSPARENT);
    text_dc->text_out(x, y, text, int(std::strlen(text)));
    surface->release_dc(text_dc);
    text_dc = nullptr;
    return 0;
}

}  // namespace

int gfx_fill_rect(int left, int top, int right, int bottom, uint32_t colour, Surface* surface) {
    if (!surface) return 0;
    const RECT rect{left, top, right, bottom};
    surface->fill(&rect, colour);
    return 1;
}

int txt_draw(const char* text, int x, int y, COLORREF colour, Surface* surface, HFONT) {
    return draw_text(text, x, y, colour, surface, true);
}

int txt_draw_index(const char* text, int x, int y, int index, Surface* surface) {
    const PALETTEENTRY& e = work_palette[index & 0xFF];
    return draw_text(text, x, y, RGB(e.peRed, e.peGreen, e.peBlue), surface, false);
}

uint32_t tmr_ticks() {
    return clock_ticks();
}

uint32_t tmr_frame_start() {
    frame_start_tick = tmr_ticks();
    return frame_start_tick;
}

uint32_t tmr_wait(uint32_t ms) {
    return clock_wait(frame_start_tick, ms);
}
