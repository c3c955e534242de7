// The help viewer: lays the help text out on the back surface through its drawing context,
// copies the page to the screen, scrolls it with the arrow keys and restores the screen.
#include "screens/help.h"

#include <cstring>

#include "game/hud.h"
#include "game/state.h"
#include "game/title.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "screens/score.h"

HelpView help_view;

namespace {

constexpr int32_t LINE_HEIGHT = 16;
constexpr int32_t PAGE_FOOT = 432;  // no paragraph starts at or below this row
constexpr RECT PAGE = {50, 35, 590, 445};
constexpr RECT COLUMN = {60, 48, 580, 440};
constexpr uint8_t FRAME_COLOUR = 138;
constexpr uint8_t PAGE_COLOUR = 14;
constexpr COLORREF HINT_COLOUR = 213;
constexpr uint32_t KEY_WAIT_MS = 80;

bool key_down(int vk) {
    return (key_state(vk) & 0x8000) != 0;
}

const char* text_begin(const HelpView& view) {
    return reinterpret_cast<const char*>(view.text_resource.data);
}

const char* text_end(const HelpView& view) {
    return text_begin(view) + view.text_resource.size;
}

// The text ends at a backslash or a NUL, or with its last byte when it has neither.
bool text_ended(const HelpView& view) {
    return view.cursor >= text_end(view) || *view.cursor == '\\' || *view.cursor == '\0';
}

// A missing text shows an empty page.
void load_text(HelpView* view) {
    if (!find_resource("TEXT", view->resource_name, &view->text_resource)) {
        view->text_resource = {nullptr, 0};
    }
}

void begin_page(HelpView* view) {
    view->dc = back_surface ? back_surface->get_dc() : nullptr;
    view->cursor = text_begin(*view);
}

void copy_page() {
    gfx_lock_primary();
    gfx_lock_back();
    if (!primary_buffer || !back_buffer) return;
    const int32_t to_pitch = primary_pitch & ~3, from_pitch = back_pitch & ~3;
    for (int32_t y = PAGE.top; y < PAGE.bottom; ++y) {
        memcpy(primary_buffer + y * to_pitch + PAGE.left, back_buffer + y * from_pitch + PAGE.left,
               PAGE.right - PAGE.left);
    }
}

void end_page(HelpView* view) {
    if (view->dc) back_surface->release_dc(view->dc);
    view->dc = nullptr;
    copy_page();
}

void end_paragraph(HelpView* view, int32_t counter) {
    view->column.top = (view->row + 2) * LINE_HEIGHT;
    view->line_buffer[view->line_length] = '\0';
    if (view->column.top < PAGE_FOOT && counter > view->first_paragraph && view->dc) {
        help_set_paragraph(view->dc, view->line_buffer, view->column, view);
    }
    view->align = ALIGN_JUSTIFIED;
    view->line_length = 0;
}

// Reads the text paragraph by paragraph and sets those after first_paragraph. The opening
// pass reads it all, counting its line ends into paragraph_total; a redraw stops at the foot.
void page_pass(HelpView* view, bool opening) {
    view->column = COLUMN;
    view->row = 1;
    view->first_pending = 1;
    view->line_index = 0;
    view->line_length = 0;
    view->align = ALIGN_JUSTIFIED;
    if (opening) view->skip_lines = 0;
    int32_t* counter = opening ? &view->paragraph_total : &view->paragraph_index;
    *counter = 0;
    while (!text_ended(*view) && (opening || view->row * LINE_HEIGHT < PAGE_FOOT)) {
        if (*view->cursor == '^') {
            view->align = ALIGN_CENTRED;
            ++view->cursor;
            if (text_ended(*view)) break;
        }
        if (*view->cursor == '\n') {
            end_paragraph(view, *counter);
            ++*counter;
        } else if (view->line_length < HELP_LINE_BYTES - 1) {
            view->line_buffer[view->line_length++] = *view->cursor;
        }
        ++view->cursor;
    }
}

// One line of a paragraph: [start, end) is drawn, next is where the reading stood after it.
struct Line {
    const char* start;
    const char* end;
    const char* next;
    int32_t blanks;
};

int32_t count_blanks(const char* from, const char* to) {
    int32_t n = 0;
    for (; from < to; ++from) n += *from == ' ';
    return n;
}

int32_t measure(DrawContext* dc, const char* from, const char* to, int32_t* height) {
    int width = 0, h = 0;
    dc->text_extent(from, int(to - from), &width, &h);
    if (height) *height = h;
    return width;
}

// Takes words until the run reaches the width; a word that does not fit goes to the next
// line, unless the line would hold no blank: then it stays and the line overruns.
Line break_line(DrawContext* dc, const char* at, const char* end, int32_t width) {
    while (at < end && *at == ' ') ++at;
    Line line{at, at, at, 0};
    for (;;) {
        line.end = at;
        while (at < end && *at++ != ' ') {
        }
        if (at == end || measure(dc, line.start, at - 1, nullptr) >= width) break;
    }
    while (line.end > line.start && line.end[-1] == ' ') --line.end;
    line.blanks = count_blanks(line.start, line.end);
    if (at == end || line.blanks == 0) line.end = at;
    line.next = at;
    return line;
}

// A last line that is too wide ends instead at the last blank where it fits; null if none.
const char* fit_last_line(DrawContext* dc, const char* start, const char* end, int32_t width) {
    for (const char* at = end - 1; at > start; --at) {
        if (*at == ' ' && measure(dc, start, at, nullptr) <= width) return at;
    }
    return nullptr;
}

// Draws a line, or skips it while it is scrolled off the top of the first shown paragraph,
// and moves the scroll position on once only that paragraph's last line is left.
void put_line(HelpView* view, int32_t x, int32_t* y, int32_t height, const Line& line, bool last) {
    int length = int(line.end - line.start);
    // The last line's line end is measured with it but not drawn.
    if (last && length > 0 && line.end[-1] == '\r') --length;
    if (!view->first_pending || view->line_index >= view->skip_lines) {
        view->dc->text_out(x, *y, line.start, length);
        view->row += 1;
        *y += height;
    }
    view->dc->set_text_justification(0, 0);
    if (!view->first_pending) return;
    if (last) {
        if (view->line_index == view->skip_lines && view->scrolling_down == 1) {
            view->first_paragraph += 1;
            if (view->first_paragraph > view->paragraph_total) {
                view->skip_lines -= 1;
                view->first_paragraph = view->paragraph_total;
            } else {
                view->skip_lines = -1;
            }
        }
        view->first_pending = 0;
    }
    view->line_index += 1;
}

}  // namespace

