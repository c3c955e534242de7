// Input scripts: parsing, formatting, and the state of the run being played or recorded.
#include "platform/script.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>

#include "platform/dialog.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "platform/resources.h"
#include "platform/window.h"

namespace {

constexpr const char* HEADER = "gnatrix-input";
constexpr int VERSION = 1;

const ScriptControlName* panel_names = nullptr;
size_t panel_name_count = 0;

// The name of a scroll bar or of OK; null when it has none.
const char* panel_name(int control) {
    if (control == IDOK) return "ok";
    for (size_t i = 0; i < panel_name_count; ++i)
        if (panel_names[i].control == control) return panel_names[i].name;
    return nullptr;
}

// The control a name stands for; false when none has it.
bool panel_control(const std::string& name, int* control) {
    *control = IDOK;
    if (name == "ok") return true;
    for (size_t i = 0; i < panel_name_count; ++i) {
        *control = panel_names[i].control;
        if (name == panel_names[i].name) return true;
    }
    return false;
}

std::string expected_panel_item() {
    std::string names;
    for (size_t i = 0; i < panel_name_count; ++i)
        names += (i ? "|" : "") + std::string(panel_names[i].name);
    return "expected: panel " + names + " up|down, or panel ok";
}

std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line.substr(0, line.find('#')));
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool parse_up_down(const std::string& word, bool* down) {
    if (word != "down" && word != "up") return false;
    *down = word == "down";
    return true;
}

// The words after "@PASS"; empty result on success, otherwise what is wrong.
std::string parse_item(const std::vector<std::string>& w, ScriptItem* item) {
    const std::string& kind = w[1];
    size_t n = w.size();
    if (kind == "key") {
        item->kind = ScriptItemKind::Key;
        if (n != 4) return "expected: key NAME down|up";
        item->vk = key_from_name(w[2].c_str());
        if (item->vk == 0) return "unknown key name '" + w[2] + "'";
        if (!parse_up_down(w[3], &item->down)) return "expected down or up after the key name";
    } else if (kind == "mouse") {
        item->kind = ScriptItemKind::Mouse;
        int64_t dx, dy;
        if (n != 4 || !platform_parse_number(w[2], -1000000, 1000000, &dx) ||
            !platform_parse_number(w[3], -1000000, 1000000, &dy))
            return "expected: mouse DX DY (whole numbers within +-1000000)";
        item->dx = int32_t(dx);
        item->dy = int32_t(dy);
    } else if (kind == "button") {
        item->kind = ScriptItemKind::Button;
        if (n != 3 || !parse_up_down(w[2], &item->down)) return "expected: button down|up";
    } else if (kind == "panel") {
        item->kind = ScriptItemKind::Panel;
        if (n < 3 || !panel_control(w[2], &item->panel.control)) return expected_panel_item();
        if (item->panel.control == IDOK) {
            if (n != 3) return "expected nothing after panel ok";
        } else {
            bool down;
            if (n != 4 || !parse_up_down(w[3], &down))
                return "expected up or down after panel " + w[2];
            item->panel.up = !down;
        }
    } else if (kind == "close") {
        item->kind = ScriptItemKind::Close;
        if (n != 2) return "expected nothing after close";
    } else {
        return "unknown item '" + kind + "' (key, mouse, button, panel or close)";
    }
    return "";
}

// Panel items are taken by the control panel opened in their pass, which closes only with OK:
// so the items of a pass must end with exactly one "panel ok".
std::string check_panel_items(const Script& script, int* line) {
    const ScriptItem* open = nullptr;    // first panel item of the current pass, if not closed
    const ScriptItem* closed = nullptr;  // "panel ok" of the current pass
    for (const ScriptItem& item : script.items) {
        if (item.kind != ScriptItemKind::Panel) continue;
        if (closed && closed->pass == item.pass) {
            *line = item.line;
            return "panel item after panel ok in the same pass (the panel opens once per pass)";
        }
        if (open && open->pass != item.pass) {
            *line = open->line;
            return "panel items of pass " + std::to_string(open->pass) +
                   " do not end with panel ok";
        }
        bool ok = item.panel.control == IDOK;
        if (!open) open = &item;
        if (ok) closed = &item, open = nullptr;
    }
    if (open) {
        *line = open->line;
        return "panel items of pass " + std::to_string(open->pass) + " do not end with panel ok";
    }
    return "";
}

