// The rest of the browser's system: the data folder (Emscripten's file system, kept in the
// browser's IndexedDB by the page), the GPU probe (WebGL) and fatal errors (the console and the
// page). The libraries are linked into the program: platform/sdl/browser/ resolves their names.
#include "platform/system/system.h"

#include <emscripten.h>

#include <cstdio>

namespace {

// Where the page mounts the persistent file system (web/gnatrix.js).
constexpr const char* DATA_DIR = "/gnatrix";

}  // namespace

bool system_user_data_dir(std::string* dir, std::string*) {
    *dir = DATA_DIR;
    return true;
}

bool system_user_settings_dir(std::string* dir, std::string*) {
    *dir = DATA_DIR;
    return true;
}

EM_JS(int, browser_has_webgl, (), {
    const canvas = document.createElement('canvas');
    return canvas.getContext('webgl') ? 1 : 0;
});

bool system_has_gpu() {
    return browser_has_webgl() != 0;
}

// The browser lets sound start only after a click or a key; SDL resumes it then and says nothing.
void system_quiet_sound_library() {}

EM_JS(void, browser_report_fatal, (const char* message), {
    if (Module['gnatrixFatal']) Module['gnatrixFatal'](UTF8ToString(message));
});

void system_report_fatal(const char* message) {
    fprintf(stderr, "gnatrix: %s\n", message);
    browser_report_fatal(message);
}

// The page names the player's folder (--user-data); a folder named on its own is the start's.
std::string system_default_data_dir() {
    return "";
}

// The page shows its own icon.
const char* system_icon_resource() {
    return nullptr;
}

// A page has one display.
const char* system_video_drivers() {
    return "emscripten";
}

// The standard streams are the browser's console, as Emscripten gives them.
void system_standard_streams() {}
