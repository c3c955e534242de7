// The dialog manager: templates, dialogs and their controls, brushes, and the modal loop that
// feeds the dialog procedure from the player (live) or from the script being played.
#include "platform/dialog.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/portable/dialog_view.h"
#include "platform/portable/shared.h"
#include "platform/resources.h"
#include "platform/script.h"
#include "platform/window.h"

class Brush {
  public:
    COLORREF colour;
};

struct DialogControl {
    DialogControlTemplate tmpl;
    std::string text;
    ControlDC colors;
    bool custom_colors = false;  // the procedure answered the colour message
};

class Dialog {
  public:
    DialogTemplate tmpl;
    DialogProc proc = nullptr;
    std::vector<std::unique_ptr<DialogControl>> controls;
    bool ended = false;
    intptr_t result = 0;
};

namespace {

std::set<Brush*> brushes;
std::vector<Dialog*> open_dialogs;

// ---- Template text ----

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits a line into words; a word in double quotes may hold blanks, \" and \\.
bool split_line(const std::string& line, std::vector<std::string>* words, std::vector<bool>* quoted,
                std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        if (is_blank(line[i])) {
            ++i;
            continue;
        }
        std::string word;
        bool is_quoted = line[i] == '"';
        if (is_quoted) {
            for (++i;; ++i) {
                if (i >= line.size()) {
                    *error = "text without its closing quote";
                    return false;
                }
                if (line[i] == '"') break;
                if (line[i] == '\\') {
                    if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\')) {
                        *error = "only \\\" and \\\\ may follow a backslash in a text";
                        return false;
                    }
                    ++i;
                }
                word += line[i];
            }
            ++i;
            if (i < line.size() && !is_blank(line[i])) {
                *error = "a blank must follow a closing quote";
                return false;
            }
        } else {
            while (i < line.size() && !is_blank(line[i])) word += line[i++];
        }
        words->push_back(word);
        quoted->push_back(is_quoted);
    }
    return true;
}

bool parse_int(const std::string& word, int min, int max, int* value) {
    int64_t number = 0;
    if (!platform_parse_number(word, min, max, &number)) return false;
    *value = int(number);
    return true;
}

bool parse_kind(const std::string& word, ControlKind* kind) {
    static const std::pair<const char*, ControlKind> KINDS[] = {
        {"button", ControlKind::Button},
        {"edit", ControlKind::Edit},
        {"static", ControlKind::Static},
        {"scrollbar", ControlKind::ScrollBar}};
    for (const auto& [name, k] : KINDS) {
        if (word == name) {
            *kind = k;
            return true;
        }
    }
    return false;
}

bool parse_flags(const std::string& word, uint32_t* flags, std::string* error) {
    static const std::pair<const char*, uint32_t> FLAGS[] = {
        {"default", CONTROL_DEFAULT}, {"readonly", CONTROL_READONLY},
        {"digits", CONTROL_DIGITS},   {"border", CONTROL_BORDER},
        {"tabstop", CONTROL_TABSTOP}, {"vertical", CONTROL_VERTICAL},
        {"left", CONTROL_LEFT}};
    *flags = 0;
    if (word == "-") return true;
    size_t start = 0;
    while (start <= word.size()) {
        size_t bar = std::min(word.find('|', start), word.size());
        std::string name = word.substr(start, bar - start);
        auto found = std::find_if(std::begin(FLAGS), std::end(FLAGS),
                                  [&](const auto& f) { return name == f.first; });
        if (found == std::end(FLAGS)) {
            *error = "unknown control flag '" + name + "'";
            return false;
        }
        *flags |= found->second;
        start = bar + 1;
    }
    return true;
}

constexpr int MAX_UNITS = 4096;

