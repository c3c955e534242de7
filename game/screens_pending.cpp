// TEMPORARY: the help viewer and the control panel do nothing yet; the panel keeps its latch's
// behaviour (it acts once per press, only while help is hidden). Removed when they land.
#include "game/screens_pending.h"

#include "game/keys.h"
#include "game/state.h"

void help_open() {}
void help_scroll() {}
void help_close() {}

void panel_open() {
    if (help_shown == 0 && panel_latch == 1) panel_latch = 0;
}
