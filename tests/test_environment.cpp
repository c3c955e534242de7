// Every test runs headless, whoever starts the binary: SDL's dummy drivers unless the caller
// chose others; and the player's settings folder is never the real one. Scripts name the control
// panel's scroll bars as the game does.
#include <cstdlib>
#include <string>

#include "screens/panel.h"

namespace {
const bool headless_drivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_CONFIG_HOME", (std::string(GNATRIX_BINARY_DIR) + "/test-config").c_str(), 1);
    return true;
}();
const bool script_names = [] {
    panel_register_script_names();
    return true;
}();
}  // namespace
