// The control panel (F3): the modal settings dialog and what each setting change does at once.
#pragma once
#include <cstdint>

#include "game/keys.h"  // panel_latch: set while F3 is up, cleared when the panel closes
#include "platform/dialog.h"

// The control panel's dialog resource.
constexpr int PANEL_DIALOG = 172;
// The scroll bars of its settings.
constexpr int PANEL_BUGS_BAR = 1044;
constexpr int PANEL_MISSED_BAR = 1048;
constexpr int PANEL_SPEED_BAR = 1046;
constexpr int PANEL_VOLUME_BAR = 1049;

// The background of the number fields; made on the first colour message of an opening and
// deleted when the dialog has closed.
extern Brush* panel_brush;

// Runs the dialog while F3 is down (help hidden, latch set); afterwards a game whose misses
// have reached the limit starts anew.
void panel_open();
intptr_t panel_dialog_proc(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// White on black for the number fields; the one panel_brush.
Brush* panel_ctl_color(ControlDC* dc);
// Tells the platform what input scripts call the scroll bars: bugs, missed, speed, volume.
void panel_register_script_names();
