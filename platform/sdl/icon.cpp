// The window's icon, decoded from the ICON resource (PNG, or BMP).
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/sdl/internal.h"

namespace {

SDL_Surface* decode_png(const ResourceData& data) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data, data.size)) return nullptr;
    image.format = PNG_FORMAT_RGBA;
    // An icon is small; anything huge is not one and is not worth the memory.
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return nullptr;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, int(image.width), int(image.height),
                                                          32, SDL_PIXELFORMAT_RGBA32);
    if (surface &&
        !png_image_finish_read(&image, nullptr, surface->pixels, surface->pitch, nullptr)) {
        SDL_FreeSurface(surface);
        surface = nullptr;
    }
    png_image_free(&image);
    return surface;
}

}  // namespace

SDL_Surface* icon_decode(const ResourceData& data) {
    if (!data.data || data.size < 8 || data.size > INT32_MAX) return nullptr;
    if (png_sig_cmp(data.data, 0, 8) == 0) return decode_png(data);
    if (memcmp(data.data, "BM", 2) == 0)
        return SDL_LoadBMP_RW(SDL_RWFromConstMem(data.data, int(data.size)), 1);
    return nullptr;
}