void help_set_paragraph(DrawContext* dc, const char* text, const RECT& column, HelpView* view) {
    const int32_t width = column.right - column.left;
    const char* end = text + strlen(text);
    const char* at = text;
    int32_t y = column.top, height = 0;
    do {
        Line line = break_line(dc, at, end, width);
        at = line.next;
        int32_t x = column.left;
        for (;;) {
            const int32_t w = measure(dc, line.start, line.end, &height);
            if (view->align == ALIGN_CENTRED) x = (column.left + column.right - w) / 2;
            if (view->align == ALIGN_JUSTIFIED && at != end && line.blanks > 0) {
                dc->set_text_justification(width - w, line.blanks);
            }
            if (line.end != end || w <= width || count_blanks(line.start, line.end) == 0) break;
            const char* fit = fit_last_line(dc, line.start, end, width);
            if (!fit) break;
            at = line.end = fit;
            line.blanks = count_blanks(line.start, fit);
        }
        put_line(view, x, &y, height, line, line.end == end);
        at = line.end;
    } while (at != end && y < column.bottom - height);
}

void help_open() {
    if (help_shown == 1) {
        clock_sleep(KEY_WAIT_MS);
        return;
    }
    help_shown = 1;
    paused = 1;
    platform_feedback(FEEDBACK_HELP_SHOWN);
    gfx_unlock_back();
    gfx_unlock_primary();
    gfx_fill_surface(primary_surface, 0, nullptr);
    gfx_fill_rect(40, 25, 600, 455, FRAME_COLOUR, primary_surface);
    gfx_fill_rect(PAGE.left, PAGE.top, PAGE.right, PAGE.bottom, PAGE_COLOUR, back_surface);
    txt_draw("Use the arrow keys to scroll up or down", 190, 460, HINT_COLOUR, primary_surface,
             nullptr);
    help_view.resource_name = "GX11HELP";
    // The window shows nothing but the screen, so no background brush is made in this colour.
    help_view.brush_colour = RGB(14, 14, 14);
    help_view.first_paragraph = 0;
    load_text(&help_view);
    begin_page(&help_view);
    page_pass(&help_view, true);
    help_view.paragraph_total -= 2;
    help_view.skip_lines = -1;
    end_page(&help_view);
    clock_sleep(KEY_WAIT_MS);
}

void help_redraw(HelpView* view) {
    gfx_unlock_primary();
    gfx_unlock_back();
    gfx_fill_rect(PAGE.left, PAGE.top, PAGE.right, PAGE.bottom, PAGE_COLOUR, back_surface);
    begin_page(view);
    page_pass(view, false);
    end_page(view);
}

void help_scroll() {
    HelpView& view = help_view;
    if (key_down(VK_DOWN)) {
        if (view.scrolling_down == 0) {
            view.first_paragraph += 1;
            view.skip_lines = -1;
        }
        view.scrolling_down = 1;
        view.skip_lines += 1;
        if (view.first_paragraph < view.paragraph_total) help_redraw(&view);
        clock_sleep(KEY_WAIT_MS);
    } else if (key_down(VK_UP)) {
        if (view.scrolling_down == 1) {
            view.first_paragraph -= 1;
            view.skip_lines = 0;
        }
        view.scrolling_down = 0;
        view.skip_lines -= 1;
        if (view.skip_lines < 0) view.first_paragraph -= 1;
        // Past the top the page still shows the top (the same pixels again), not the page that
        // one Down left: the first paragraph stays within reach.
        if (view.first_paragraph < 0) view.first_paragraph = 0;
        help_redraw(&view);
        clock_sleep(KEY_WAIT_MS);
    }
}

void help_close() {
    gfx_unlock_primary();
    gfx_unlock_back();
    if (game_state == STATE_TITLE) game_draw_backdrop();
    if (game_state == STATE_PLAY) {
        gfx_fill_surface(primary_surface, 0, nullptr);
        gfx_fill_rect(0, STATUS_BAR_TOP, SCREEN_COLUMNS, SCREEN_ROWS, COLOUR_STATUS_BAR,
                      primary_surface);
        // One row higher than the start of a game draws them.
        game_draw_value(score, SCORE_X, NUMBER_Y - 1);
        game_draw_value(missed_count, MISSED_X, NUMBER_Y - 1);
        // A finished game shows its table until F2, and no frame of play follows to redraw it.
        if (missed_count >= missed_limit) {
            gfx_unlock_primary();
            score_show();
        }
    }
    help_shown = 0;
    platform_feedback(FEEDBACK_HELP_CLOSED);
    if (missed_count < missed_limit) paused = 0;
}