// "control ID KIND X Y W H FLAGS TEXT"; empty result on success.
std::string parse_control(const std::vector<std::string>& w, const std::vector<bool>& quoted,
                          const DialogTemplate& dialog, DialogControlTemplate* c) {
    if (w.size() != 9 || !quoted[8]) return "expected: control ID KIND X Y W H FLAGS \"TEXT\"";
    if (!parse_int(w[1], -1, 65535, &c->id) || c->id == 0) {
        return "the control id must be -1 or 1 to 65535";
    }
    if (!parse_kind(w[2], &c->kind)) return "unknown control kind '" + w[2] + "'";
    if (!parse_int(w[3], 0, MAX_UNITS, &c->x) || !parse_int(w[4], 0, MAX_UNITS, &c->y) ||
        !parse_int(w[5], 1, MAX_UNITS, &c->width) || !parse_int(w[6], 1, MAX_UNITS, &c->height)) {
        return "the position and size must be whole dialog units (sizes at least 1)";
    }
    std::string error;
    if (!parse_flags(w[7], &c->flags, &error)) return error;
    c->text = w[8];
    if (dialog.width == 0) return "the size must come before the controls";
    if (c->x + c->width > dialog.width || c->y + c->height > dialog.height) {
        return "the control lies outside the dialog";
    }
    for (const DialogControlTemplate& other : dialog.controls) {
        if (c->id != -1 && other.id == c->id) return "control id " + w[1] + " is used twice";
    }
    return "";
}

// One line of the template; empty result on success.
std::string parse_line(const std::vector<std::string>& w, const std::vector<bool>& quoted,
                       DialogTemplate* t, std::set<std::string>* seen) {
    const std::string& key = w[0];
    if (key != "control" && key != "style" && !seen->insert(key).second) {
        return "'" + key + "' is given twice";
    }
    if (key == "dialog") {
        if (w.size() != 2 || !parse_int(w[1], 1, 65535, &t->id)) return "expected: dialog ID";
    } else if (key == "size") {
        if (w.size() != 3 || !parse_int(w[1], 1, MAX_UNITS, &t->width) ||
            !parse_int(w[2], 1, MAX_UNITS, &t->height)) {
            return "expected: size WIDTH HEIGHT";
        }
    } else if (key == "title") {
        if (w.size() != 2 || !quoted[1]) return "expected: title \"TEXT\"";
        t->title = w[1];
    } else if (key == "font") {
        if (w.size() != 3 || !parse_int(w[1], 1, 72, &t->font_points) || !quoted[2]) {
            return "expected: font POINTS \"FACE\"";
        }
        t->font_face = w[2];
    } else if (key == "style") {
        t->styles.insert(t->styles.end(), w.begin() + 1, w.end());
    } else if (key == "control") {
        DialogControlTemplate control;
        std::string wrong = parse_control(w, quoted, *t, &control);
        if (!wrong.empty()) return wrong;
        t->controls.push_back(control);
    } else {
        return "unknown item '" + key + "' (dialog, size, title, font, style or control)";
    }
    return "";
}

// ---- Dialogs ----

DialogControl* find_control(const Dialog* dialog, int id) {
    if (!dialog) return nullptr;
    for (const auto& control : dialog->controls)
        if (control->tmpl.id == id && id != -1) return control.get();
    return nullptr;
}

bool is_open(const Dialog* dialog) {
    return dialog &&
           std::find(open_dialogs.begin(), open_dialogs.end(), dialog) != open_dialogs.end();
}

// Asks the procedure for each field's colours, as the system does whenever it paints them.
void refresh_colors(Dialog* dialog) {
    for (const auto& control : dialog->controls) {
        if (control->tmpl.kind != ControlKind::Edit) continue;
        ControlDC dc;
        intptr_t answer = dialog->proc(dialog, WM_CTLCOLOREDIT, reinterpret_cast<uintptr_t>(&dc),
                                       reinterpret_cast<intptr_t>(control.get()));
        Brush* brush = reinterpret_cast<Brush*>(answer);
        control->custom_colors = brushes.count(brush) != 0;
        control->colors = ControlDC();
        if (control->custom_colors) {
            control->colors.set_text_color(dc.text_color());
            control->colors.set_bk_color(brush->colour);
        }
    }
}

// A script's panel item as the message its control would send.
void send_panel_item(Dialog* dialog, const PanelItem& item) {
    if (item.control == IDOK) {
        dialog_send(dialog, WM_COMMAND, IDOK, dialog_item(dialog, IDOK));
        return;
    }
    dialog_send(dialog, WM_VSCROLL, item.up ? SB_LINEUP : SB_LINEDOWN,
                dialog_item(dialog, item.control));
}

