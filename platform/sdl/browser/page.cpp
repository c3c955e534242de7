// What the page asks of the running game (web/gnatrix.js and the browser test): the game's
// state as text, the same lines --dump-state writes.
#include <cstdio>
#include <cstdlib>

#include "platform/sdl/internal.h"

// Exported to the page (cmake/browser.cmake); the text stays valid until the next call.
extern "C" const char* gnatrix_state_text() {
    static char* text = nullptr;
    static size_t size = 0;
    free(text);
    text = nullptr;
    FILE* out = open_memstream(&text, &size);
    if (!out) return "";
    if (StateDumper dumper = platform_state_dumper()) dumper(out);
    fclose(out);
    return text ? text : "";
}
