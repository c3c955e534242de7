// The bitmap resource loader on any bytes, then cells cut out of whatever it accepted.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "gfx/image.h"
#include "platform/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resource_override("BITMAP", "147", data, size);
    if (img_load_resource(BITMAP_BACKDROP)) {
        ImageBuffer cell{};
        const int32_t bits = bitmap_image.info_header.biBitCount;
        if (img_buffer_create(&cell, 0, 0, 8, 8, bits == 16 ? 16 : 8)) {
            img_buffer_load_cell(&cell, &bitmap_image, 0, 0, 0);
            img_buffer_load_cell(&cell, &bitmap_image, 3, 2, 1);
            img_buffer_destroy(&cell);
        }
    }
    img_release(&bitmap_image);
    resource_clear_overrides();
    return 0;
}
