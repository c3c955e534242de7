// The settings file: its parsing and rewriting (keeping the player's lines), and when it is read
// and written.
#include "platform/settings.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/system/system.h"

namespace {

namespace fs = std::filesystem;

const char* const FILE_NAME = "gnatrix.conf";
const char* const HEADER =
    "# Gnatrix: the display and the controls (man gnatrix). The game rewrites the values it\n"
    "# changes and keeps everything else; the command line wins for its run.\n"
    "# full-screen = yes|no, window-size = WxH, window-position = X,Y,\n"
    "# scale-mode = integer|fit|smooth, mouse-speed = 0.25 to 4, background = run|pause,\n"
    "# pad-speed = 0.1 to 20, rumble = yes|no\n";
// A resize or a move is a storm of events: the file is written once they have settled.
const uint32_t SETTLE_MS = 1000;

std::string path;
bool writable = false;
Settings pending;
Settings known;  // what the file says, or the window showed, last
bool has_pending = false;
uint32_t changed_at = 0;

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Two whole numbers within [min, max] joined by `separator`.
bool parse_pair(const std::string& value, char separator, int min, int max,
                std::optional<int>* first, std::optional<int>* second) {
    const size_t at = value.find(separator);
    int64_t a = 0, b = 0;
    if (at == std::string::npos ||
        !platform_parse_number(trim(value.substr(0, at)), min, max, &a) ||
        !platform_parse_number(trim(value.substr(at + 1)), min, max, &b))
        return false;
    *first = int(a), *second = int(b);
    return true;
}

// One of two words, the first standing for true.
bool parse_either(const std::string& value, const char* yes, const char* no,
                  std::optional<bool>* out) {
    if (value != yes && value != no) return false;
    *out = value == yes;
    return true;
}

bool parse_decimal(const std::string& value, double min, double max, std::optional<double>* out) {
    double number = 0;
    if (!platform_parse_decimal(value, min, max, &number)) return false;
    *out = number;
    return true;
}

// Applies one key's value; what was expected when it is malformed, null when it was applied or
// the key is not ours.
const char* apply(const std::string& key, const std::string& value, Settings* s) {
    if (key == "full-screen") {
        if (!parse_either(value, "yes", "no", &s->full_screen)) return "yes or no";
    } else if (key == "window-size") {
        if (!parse_pair(value, 'x', 100, 16384, &s->width, &s->height))
            return "WIDTHxHEIGHT, for example 1280x960";
    } else if (key == "window-position") {
        if (!parse_pair(value, ',', -65536, 65536, &s->x, &s->y)) return "X,Y, for example 100,50";
    } else if (key == "scale-mode") {
        ScaleMode mode;
        if (!platform_parse_scale_mode(value, &mode)) return "integer, fit or smooth";
        s->scale_mode = mode;
    } else if (key == "mouse-speed") {
        if (!parse_decimal(value, 0.25, 4, &s->mouse_speed)) return "a number from 0.25 to 4";
    } else if (key == "background") {
        if (!parse_either(value, "run", "pause", &s->background_run)) return "run or pause";
    } else if (key == "pad-speed") {
        if (!parse_decimal(value, 0.1, 20, &s->pad_speed)) return "a number from 0.1 to 20";
    } else if (key == "rumble") {
        if (!parse_either(value, "yes", "no", &s->rumble)) return "yes or no";
    }
    return nullptr;
}

// The "key = value" lines of the keys that `s` has, in the file's order of keys.
std::vector<std::pair<std::string, std::string>> lines_of(const Settings& s) {
    static const char* const MODES[] = {"", "integer", "fit", "smooth"};
    std::vector<std::pair<std::string, std::string>> lines;
    if (s.full_screen) lines.push_back({"full-screen", *s.full_screen ? "yes" : "no"});
    if (s.width && s.height)
        lines.push_back(
            {"window-size", std::to_string(*s.width) + "x" + std::to_string(*s.height)});
    if (s.x && s.y)
        lines.push_back({"window-position", std::to_string(*s.x) + "," + std::to_string(*s.y)});
    if (s.scale_mode && *s.scale_mode != ScaleMode::Default)
        lines.push_back({"scale-mode", MODES[int(*s.scale_mode)]});
    if (s.mouse_speed) {
        char speed[32];
        snprintf(speed, sizeof speed, "%g", *s.mouse_speed);
        lines.push_back({"mouse-speed", speed});
    }
    return lines;
}

// The key of a "key = value" line; empty for comments, blank lines and anything else.
std::string key_of(const std::string& line) {
    const std::string text = trim(line);
    if (text.empty() || text[0] == '#' || text.find('=') == std::string::npos) return "";
    return trim(text.substr(0, text.find('=')));
}

void report(const std::string& message) {
    fprintf(stderr, "gnatrix: %s\n", message.c_str());
}

void apply_to_options(const Settings& s, Options* o) {
    if (s.full_screen == false) o->window = true;
    if (o->scale == 0 && s.width) o->window_width = *s.width, o->window_height = *s.height;
    if (s.x) o->has_window_position = true, o->window_x = *s.x, o->window_y = *s.y;
    if (o->scale_mode == ScaleMode::Default && s.scale_mode) o->scale_mode = *s.scale_mode;
    if (o->mouse_speed <= 0 && s.mouse_speed) o->mouse_speed = *s.mouse_speed;
    if (!o->background_given && s.background_run) o->background_run = *s.background_run;
    if (!o->pad_speed_given && s.pad_speed) o->pad_speed = *s.pad_speed;
    if (!o->rumble_given && s.rumble) o->rumble = *s.rumble;
}

void write_pending() {
    if (!has_pending || !writable) return;
    has_pending = false;
    std::stringstream old_text;
    {
        // Closed before the replacement: Windows replaces no file that is open.
        std::ifstream in(path, std::ios::binary);
        old_text << in.rdbuf();
    }
    const std::string text = settings_update(old_text.str(), pending);
    pending = Settings();
    std::error_code ignored;  // a folder that cannot be made fails the replacement, said there
    fs::create_directories(fs::path(path).parent_path(), ignored);
    std::string error;
    if (!file_replace(path.c_str(), text.data(), text.size(), &error)) {
        report("the settings are not saved: " + error);
        writable = false;
    }
}

}  // namespace