std::string parse_line(const std::vector<std::string>& w, Script* script, uint32_t* last_pass,
                       int line) {
    if (w[0] == "seed") {
        int64_t seed;
        if (script->has_seed) return "a second seed line";
        if (w.size() != 2 || !platform_parse_number(w[1], 0, UINT32_MAX, &seed))
            return "expected: seed N (0 to 4294967295)";
        script->has_seed = true;
        script->seed = uint32_t(seed);
        return "";
    }
    int64_t pass;
    if (w[0][0] != '@' || !platform_parse_number(w[0].substr(1), 0, UINT32_MAX, &pass))
        return "expected @PASS (a pass number), seed or a comment";
    if (w.size() < 2) return "expected an item after " + w[0];
    if (uint32_t(pass) < *last_pass)
        return "pass " + std::to_string(pass) + " comes after pass " + std::to_string(*last_pass);
    ScriptItem item;
    item.pass = *last_pass = uint32_t(pass);
    item.line = line;
    std::string wrong = parse_item(w, &item);
    if (wrong.empty()) script->items.push_back(item);
    return wrong;
}

std::string format_item(const ScriptItem& item) {
    std::string text = "@" + std::to_string(item.pass) + " ";
    switch (item.kind) {
        case ScriptItemKind::Key:
            return text + "key " + key_name(item.vk) + (item.down ? " down" : " up");
        case ScriptItemKind::Mouse:
            return text + "mouse " + std::to_string(item.dx) + " " + std::to_string(item.dy);
        case ScriptItemKind::Button:
            return text + "button " + (item.down ? "down" : "up");
        case ScriptItemKind::Panel:
            text += std::string("panel ") + panel_name(item.panel.control);
            if (item.panel.control == IDOK) return text;
            return text + (item.panel.up ? " up" : " down");
        case ScriptItemKind::Close:
            return text + "close";
    }
    return text;
}

// The run: the script being played and the one being recorded.
struct Run {
    bool playing = false, recording = false;
    std::string play_file, record_file;
    Script play;
    size_t next = 0;  // first item of play not taken yet
    std::deque<ScriptItem> panel_queue;
    uint32_t panel_pass = 0;  // the pass whose panel items are queued
    bool closed = false;      // a close request has been given out ...
    uint32_t close_pass = 0;  // ... in this pass
    Script record;
    std::string error;
    uint32_t pass = 0;  // the current pass
};
Run run;

}  // namespace

bool script_parse(const std::string& text, const std::string& file_name, Script* script,
                  std::string* error) {
    *script = Script();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    uint32_t last_pass = 0;
    auto fail = [&](int at, const std::string& what) {
        *error = file_name + ":" + std::to_string(at) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> words = split_words(line);
        if (number == 1) {
            if (words.size() != 2 || words[0] != HEADER)
                return fail(1, "not an input script (the first line must be 'gnatrix-input 1')");
            if (words[1] != std::to_string(VERSION))
                return fail(1, "input script version " + words[1] +
                                   " is not supported (this game reads version 1)");
            continue;
        }
        if (words.empty()) continue;
        std::string wrong = parse_line(words, script, &last_pass, number);
        if (!wrong.empty()) return fail(number, wrong);
    }
    if (number == 0) return fail(1, "empty file (the first line must be 'gnatrix-input 1')");
    int at = 0;
    std::string wrong = check_panel_items(*script, &at);
    if (!wrong.empty()) return fail(at, wrong);
    return true;
}

bool script_load(const std::string& path, Script* script, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot open the input script";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return script_parse(text.str(), path, script, error);
}

bool platform_parse_number(const std::string& word, int64_t min, int64_t max, int64_t* value) {
    if (word.empty() || word.size() > 12) return false;
    size_t digits = (word[0] == '-') ? 1 : 0;
    if (digits == word.size()) return false;
    for (size_t i = digits; i < word.size(); ++i)
        if (word[i] < '0' || word[i] > '9') return false;
    *value = std::strtoll(word.c_str(), nullptr, 10);
    return *value >= min && *value <= max;
}

std::string script_format(const Script& script) {
    std::string text = std::string(HEADER) + " " + std::to_string(VERSION) + "\n";
    if (script.has_seed) text += "seed " + std::to_string(script.seed) + "\n";
    for (const ScriptItem& item : script.items) text += format_item(item) + "\n";
    return text;
}

