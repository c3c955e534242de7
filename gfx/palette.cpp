// The working palette and the two copies between it and the display.
#include "gfx/palette.h"

#include <cstring>

#include "gfx/display.h"

PALETTEENTRY work_palette[256];

int pal_save(PALETTEENTRY* destination) {
    if (!destination) return 0;
    std::memcpy(destination, work_palette, sizeof work_palette);
    return 1;
}

int pal_apply(const PALETTEENTRY* source) {
    if (!source) return 0;
    std::memcpy(work_palette, source, sizeof work_palette);
    if (display_palette) display_palette->set_entries(0, 256, work_palette);
    return 1;
}