// The script has nothing more for the dialog (an error, already reported): close as OK would.
void close_for_script(Dialog* dialog) {
    if (!script_playing()) {
        // Nothing could ever answer it: say so and end the run rather than wait forever.
        platform_set_error("DIALOG " + std::to_string(dialog->tmpl.id) +
                           ": a dialog needs a window or a script to answer it");
        fprintf(stderr, "gnatrix: %s\n", platform_error());
        post_close_request();
    }
    dialog_send(dialog, WM_COMMAND, IDOK, dialog_item(dialog, IDOK));
    if (!dialog->ended) end_dialog(dialog, -1);
}

// What the player did in the live dialog, as the message its control sends; recorded when
// a recording is made.
void send_action(Dialog* dialog, const DialogAction& action) {
    if (action.kind == DialogActionKind::Command) {
        if (action.id == IDOK) script_record_panel_item(PanelItem{IDOK, false});
        dialog_send(dialog, WM_COMMAND, uintptr_t(action.id), dialog_item(dialog, action.id));
    } else if (action.kind == DialogActionKind::Scroll) {
        script_record_panel_item(PanelItem{action.id, action.code == SB_LINEUP});
        dialog_send(dialog, WM_VSCROLL, uintptr_t(action.code), dialog_item(dialog, action.id));
    }
}

// Shown in a window, a replayed item stays long enough to be seen.
constexpr uint32_t REPLAY_ITEM_MS = 250;
constexpr uint32_t VIEW_FRAME_MS = 15;

void run_modal(Dialog* dialog) {
    const bool scripted = script_playing() || !platform_windowed();
    DialogView* view = dialog_view_open(dialog);
    uint32_t next_item = clock_ticks() + REPLAY_ITEM_MS;
    while (!dialog->ended) {
        DialogAction action = view ? dialog_view_frame(view) : DialogAction{};
        if (action.kind == DialogActionKind::CloseRequest) {
            // The close request stays queued for the game's window.
            end_dialog(dialog, 0);
        } else if (!scripted) {
            send_action(dialog, action);
            clock_sleep(VIEW_FRAME_MS);
        } else if (view && int32_t(clock_ticks() - next_item) < 0) {
            clock_sleep(VIEW_FRAME_MS);
        } else {
            next_item = clock_ticks() + REPLAY_ITEM_MS;
            PanelItem item;
            if (script_next_panel_item(&item)) {
                send_panel_item(dialog, item);
            } else {
                close_for_script(dialog);
            }
        }
    }
    if (view) dialog_view_close(view);
    input_forget_presses();
}

intptr_t run_resource(const std::string& name, DialogProc proc) {
    ResourceData data;
    std::string error;
    Dialog* dialog = nullptr;
    if (!find_resource("DIALOG", name.c_str(), &data)) {
        error = "there is no such resource";
    } else {
        std::string text(reinterpret_cast<const char*>(data.data), data.size);
        dialog = dialog_create(text, proc, &error);
    }
    if (!dialog) {
        platform_set_error("DIALOG " + name + ": " + error);
        fprintf(stderr, "gnatrix: %s\n", platform_error());
        return -1;
    }
    run_modal(dialog);
    intptr_t result = dialog->result;
    dialog_destroy(dialog);
    return result;
}

}  // namespace

bool dialog_parse_template(const char* text, size_t size, DialogTemplate* out, std::string* error) {
    DialogTemplate t;
    std::set<std::string> seen;
    const std::string all(text ? text : "", text ? size : 0);
    int line_number = 0;
    for (size_t start = 0; start < all.size();) {
        size_t end = std::min(all.find('\n', start), all.size());
        std::string line = all.substr(start, end - start);
        start = end + 1;
        ++line_number;
        std::vector<std::string> words;
        std::vector<bool> quoted;
        std::string wrong;
        if (line.find('\0') != std::string::npos) {
            wrong = "the template is not text";
        } else if (!split_line(line, &words, &quoted, &wrong) || words.empty()) {
            // a blank line, or what split_line found wrong
        } else if (quoted[0]) {
            wrong = "a line must start with an item name";
        } else if (words[0][0] != '#') {
            wrong = parse_line(words, quoted, &t, &seen);
        }
        if (!wrong.empty()) {
            *error = "line " + std::to_string(line_number) + ": " + wrong;
            return false;
        }
    }
    for (const char* needed : {"dialog", "size", "title"}) {
        if (!seen.count(needed)) {
            *error = std::string("the template has no '") + needed + "' line";
            return false;
        }
    }
    if (t.controls.empty()) {
        *error = "the template has no controls";
        return false;
    }
    *out = t;
    return true;
}

