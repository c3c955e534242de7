// The .BMP file reader on any bytes; every pixel of an accepted image is read back.
#include <cstdint>

#include "gfx/display.h"
#include "gfx/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Both 16-bit layouts that 24-bit pictures may be turned into.
    pixel_format = size % 2 ? 15 : 16;
    BitmapImage image{};
    if (img_load_memory(data, size, &image)) {
        const BITMAPINFOHEADER& header = image.info_header;
        const size_t bytes =
            size_t(header.biWidth) * size_t(header.biHeight) * (header.biBitCount / 8);
        volatile uint32_t sum = 0;
        for (size_t i = 0; i < bytes; ++i) sum = sum + image.pixels[i];
        if (bytes != header.biSizeImage) __builtin_trap();
    }
    img_release(&image);
    return 0;
}
