// Every test runs headless, whoever starts the binary: SDL's dummy drivers unless the caller
// chose others. Scripts name the control panel's scroll bars as the game does.
#include <cstdlib>

#include "screens/panel.h"

namespace {
const bool headless_drivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();
const bool script_names = [] {
    panel_register_script_names();
    return true;
}();
}  // namespace