Brush* create_solid_brush(COLORREF colour) {
    Brush* brush = new Brush{colour};
    brushes.insert(brush);
    return brush;
}

bool delete_object(Brush* brush) {
    if (!brushes.erase(brush)) return false;
    delete brush;
    return true;
}

int brush_live_count() {
    return int(brushes.size());
}

intptr_t dialog_box(int resource_number, DialogProc proc, Window*) {
    return run_resource(std::to_string(resource_number), proc);
}

intptr_t dialog_box(const char* resource_name, DialogProc proc, Window*) {
    return run_resource(resource_name ? resource_name : "", proc);
}

bool end_dialog(Dialog* dialog, intptr_t result) {
    if (!is_open(dialog)) return false;
    dialog->ended = true;
    dialog->result = result;
    return true;
}

bool set_dlg_item_int(Dialog* dialog, int id, uint32_t value) {
    DialogControl* control = is_open(dialog) ? find_control(dialog, id) : nullptr;
    if (!control) return false;
    control->text = std::to_string(value);
    return true;
}

int get_dlg_ctrl_id(intptr_t handle) {
    // Only a handle of a live control is ever looked into.
    for (const Dialog* dialog : open_dialogs) {
        for (const auto& control : dialog->controls) {
            if (reinterpret_cast<intptr_t>(control.get()) == handle) return control->tmpl.id;
        }
    }
    return 0;
}

Dialog* dialog_create(const std::string& template_text, DialogProc proc, std::string* error) {
    DialogTemplate t;
    if (!proc) {
        *error = "no dialog procedure";
        return nullptr;
    }
    if (!dialog_parse_template(template_text.data(), template_text.size(), &t, error))
        return nullptr;
    Dialog* dialog = new Dialog;
    dialog->tmpl = t;
    dialog->proc = proc;
    for (const DialogControlTemplate& c : t.controls) {
        auto control = std::make_unique<DialogControl>();
        control->tmpl = c;
        control->text = c.text;
        dialog->controls.push_back(std::move(control));
    }
    open_dialogs.push_back(dialog);
    dialog_send(dialog, WM_INITDIALOG, 0, 0);
    return dialog;
}

intptr_t dialog_send(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!is_open(dialog)) return 0;
    intptr_t answer = dialog->proc(dialog, message, wParam, lParam);
    refresh_colors(dialog);
    return answer;
}

intptr_t dialog_item(Dialog* dialog, int id) {
    return reinterpret_cast<intptr_t>(find_control(dialog, id));
}

std::string dialog_item_text(const Dialog* dialog, int id) {
    const DialogControl* control = find_control(dialog, id);
    return control ? control->text : "";
}

ControlDC dialog_item_colors(const Dialog* dialog, int id) {
    const DialogControl* control = find_control(dialog, id);
    return control ? control->colors : ControlDC();
}

bool dialog_item_has_colors(const Dialog* dialog, int id) {
    const DialogControl* control = find_control(dialog, id);
    return control && control->custom_colors;
}

const DialogTemplate& dialog_template(const Dialog* dialog) {
    return dialog->tmpl;
}

bool dialog_ended(const Dialog* dialog, intptr_t* result) {
    if (dialog->ended && result) *result = dialog->result;
    return dialog->ended;
}

void dialog_destroy(Dialog* dialog) {
    auto at = std::find(open_dialogs.begin(), open_dialogs.end(), dialog);
    if (at == open_dialogs.end()) return;
    open_dialogs.erase(at);
    delete dialog;
}
