// Input scripts: the text format that records what the player did, pass by pass, and plays it
// back instead of live input. Input enters the game only at pass starts, so a replay is exact.
//
//   gnatrix-input 1          first line
//   seed 4711                optional
//   # comment                (also after an item)
//   @118 key f2 down         key NAME down|up
//   @300 mouse -12 4         relative motion
//   @300 button down         left button down|up
//   @450 panel bugs up       a named scroll bar's arrow up|down, taken by the dialog
//   @450 panel ok            opened in this pass, in order; the names are the game's
//   @900 close               window close request
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog.h"

// One click in the dialog opened in the item's pass: an arrow of the scroll bar with this control
// id (up is the upper arrow), or the OK button (IDOK).
struct PanelItem {
    int control;
    bool up;  // scroll bars only
};

// The names scripts give the dialog's scroll bars ("panel NAME up|down"); "ok" names its OK
// button. The game gives them before any script is read; the table must outlive its use.
struct ScriptControlName {
    const char* name;
    int control;
};
void script_set_panel_names(const ScriptControlName* names, size_t count);

enum class ScriptItemKind { Key, Mouse, Button, Panel, Close };
struct ScriptItem {
    uint32_t pass = 0;
    ScriptItemKind kind = ScriptItemKind::Close;
    int vk = 0;              // Key
    bool down = false;       // Key, Button
    int32_t dx = 0, dy = 0;  // Mouse
    PanelItem panel = {IDOK, false};
    int line = 0;  // where it was read (0 when recorded)
};

struct Script {
    bool has_seed = false;
    uint32_t seed = 0;
    std::vector<ScriptItem> items;  // passes non-decreasing
};

// Parses a whole script. On a malformed line: false, with "FILE:LINE: what is wrong" in *error.
bool script_parse(const std::string& text, const std::string& file_name, Script* script,
                  std::string* error);
bool script_load(const std::string& path, Script* script, std::string* error);
// The script as text, in the format above (what a recording writes).
std::string script_format(const Script& script);

// ---- Playing and recording a run ----

// Starts a run: the script to play (empty: live input) and the file to record into (empty:
// none). A script's seed, or seed_given, fixes the game's random seed (the command line wins).
// play_demo: play the recording built into the game (the DEMO resource) when there is no file.
bool script_start(const std::string& play_file, const std::string& record_file, bool seed_given,
                  uint32_t seed, std::string* error, bool play_demo = false);
bool script_playing();
bool script_recording();
// The start of a main-loop pass: while playing, the items of every pass up to this one not
// given out yet, panel items excepted: those are queued for the control panel of their pass.
std::vector<ScriptItem> script_begin_pass(uint32_t pass);
// Appends a recorded item to the current pass.
void script_record(const ScriptItem& item);
// For a tool that steers a run while it plays (the replay generator): adds an item to the end of
// the script being played. Its pass must come after the current one and not before the last.
bool script_play_append(const ScriptItem& item);

// For the control panel's dialog runner, once per control it would otherwise wait for.
// While a script plays: true with the next panel item of the current pass (recorded when
// recording). False when the script has none left for the open panel: that is an error of the
// script; it is reported (script_error()), a close request is posted and the run will end with
// a failure; the runner must then close the dialog as if OK had been pressed.
// While live: always false; the runner then reports each click with script_record_panel_item.
bool script_next_panel_item(PanelItem* item);
// A click on a scroll bar that has no name is not recorded.
void script_record_panel_item(const PanelItem& item);

// Ends the run: writes the recording (with the seed the game used). False with *error when
// the script failed during the run or the recording cannot be written.
bool script_finish(std::string* error);
// The error that ended the run early, or empty.
const std::string& script_error();
// Tests: back to no script, nothing recorded.
void script_reset();
