// The player's display and control settings, kept in gnatrix.conf in the system's settings
// folder: "key = value" lines and "#" comments. Runs with a window and live input read it at
// start and write it when the player changes the window; the command line wins for its run.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

struct Settings {
    std::optional<bool> full_screen;      // full-screen = yes | no
    std::optional<int> width, height;     // window-size = 1280x960
    std::optional<int> x, y;              // window-position = 100,50
    std::optional<ScaleMode> scale_mode;  // scale-mode = integer | fit | smooth
    std::optional<double> mouse_speed;    // mouse-speed = 0.25 to 4
    std::optional<bool> background_run;   // background = run | pause
    std::optional<double> pad_speed;      // pad-speed = 0.1 to 20
    std::optional<bool> rumble;           // rumble = yes | no
};

// Reads a settings text: the keys it has (keys of other versions are passed over). False with
// "line N: ..." in *error when a line or a known key's value is malformed.
bool settings_parse(const std::string& text, Settings* settings, std::string* error);
// The text with the values that `changes` has on the lines of their keys (appended when the
// text has none); every other line, comments and unknown keys included, as it was.
std::string settings_update(const std::string& text, const Settings& changes);

// Start-up: reads the file when this run may use it (a window and live input: never headless,
// a replay or a timedemo) and fills in what the command line left unset. A file that cannot be
// read or is damaged gives one line on standard error and the defaults, and is never written.
void settings_start(Options* options);
// The window changed as the player did it; written once the changes have settled for a second
// (a resize or a move is a storm of events), or at the end of the run.
void settings_window_changed(const Settings& changes);
// The window as it opened: not a change of the player's.
void settings_window_opened(const Settings& now);
void settings_pass(uint32_t pass);
void settings_finish();
// The file this run reads and writes; empty when none.
const std::string& settings_path();
