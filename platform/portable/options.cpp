// The command line: options for the platform (window, headless runs, dumps, scripts).
#include <cstdlib>
#include <string_view>

#include "platform/platform.h"
#include "platform/system/system.h"

namespace {

Options current_options;

const char* const usage_text =
    "Usage: gnatrix [options]\n"
    "  --window               play in a window instead of full screen\n"
    "  --scale N              window size: N times 640x480 (default, and when N does not fit:\n"
    "                         the largest that fits); with full screen, the size of the window\n"
    "                         Alt+Enter switches to\n"
    "  --scale-mode MODE      integer, fit or smooth (default: integer in a window, fit full "
    "screen)\n"
    "  --background run|pause what the game does while its window has lost the focus or is\n"
    "                         minimised: play on, or hold still (default: pause)\n"
    "  --headless             no window, no sound; time moves only as the game waits;\n"
    "                         alone, it plays the built-in demo and prints a summary\n"
    "  --frames N             request a window close after N main-loop passes\n"
    "  --dump-screen PASS:FILE  at the end of that pass, write the screen as an 8-bit BMP (PNG if "
    "FILE ends in .png)\n"
    "  --dump-state PASS:FILE   at the end of that pass, write the game's state as text; PASS "
    "end: when the game has ended\n"
    "  --seed N               fix the random seed\n"
    "  --play FILE            replay an input script instead of live input\n"
    "  --record FILE          record the input of this run as a script\n"
    "  --timedemo FILE        replay an input script unpaced and print the frames per second\n"
    "  --mouse-speed F        scale the mouse's motion by F, from 0.25 to 4 (default 1)\n"
    "  --data-dir DIR         run in DIR (created when missing): scores.bin and screenshots go "
    "there\n"
    "  --user-data            run in $XDG_DATA_HOME/gnatrix (default ~/.local/share/gnatrix)\n"
    "  --pad-speed F          a game pad's stick at full tilt moves the rocket F screen widths\n"
    "                         a second (0.1 to 20, default 2)\n"
    "  --no-rumble            a game pad does not rumble when a bug gets past\n"
    "  -h, --help             show this help\n"
    "  -V, --version          show the version\n";

// A whole decimal number within [min, max]; false on anything else.
bool parse_number(std::string_view text, int64_t min, int64_t max, int64_t* out) {
    if (text.empty() || text.size() > 18) return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) return false;
    *out = value;
    return true;
}

}  // namespace

bool platform_parse_decimal(std::string_view text, double min, double max, double* out) {
    const size_t point = text.find('.');
    // Digits first, so ".5" is refused as "1e0" is: a number is written as the player reads it.
    if (text.empty() || text.size() > 12 || text[0] == '.' ||
        text.find_first_not_of("0123456789.") != std::string_view::npos ||
        (point != std::string_view::npos && text.find('.', point + 1) != std::string_view::npos))
        return false;
    const double value = std::strtod(std::string(text).c_str(), nullptr);
    if (value < min || value > max) return false;
    *out = value;
    return true;
}

namespace {

bool parse_pass_file(std::string_view text, PassFile* out) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon + 1 == text.size()) return false;
    int64_t pass = 0;
    out->at_end = text.substr(0, colon) == "end";
    if (!out->at_end && !parse_number(text.substr(0, colon), 0, UINT32_MAX, &pass)) return false;
    out->pass = uint32_t(pass);
    out->path = std::string(text.substr(colon + 1));
    return true;
}

}  // namespace

bool platform_parse_scale_mode(std::string_view text, ScaleMode* out) {
    if (text == "integer")
        *out = ScaleMode::Integer;
    else if (text == "fit")
        *out = ScaleMode::Fit;
    else if (text == "smooth")
        *out = ScaleMode::Smooth;
    else
        return false;
    return true;
}

