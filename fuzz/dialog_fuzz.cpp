// The dialog template reader on any bytes; a template it accepts is built into a dialog and
// driven by the control panel's procedure with every message a click can send.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "game/state.h"
#include "platform/dialog.h"
#include "screens/panel.h"

namespace {

// What an accepted template promises the dialog runner and the view that lays it out.
bool well_formed(const DialogTemplate& t) {
    if (t.id < 1 || t.id > 65535 || t.width < 1 || t.height < 1 || t.controls.empty()) return false;
    for (size_t i = 0; i < t.controls.size(); ++i) {
        const DialogControlTemplate& c = t.controls[i];
        if (c.id == 0 || c.id < -1 || c.x < 0 || c.y < 0 || c.width < 1 || c.height < 1 ||
            c.x + c.width > t.width || c.y + c.height > t.height) {
            return false;
        }
        for (size_t j = 0; j < i; ++j)
            if (c.id != -1 && t.controls[j].id == c.id) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_start(false);
    const std::string text = fuzz_text(data, size);
    DialogTemplate parsed;
    std::string error;
    if (!dialog_parse_template(text.data(), text.size(), &parsed, &error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (!well_formed(parsed)) __builtin_trap();
    game_reset_state();  // the panel's settings at their defaults, before any game
    Dialog* dialog = dialog_create(text, panel_dialog_proc, &error);
    if (!dialog) __builtin_trap();  // the template was accepted a moment ago
    for (const DialogControlTemplate& c : parsed.controls) {
        const intptr_t item = dialog_item(dialog, c.id);
        for (int code : {SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_ENDSCROLL})
            dialog_send(dialog, WM_VSCROLL, uintptr_t(code), item);
        dialog_send(dialog, WM_COMMAND, uintptr_t(c.id & 0xFFFF), item);
        // A field the procedure writes holds a number in its limits.
        if (c.id == 1034 && dialog_item_text(dialog, c.id) != std::to_string(volume))
            __builtin_trap();
    }
    dialog_send(dialog, WM_COMMAND, IDOK, dialog_item(dialog, IDOK));
    dialog_destroy(dialog);
    delete_object(panel_brush);
    panel_brush = nullptr;
    if (brush_live_count() != 0) __builtin_trap();  // one brush per opening, freed on closing
    game_reset_state();  // the panel's settings at their defaults, before any game
    return 0;
}
