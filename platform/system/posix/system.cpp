// The rest of the POSIX system: the user's data folder (XDG), the GPU probe (a DRM render
// node), shared libraries (dlopen), ALSA's own messages and fatal errors (standard error).
#include "platform/system/system.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// $VARIABLE/gnatrix, or ~/FALLBACK/gnatrix (a relative $VARIABLE does not count): the XDG
// base directories.
bool xdg_dir(const char* variable, const char* fallback, std::string* dir, std::string* error) {
    const char* xdg = getenv(variable);
    const char* home = getenv("HOME");
    if (xdg && xdg[0] == '/') {
        *dir = std::string(xdg) + "/gnatrix";
    } else if (home && home[0] == '/') {
        *dir = std::string(home) + "/" + fallback + "/gnatrix";
    } else {
        *error = std::string("neither ") + variable + " nor HOME names a folder";
        return false;
    }
    return true;
}

}  // namespace

bool system_user_data_dir(std::string* dir, std::string* error) {
    return xdg_dir("XDG_DATA_HOME", ".local/share", dir, error);
}

bool system_user_settings_dir(std::string* dir, std::string* error) {
    return xdg_dir("XDG_CONFIG_HOME", ".config", dir, error);
}

std::string system_default_data_dir() {
    return "";
}

// Linux desktops take a window's icon from the window itself.
const char* system_icon_resource() {
    return nullptr;
}

// Without a Wayland session, asking Wayland first only prints noise.
const char* system_video_drivers() {
    return getenv("WAYLAND_DISPLAY") ? nullptr : "x11,kmsdrm";
}

// A program here always has the standard streams it was given, and writes bytes as they are.
void system_standard_streams() {}

// Only a render node in the kernel means a GPU; without one (Xvfb, most virtual machines) the
// renderers SDL calls accelerated run on a software rasteriser.
bool system_has_gpu() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().rfind("renderD", 0) == 0 &&
            access(entry.path().c_str(), R_OK | W_OK) == 0)
            return true;
    }
    return false;
}

// SDL's libraries are libNAME-2.0.so.0.
void* system_library_load(const char* name) {
    const std::string file = "lib" + std::string(name) + "-2.0.so.0";
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* system_library_function(void* library, const char* function) {
    return dlsym(library, function);
}

void system_library_unload(void* library) {
    if (library) dlclose(library);
}

namespace {
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

// Without a sound card libasound writes each step of its failed search to standard error
// itself (eight lines for the default device).
void system_quiet_sound_library() {
    static bool done = false;
    if (done) return;
    done = true;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    // Kept loaded, so that the handler holds for SDL's own use of the library.
    if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
        auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
        if (set) set(quiet_alsa);
    }
}

void system_report_fatal(const char* message) {
    fprintf(stderr, "gnatrix: %s\n", message);
}
