// Start-up of the platform, the command line, and the hooks that tie the main loop's passes
// to input sampling, dumps and presentation.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct PassFile {
    uint32_t pass;
    std::string path;
    bool at_end = false;  // PASS "end": when the game has ended, whatever its last pass
};

enum class ScaleMode { Default, Integer, Fit, Smooth };

struct Options {
    bool headless = false;
    bool window = false;
    int scale = 0;  // 0: largest that fits
    ScaleMode scale_mode = ScaleMode::Default;
    // Plays on while the window is in the background; otherwise the program holds still there.
    bool background_run = false;
    // Given on the command line: the settings file does not override these for the run.
    bool background_given = false, pad_speed_given = false, rumble_given = false;
    std::string play_file;
    std::string record_file;
    bool has_seed = false;
    uint32_t seed = 0;
    int64_t frames = -1;  // close request after this many passes; -1: never
    std::vector<PassFile> dump_screen;
    std::vector<PassFile> dump_state;
    // Replays play_file unpaced (the virtual clock, shown at every pass) and reports the speed.
    bool timedemo = false;
    // Plays the built-in demo: a headless run with no script and no end would never end.
    bool play_demo = false;
    // Runs in this folder (created when missing), so that scores.bin and screenshots go there.
    std::string data_dir;
    // A pad's stick at full tilt moves the rocket this many screen widths a second.
    double pad_speed = 2.0;
    // A pad rumbles briefly when a bug gets past.
    bool rumble = true;
    // Scales the mouse's motion before the game reads it (0.25 to 4); 0: not given, as 1.
    double mouse_speed = 0;
    // From the settings file: the window's size when no --scale is given (0: none), and its
    // position.
    int window_width = 0, window_height = 0;
    bool has_window_position = false;
    int window_x = 0, window_y = 0;
};

// Moves into options->data_dir (created when missing), first making the file names of the
// command line absolute. True when there is none. False with a message on failure.
bool platform_enter_data_dir(Options* options, std::string* error);

// Parses argv; on error returns false with one clear message in *error.
bool parse_options(int argc, char** argv, Options* options, std::string* error, bool* exit_now);
// A decimal number in [min, max], the whole word and nothing else: the numbers of input scripts
// and dialog templates.
bool platform_parse_number(const std::string& word, int64_t min, int64_t max, int64_t* value);
// A plain decimal number (digits with at most one point) within [min, max]: the mouse speed.
bool platform_parse_decimal(std::string_view text, double min, double max, double* value);
// integer, fit or smooth.
bool platform_parse_scale_mode(std::string_view text, ScaleMode* mode);
const Options& platform_options();
void platform_set_options(const Options& options);

// A run of the built-in demo or a timedemo: a show, whose game is not the player's.
bool platform_demo_run();

// The number of the current main-loop pass, counted from 0.
uint32_t platform_pass();

// The app registers how to write the game's state as text (for --dump-state).
using StateDumper = void (*)(FILE* out);
void platform_set_state_dumper(StateDumper dumper);
// ... and how to read the score and misses for the one-line summary of a demo run.
struct GameSummary {
    int64_t score, missed;
};
using SummaryReader = GameSummary (*)();
void platform_set_summary_reader(SummaryReader reader);
// The summary of a demo or timedemo run: "score S, missed M, passes P, game time T s", or empty
// when nothing asked for one.
std::string platform_summary();

// Platform modules register to be told of each pass start and of each SDL event.
using PassHook = void (*)(uint32_t pass);
void platform_add_pass_hook(PassHook hook);
using EventHook = void (*)(const void* sdl_event);
void platform_add_event_hook(EventHook hook);

// The last error message of the platform (for example, no display could be opened).
const char* platform_error();
void platform_set_error(const std::string& message);

// The platform objects still alive, as "surfaces 2, palettes 1"; empty when none is.
// The game releases everything it made before it returns.
std::string platform_live_objects();

// Writes the primary surface and current palette as an 8-bit BMP. False on failure.
bool platform_dump_screen(const char* path);

// Tests: set up SDL (dummy drivers) and the platform with these options; shut it down.
bool platform_init(const Options& options);
void platform_shutdown();

// Stands in for the program's entry point; the app defines it.
int WinMain();
// The app defines this too: main calls it before the platform starts, so that what the platform
// takes from the game (the names scripts give the dialog's controls) is there before a script
// is read.
void app_register_hooks();
