// The rest of the POSIX system: the user's data folder (XDG), the GPU probe (a DRM render
// node), shared libraries (dlopen) and fatal errors (standard error).
#include "platform/system/system.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

// $XDG_DATA_HOME/gnatrix, or ~/.local/share/gnatrix (a relative XDG_DATA_HOME does not count).
bool system_user_data_dir(std::string* dir, std::string* error) {
    const char* xdg = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    if (xdg && xdg[0] == '/') {
        *dir = std::string(xdg) + "/gnatrix";
    } else if (home && home[0] == '/') {
        *dir = std::string(home) + "/.local/share/gnatrix";
    } else {
        *error = "neither XDG_DATA_HOME nor HOME names a folder";
        return false;
    }
    return true;
}

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

void system_report_fatal(const char* message) {
    fprintf(stderr, "gnatrix: %s\n", message);
}
