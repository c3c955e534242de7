// The help viewer: the help text set in one column, headings centred and body text justified,
// composed on the back surface and copied to the screen; the arrow keys scroll it.
#pragma once
#include <cstdint>

#include "platform/display.h"
#include "platform/resources.h"
#include "platform/types.h"

constexpr int32_t ALIGN_CENTRED = 3;
constexpr int32_t ALIGN_JUSTIFIED = 4;
// A paragraph keeps at most this many characters less one; the rest of it is cut.
constexpr int32_t HELP_LINE_BYTES = 1024;

struct HelpView {
    DrawContext* dc;             // of the back surface while a page is being set
    ResourceData text_resource;  // the help text; it ends at its size at the latest
    RECT column;                 // the text column; top is set before each paragraph
    const char* cursor;          // read position in the text
    const char* resource_name;
    char line_buffer[HELP_LINE_BYTES];  // the paragraph being read
    int32_t first_paragraph;  // scroll position: the paragraph shown first is the one after it
    int32_t paragraph_total;  // line ends in the text less 2
    int32_t row;              // 1 + the lines drawn in this pass
    int32_t paragraph_index;  // the paragraph being read by a redraw
    int32_t align;            // ALIGN_CENTRED or ALIGN_JUSTIFIED
    int32_t line_length;      // characters held in line_buffer
    COLORREF brush_colour;    // the window background's colour while help is open
    int32_t skip_lines;       // lines of the first shown paragraph scrolled off the top
    int32_t line_index;       // line counter inside the first shown paragraph
    int32_t first_pending;    // the first shown paragraph is still being set
    int32_t scrolling_down;   // the last arrow key acted on was Down
};

extern HelpView help_view;

// F1: opens the viewer on the first page, or only waits if it is open.
void help_open();
// Every poll while the viewer is open: Down or Up scroll the page.
void help_scroll();
// Esc while the viewer is open: restores the title picture or the play screen.
void help_close();
// Sets the page again from the scroll position.
void help_redraw(HelpView* view);
// Breaks one paragraph into lines of the column's width, aligns and draws them.
void help_set_paragraph(DrawContext* dc, const char* text, const RECT& column, HelpView* view);