bool script_start(const std::string& play_file, const std::string& record_file, bool seed_given,
                  uint32_t seed, std::string* error, bool play_demo) {
    script_reset();
    if (!play_file.empty()) {
        if (!script_load(play_file, &run.play, error)) return false;
        run.playing = true;
        run.play_file = play_file;
    } else if (play_demo) {
        ResourceData demo;
        run.play_file = "the built-in demo";
        if (!find_resource("DEMO", "DEFAULT", &demo)) {
            *error = run.play_file + " is missing from this build";
            return false;
        }
        const std::string text(reinterpret_cast<const char*>(demo.data), demo.size);
        if (!script_parse(text, run.play_file, &run.play, error)) return false;
        run.playing = true;
    }
    if (!record_file.empty()) {
        // Fail now rather than lose a whole game at the end.
        std::ofstream out(record_file, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = record_file + ": cannot write the recording";
            return false;
        }
        run.recording = true;
        run.record_file = record_file;
    }
    if (seed_given || run.play.has_seed) {
        run.record.has_seed = true;
        run.record.seed = seed_given ? seed : run.play.seed;
        random_fix_seed(true, run.record.seed);
    }
    return true;
}

bool script_playing() {
    return run.playing;
}
bool script_recording() {
    return run.recording;
}

std::vector<ScriptItem> script_begin_pass(uint32_t pass) {
    run.pass = pass;
    std::vector<ScriptItem> items;
    if (!run.panel_queue.empty() && run.panel_pass < pass) {
        // Not an error of its own: the replay has already gone its own way if this happens,
        // unless a close request in the panel's pass ended the game before it could open.
        if (!run.closed || run.close_pass != run.panel_pass)
            std::fprintf(stderr,
                         "%s:%d: the control panel did not open in pass %" PRIu32
                         "; its items are skipped\n",
                         run.play_file.c_str(), run.panel_queue.front().line, run.panel_pass);
        run.panel_queue.clear();
    }
    for (; run.next < run.play.items.size() && run.play.items[run.next].pass <= pass; ++run.next) {
        const ScriptItem& item = run.play.items[run.next];
        if (item.kind == ScriptItemKind::Panel) {
            run.panel_queue.push_back(item);
            run.panel_pass = item.pass;
        } else {
            if (item.kind == ScriptItemKind::Close) run.closed = true, run.close_pass = pass;
            items.push_back(item);
        }
    }
    return items;
}

bool script_play_append(const ScriptItem& item) {
    uint32_t last = run.play.items.empty() ? 0 : run.play.items.back().pass;
    if (!run.playing || item.pass <= run.pass || item.pass < last) return false;
    run.play.items.push_back(item);
    return true;
}

void script_record(const ScriptItem& item) {
    if (!run.recording) return;
    ScriptItem recorded = item;
    recorded.pass = run.pass;
    recorded.line = 0;
    run.record.items.push_back(recorded);
}

void script_set_panel_names(const ScriptControlName* names, size_t count) {
    panel_names = names;
    panel_name_count = names ? count : 0;
}

bool script_next_panel_item(PanelItem* item) {
    if (!run.playing) return false;
    if (run.panel_queue.empty() || run.panel_pass != run.pass) {
        if (run.error.empty()) {
            run.error = run.play_file + ": the control panel is open in pass " +
                        std::to_string(run.pass) + " and the script has no panel item left";
            platform_set_error(run.error);
            post_close_request();
        }
        return false;
    }
    *item = run.panel_queue.front().panel;
    run.panel_queue.pop_front();
    script_record_panel_item(*item);
    return true;
}

void script_record_panel_item(const PanelItem& item) {
    if (!panel_name(item.control)) return;
    ScriptItem recorded;
    recorded.kind = ScriptItemKind::Panel;
    recorded.panel = item;
    script_record(recorded);
}

bool script_finish(std::string* error) {
    if (!run.error.empty()) {
        *error = run.error;
        return false;
    }
    if (!run.recording) return true;
    // A fixed seed is the one the game used, even in a run that never asked for one.
    if (!run.record.has_seed) run.record.seed = random_last_seed();
    run.record.has_seed = true;
    std::ofstream out(run.record_file, std::ios::binary | std::ios::trunc);
    out << script_format(run.record);
    out.close();
    if (!out) {
        *error = run.record_file + ": cannot write the recording";
        return false;
    }
    return true;
}

const std::string& script_error() {
    return run.error;
}

void script_reset() {
    run = Run();
}
