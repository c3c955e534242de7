// TEMPORARY: the control panel does nothing yet; it keeps its latch's behaviour (it acts once
// per press, only while help is hidden). Removed when it lands.
#include "game/screens_pending.h"

#include "game/keys.h"
#include "game/state.h"

void panel_open() {
    if (help_shown == 0 && panel_latch == 1) panel_latch = 0;
}
