// The system interface: what differs between operating systems, in plain C++ types. One
// implementation per system lives in a folder of its own beside this header (posix/ today),
// chosen by the build; it includes this header and the system's own, and nothing of the rest of
// the platform, whose stand-in names (RECT, MSG, WM_ ...) the real system headers define too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// ---- Time and sleeping ----

// Nanoseconds of a monotonic clock (its origin is the system's own).
int64_t system_monotonic_ns();
// Nanoseconds of processor time the process has used so far.
int64_t system_cpu_ns();
// Sleeps until the monotonic clock reaches the instant; never returns early.
void system_sleep_until(int64_t monotonic_ns);
// Asks the system to wake sleepers as close to their deadlines as it can (once is enough).
void system_precise_timers();
// The calendar time in the player's time zone.
std::tm system_local_time(std::time_t when);

// ---- Replacing a file ----

// The steps of a replacement, for its messages and for tests that make one of them fail.
enum class FileStep { NONE, OPEN, WRITE, FLUSH, SYNC, RENAME };

// Tests: the step that fails, and the error number it fails with (a WRITE fault writes half of
// the data first).
struct FileFault {
    FileStep step;
    int error_number;
};

// Which step of a replacement failed, on which file, with which error number (errno's values).
struct FileFailure {
    FileStep step;
    std::string path;
    int error_number;
    bool write_protected;  // the owner took the write bit away: kept as it is, whoever runs us
};

// Writes data to a new file beside path, flushes and syncs it, then renames it over path (a
// symbolic link stays a link, its target gets the data). On failure the file at path is left as
// it was, nothing is left behind, and *failure says what went wrong. A file at path without
// write permission is not replaced, nor one whose owner may not write it (root included).
bool system_replace_file(const char* path, const void* data, size_t size, FileFault fault,
                         FileFailure* failure);

// Opens a new file for writing (binary); null with errno EEXIST when the name is taken.
std::FILE* system_create_new_file(const char* path);

// ---- Folders ----

// The folder the game keeps the player's data in (made by whoever uses it). False with the
// reason in *error when the system does not say where it is.
bool system_user_data_dir(std::string* dir, std::string* error);
// The folder of the player's settings of the game ($XDG_CONFIG_HOME/gnatrix here), likewise.
bool system_user_settings_dir(std::string* dir, std::string* error);
// The folder the game keeps its scores in when the player names none: empty for the folder it
// is started in (here); where the system's players expect a game they unpacked to keep them.
std::string system_default_data_dir();

// ---- The executable ----

// The window icon among the executable's own resources, as SDL names it, or null when the
// system has no such thing (the window then gets the game's embedded ICON resource).
const char* system_icon_resource();
// The video drivers SDL is to try, in order, as its hint takes them; null for SDL's own choice.
const char* system_video_drivers();
// Standard output and error as the game writes them on every system: the bytes it writes (no
// carriage returns added), to the console that started it even when it has none of its own (a
// Windows GUI program). First thing, once.
void system_standard_streams();

// ---- Hardware ----

// Whether a GPU the process may use is present (without one, "accelerated" renderers are
// software rasterisers).
bool system_has_gpu();

// ---- Shared libraries ----

// Loads the shared library the project calls `name` ("SDL2_mixer"), under the file name this
// system gives it; null when it cannot be loaded.
void* system_library_load(const char* name);
// The address of a function of a loaded library; null when it has none of that name.
void* system_library_function(void* library, const char* function);
void system_library_unload(void* library);

// Keeps the system's sound library from writing its own messages to standard error when no
// sound device can be opened (the caller reports why in one line). Once is enough.
void system_quiet_sound_library();

// ---- Fatal errors ----

// Tells the player why the program cannot go on ("gnatrix: MESSAGE" where they will see it).
void system_report_fatal(const char* message);
