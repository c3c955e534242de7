// Every test runs headless, whoever starts the binary: SDL's dummy drivers unless the caller
// chose others.
#include <cstdlib>

namespace {
const bool headless_drivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();
}  // namespace