namespace {

// Applies one option that takes a value; the description of what was expected when the value
// is malformed, null when it was applied.
const char* apply_valued(std::string_view name, std::string_view value, Options* o) {
    int64_t number = 0;
    PassFile pass_file;
    if (name == "--scale") {
        if (!parse_number(value, 1, 16, &number)) return "a whole number from 1 to 16";
        o->scale = int(number);
    } else if (name == "--frames") {
        if (!parse_number(value, 0, UINT32_MAX, &number)) return "a number of passes";
        o->frames = number;
    } else if (name == "--seed") {
        if (!parse_number(value, 0, UINT32_MAX, &number)) return "a number from 0 to 4294967295";
        o->has_seed = true;
        o->seed = uint32_t(number);
    } else if (name == "--dump-screen" || name == "--dump-state") {
        if (!parse_pass_file(value, &pass_file)) return "PASS:FILE, for example 2:screen.bmp";
        // The screen is gone by the time the game has ended; its state is not.
        if (pass_file.at_end && name == "--dump-screen") return "a pass number before PASS:FILE";
        (name == "--dump-screen" ? o->dump_screen : o->dump_state).push_back(pass_file);
    } else if (name == "--scale-mode") {
        if (!platform_parse_scale_mode(value, &o->scale_mode)) return "integer, fit or smooth";
    } else if (name == "--background") {
        if (value != "run" && value != "pause") return "run or pause";
        o->background_run = value == "run";
        o->background_given = true;
    } else if (name == "--play" || name == "--record" || name == "--timedemo") {
        if (value.empty()) return "a file name";
        (name == "--record" ? o->record_file : o->play_file) = std::string(value);
        o->timedemo = o->timedemo || name == "--timedemo";
    } else if (name == "--pad-speed") {
        if (!platform_parse_decimal(value, 0.1, 20, &o->pad_speed))
            return "a number from 0.1 to 20";
        o->pad_speed_given = true;
    } else if (name == "--mouse-speed") {
        if (!platform_parse_decimal(value, 0.25, 4, &o->mouse_speed))
            return "a number from 0.25 to 4";
    } else if (name == "--data-dir") {
        if (value.empty()) return "a folder";
        o->data_dir = std::string(value);
    }
    return nullptr;
}

bool user_data_dir(std::string* dir, std::string* error) {
    if (system_user_data_dir(dir, error)) return true;
    *error = "--user-data: " + *error;
    return false;
}

bool takes_value(std::string_view name) {
    for (const char* valued : {"--scale", "--frames", "--seed", "--dump-screen", "--dump-state",
                               "--scale-mode", "--background", "--play", "--record", "--timedemo",
                               "--data-dir", "--pad-speed", "--mouse-speed"}) {
        if (name == valued) return true;
    }
    return false;
}

}  // namespace

bool parse_options(int argc, char** argv, Options* options, std::string* error, bool* exit_now) {
    Options parsed;
    *exit_now = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg.substr(0, arg.find('='));
        bool inline_value = name.size() < arg.size();
        if (takes_value(name)) {
            if (!inline_value && i + 1 >= argc) {
                *error = std::string(name) + " needs a value (see --help)";
                return false;
            }
            std::string_view value = inline_value ? arg.substr(name.size() + 1) : argv[++i];
            if (const char* expected = apply_valued(name, value, &parsed)) {
                *error = std::string(name) + ": expected " + expected + ", got '" +
                         std::string(value) + "'";
                return false;
            }
        } else if (inline_value) {
            *error = std::string(name) + " takes no value (see --help)";
            return false;
        } else if (arg == "--window") {
            parsed.window = true;
        } else if (arg == "--headless") {
            parsed.headless = true;
        } else if (arg == "--no-rumble") {
            parsed.rumble = false;
            parsed.rumble_given = true;
        } else if (arg == "--user-data") {
            if (!user_data_dir(&parsed.data_dir, error)) return false;
        } else if (arg == "--help" || arg == "-h" || arg == "--version" || arg == "-V") {
            *error = arg == "--help" || arg == "-h" ? usage_text : "Gnatrix 1.1\n";
            *exit_now = true;
            return true;
        } else {
            *error = (arg.starts_with("-") ? "unknown option '" : "unexpected argument '") +
                     std::string(arg) + "' (see --help)";
            return false;
        }
    }
    if (parsed.data_dir.empty()) parsed.data_dir = system_default_data_dir();
    // With no script and no end, a headless run would wait for input forever: play the demo.
    parsed.play_demo = parsed.headless && parsed.play_file.empty() && parsed.frames < 0;
    *options = parsed;
    return true;
}

const Options& platform_options() {
    return current_options;
}

void platform_set_options(const Options& options) {
    current_options = options;
}
