// The dialog manager: modal dialogs built from the text templates among the resources, driven
// by a dialog procedure. Live, the dialog is drawn over the frozen game screen and the player
// clicks it; headless or while a script plays, its controls come from the script's panel items.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

class Window;
class Dialog;

constexpr uint32_t WM_INITDIALOG = 0x0110;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_VSCROLL = 0x0115;
constexpr uint32_t WM_CTLCOLOREDIT = 0x0133;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Scroll-bar codes (the low word of WM_VSCROLL's wParam).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_ENDSCROLL = 8;

constexpr intptr_t TRUE = 1;
constexpr intptr_t FALSE = 0;

// WM_COMMAND: wParam's low word is the control id. WM_VSCROLL: wParam's low word the code,
// lParam the scroll bar (get_dlg_ctrl_id gives its id). WM_CTLCOLOREDIT: wParam is the
// field's ControlDC*; a procedure that handles it returns a Brush* for the background.
using DialogProc = intptr_t (*)(Dialog* dialog, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

// ---- Templates ----

enum class ControlKind { Button, Edit, Static, ScrollBar };

constexpr uint32_t CONTROL_DEFAULT = 0x01;
constexpr uint32_t CONTROL_READONLY = 0x02;
constexpr uint32_t CONTROL_DIGITS = 0x04;
constexpr uint32_t CONTROL_BORDER = 0x08;
constexpr uint32_t CONTROL_TABSTOP = 0x10;
constexpr uint32_t CONTROL_VERTICAL = 0x20;
constexpr uint32_t CONTROL_LEFT = 0x40;

struct DialogControlTemplate {
    int id = -1;  // -1: never addressed
    ControlKind kind = ControlKind::Static;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    uint32_t flags = 0;
    std::string text;
};

struct DialogTemplate {
    int id = 0;
    int width = 0, height = 0;  // client area, dialog units
    std::string title;
    int font_points = 8;
    std::string font_face;
    std::vector<std::string> styles;
    std::vector<DialogControlTemplate> controls;  // template order
};

// Parses a template in the text format described at the top of resources/panel.dlg. False
// with "line N: what is wrong" in *error when it is malformed.
bool dialog_parse_template(const char* text, size_t size, DialogTemplate* out, std::string* error);

// ---- Colours of a control ----

// Stands in for a control's device context during its colour message.
class ControlDC {
  public:
    void set_text_color(COLORREF colour) { text_ = colour; }
    void set_bk_color(COLORREF colour) { background_ = colour; }
    COLORREF text_color() const { return text_; }
    COLORREF bk_color() const { return background_; }

  private:
    COLORREF text_ = 0;
    COLORREF background_ = RGB(255, 255, 255);
};

class Brush;
Brush* create_solid_brush(COLORREF colour);
// False for a brush that is not alive.
bool delete_object(Brush* brush);
// How many brushes are alive, so tests can see leaks.
int brush_live_count();

// ---- Running a dialog ----

// Runs the DIALOG resource modally and returns what end_dialog was given; -1 when the
// template is missing or malformed (reported once on standard error) or cannot be shown.
intptr_t dialog_box(int resource_number, DialogProc proc, Window* owner);
intptr_t dialog_box(const char* resource_name, DialogProc proc, Window* owner);

// For the dialog procedure.
bool end_dialog(Dialog* dialog, intptr_t result);
bool set_dlg_item_int(Dialog* dialog, int id, uint32_t value);
// The id of the control a message names; 0 when it is no control of an open dialog.
int get_dlg_ctrl_id(intptr_t control);

// ---- The pieces dialog_box is made of (tests drive a dialog through them) ----

// Builds the dialog and sends WM_INITDIALOG; null with *error when the template is bad.
Dialog* dialog_create(const std::string& template_text, DialogProc proc, std::string* error);
// Sends a message to the dialog's procedure, then refreshes the fields' colours.
intptr_t dialog_send(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The handle of a control (what WM_VSCROLL carries in lParam); 0 when there is none.
intptr_t dialog_item(Dialog* dialog, int id);
std::string dialog_item_text(const Dialog* dialog, int id);
// The colours the procedure gave the field in its last colour message; false when it left
// them to the system.
bool dialog_item_has_colors(const Dialog* dialog, int id);
ControlDC dialog_item_colors(const Dialog* dialog, int id);
const DialogTemplate& dialog_template(const Dialog* dialog);
bool dialog_ended(const Dialog* dialog, intptr_t* result);
void dialog_destroy(Dialog* dialog);