bool settings_parse(const std::string& text, Settings* settings, std::string* error) {
    Settings parsed;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const std::string content = trim(line);
        if (content.empty() || content[0] == '#') continue;
        const std::string key = key_of(line);
        const std::string value = trim(content.substr(content.find('=') + 1));
        const char* expected = key.empty() ? "key = value" : apply(key, value, &parsed);
        if (expected) {
            *error = "line " + std::to_string(number) + ": expected " + expected + ", got '" +
                     (key.empty() ? content : value) + "'";
            return false;
        }
    }
    *settings = parsed;
    return true;
}

std::string settings_update(const std::string& text, const Settings& changes) {
    const auto wanted = lines_of(changes);
    std::vector<bool> written(wanted.size(), false);
    std::string out = text.empty() ? HEADER : "";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i].first != key_of(line)) continue;
            line = wanted[i].first + " = " + wanted[i].second;
            written[i] = true;
        }
        out += line + "\n";
    }
    for (size_t i = 0; i < wanted.size(); ++i)
        if (!written[i]) out += wanted[i].first + " = " + wanted[i].second + "\n";
    return out;
}

void settings_start(Options* options) {
    path.clear();
    writable = has_pending = false;
    pending = known = Settings();
    std::string dir, error;
    if (options->headless || !options->play_file.empty() || !system_user_settings_dir(&dir, &error))
        return;
    path = dir + "/" + FILE_NAME;
    std::ifstream in(path, std::ios::binary);
    std::error_code ignored;
    if (!in && !fs::exists(path, ignored)) {
        writable = true;  // none yet: the first change makes it
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    Settings settings;
    if (!in || !settings_parse(text.str(), &settings, &error)) {
        report(path + ": " + (in ? error : "cannot be read") +
               "; the settings start from their defaults and the file is left as it is");
        return;
    }
    apply_to_options(settings, options);
    known = settings;
    writable = true;
}

namespace {

// The window's values of `from` that differ from `known` into *to, a size or a place as a
// whole; whether there were any.
bool merge_window(const Settings& from, Settings* to) {
    bool any = false;
    auto take = [&](auto first, auto second) {
        if (!(from.*first) || (from.*first == known.*first && from.*second == known.*second))
            return;
        to->*first = from.*first, to->*second = from.*second;
        any = true;
    };
    take(&Settings::full_screen, &Settings::full_screen);
    take(&Settings::width, &Settings::height);
    take(&Settings::x, &Settings::y);
    return any;
}

}  // namespace

void settings_window_opened(const Settings& now) {
    merge_window(now, &known);
}

void settings_window_changed(const Settings& changes) {
    if (!writable || !merge_window(changes, &pending)) return;
    merge_window(changes, &known);
    has_pending = true;
    changed_at = clock_ticks();
}

void settings_pass(uint32_t) {
    if (has_pending && clock_ticks() - changed_at >= SETTLE_MS) write_pending();
}

void settings_finish() {
    write_pending();
}

const std::string& settings_path() {
    return path;
}
