// The headless platform and display the fuzz targets run against.
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/display.h"
#include "platform/platform.h"

void fuzz_start(bool with_display) {
    static bool started = false;
    if (started) return;
    started = true;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Options options;
    options.headless = true;
    if (!platform_init(options) || (with_display && gfx_init(640, 480, 8, false, true) != 1)) {
        fprintf(stderr, "fuzz: cannot start the platform: %s\n", platform_error());
        abort();
    }
}

std::string fuzz_text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}
