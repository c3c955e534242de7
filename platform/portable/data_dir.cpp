// --data-dir and --user-data: the game runs in its own folder, where scores.bin lives.
#include <filesystem>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

// Paths given on the command line mean the folder the player typed them in. One from the root
// stays as typed (on Windows it is on the drive the game started on, and messages name it so).
void make_absolute(std::string* path) {
    std::error_code ignored;
    if (!path->empty() && !fs::path(*path).has_root_directory())
        *path = fs::absolute(*path, ignored).string();
}

}  // namespace

bool platform_enter_data_dir(Options* options, std::string* error) {
    if (options->data_dir.empty()) return true;
    make_absolute(&options->play_file);
    make_absolute(&options->record_file);
    for (auto* dumps : {&options->dump_screen, &options->dump_state})
        for (PassFile& dump : *dumps) make_absolute(&dump.path);
    std::error_code failure;
    fs::create_directories(options->data_dir, failure);
    if (!failure) fs::current_path(options->data_dir, failure);
    if (failure) {
        *error = "cannot use the folder '" + options->data_dir + "': " + failure.message();
        return false;
    }
    return true;
}
