// The control panel: fills its number fields, steps a setting by one per scroll-bar arrow
// within its limits, and applies the change at once.
#include "screens/panel.h"

#include <iterator>

#include "audio/sound.h"
#include "game/frame.h"
#include "game/state.h"
#include "gfx/display.h"
#include "platform/input.h"
#include "platform/script.h"
#include "platform/window.h"

Brush* panel_brush = nullptr;

namespace {

void restart_game() {
    if (game_state != 0) game_state = STATE_START;
}

void no_action() {}

// During play the speed step raises the level again, so the pace is recomputed at this one.
void repace_game() {
    if (speed_level > 0) speed_level -= 1;
    game_speed_step();
}

void apply_volume() {
    if (game_state != 0) game_apply_volume();
}

struct PanelSetting {
    int32_t* value;
    int field;
    int scroll_bar;
    int32_t lowest, highest;
    void (*action)();
};

const PanelSetting SETTINGS[] = {
    {&bug_count, 1030, PANEL_BUGS_BAR, 1, 10, restart_game},
    {&missed_limit, 1031, PANEL_MISSED_BAR, 1, 99, no_action},
    {&speed_mode, 1032, PANEL_SPEED_BAR, 1, 2, repace_game},
    {&volume, 1034, PANEL_VOLUME_BAR, 0, 10, apply_volume},
};

// "@450 panel bugs up" in an input script; the order is the one its error message lists.
constexpr ScriptControlName SCRIPT_NAMES[] = {{"bugs", PANEL_BUGS_BAR},
                                              {"missed", PANEL_MISSED_BAR},
                                              {"speed", PANEL_SPEED_BAR},
                                              {"volume", PANEL_VOLUME_BAR}};

intptr_t panel_scroll(Dialog* dialog, int code, int scroll_bar) {
    for (const PanelSetting& s : SETTINGS) {
        if (s.scroll_bar != scroll_bar) continue;
        int32_t step = code == SB_LINEUP ? 1 : code == SB_LINEDOWN ? -1 : 0;
        int32_t value = *s.value + step;
        if (value > s.highest) value = s.highest;
        if (value < s.lowest) value = s.lowest;
        *s.value = value;
        set_dlg_item_int(dialog, s.field, uint32_t(value));
        s.action();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void panel_open() {
    if (help_shown != 0 || panel_latch != 1) return;
    gfx_unlock_primary();
    show_cursor(true);
    dialog_box(PANEL_DIALOG, panel_dialog_proc, main_window);
    delete_object(panel_brush);
    panel_brush = nullptr;
    if (missed_count >= missed_limit) {
        paused = 0;
        missed_count = 0;
        game_state = STATE_START;
    }
    show_cursor(false);
    panel_latch = 0;
}

intptr_t panel_dialog_proc(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_INITDIALOG:
            for (const PanelSetting& s : SETTINGS)
                set_dlg_item_int(dialog, s.field, uint32_t(*s.value));
            return TRUE;
        case WM_COMMAND:
            if ((wParam & 0xFFFF) != IDOK) return FALSE;
            paused = 0;
            end_dialog(dialog, 1);
            return TRUE;
        case WM_VSCROLL:
            return panel_scroll(dialog, int(wParam & 0xFFFF), get_dlg_ctrl_id(lParam));
        case WM_CTLCOLOREDIT:
            return reinterpret_cast<intptr_t>(
                panel_ctl_color(reinterpret_cast<ControlDC*>(wParam)));
        default:
            return FALSE;
    }
}

Brush* panel_ctl_color(ControlDC* dc) {
    dc->set_text_color(RGB(255, 255, 255));
    dc->set_bk_color(RGB(0, 0, 0));
    if (!panel_brush) panel_brush = create_solid_brush(RGB(0, 0, 0));
    return panel_brush;
}

void panel_register_script_names() {
    script_set_panel_names(SCRIPT_NAMES, std::size(SCRIPT_NAMES));
}
