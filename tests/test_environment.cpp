// Every test runs headless, whoever starts the binary: SDL's dummy drivers unless the caller
// chose others; and the player's settings folder is never the real one. Scripts name the control
// panel's scroll bars as the game does.
#include <cstdlib>
#include <string>

#include "screens/panel.h"
#include "tools/process/process.h"

namespace {
const bool headless_drivers = [] {
    process_set_env("SDL_VIDEODRIVER", "dummy", false);
    process_set_env("SDL_AUDIODRIVER", "dummy", false);
    process_set_env(process_user_folder_variables().settings,
                    (std::string(GNATRIX_BINARY_DIR) + "/test-config").c_str());
    return true;
}();
const bool script_names = [] {
    panel_register_script_names();
    return true;
}();
}  // namespace
