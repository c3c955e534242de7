// Screenshots: PrintScreen saves the screen as shown (palette applied) as a PNG in the current
// folder, with the control panel when it is open. The platform takes the key; the game never
// sees it and no game time passes.
#include "platform/screenshot.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/clock.h"
#include "platform/portable/dialog_view.h"
#include "platform/sdl/internal.h"
#include "platform/system/system.h"

namespace {

constexpr int W = 640, H = 480;

// Opens a new file "gnatrix-YYYYMMDD-HHMMSS[-N].png" for writing, never replacing one.
FILE* create_numbered(time_t when, std::string* path) {
    const std::tm local = system_local_time(when);
    char stamp[32];
    strftime(stamp, sizeof stamp, "gnatrix-%Y%m%d-%H%M%S", &local);
    for (int n = 1; n < 1000; ++n) {
        *path = std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
        // "x": fails when the name is taken, so two shots in one second keep both.
        if (FILE* f = system_create_new_file(path->c_str())) return f;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

// The screen with the live dialog over it, blended as the presentation blends it.
void blend_overlay(const uint8_t* pixels, const uint8_t rgb[256][3], const uint32_t* argb,
                   uint8_t* shown) {
    for (int i = 0; i < W * H; ++i) {
        const uint32_t over = argb[i], alpha = over >> 24;
        for (int c = 0; c < 3; ++c) {
            const uint32_t top = (over >> (16 - 8 * c)) & 0xFF, under = rgb[pixels[i]][c];
            shown[3 * i + c] = uint8_t((top * alpha + under * (255 - alpha) + 127) / 255);
        }
    }
}

}  // namespace

bool screen_write_png(FILE* out) {
    static uint8_t pixels[W * H];
    static uint32_t overlay[W * H];
    static uint8_t shown[W * H * 3];
    uint8_t rgb[256][3];
    if (!out || !display_snapshot(pixels, rgb)) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = W;
    image.height = H;
    bool ok;
    if (dialog_view_overlay(overlay)) {
        // The control panel is shown over the screen: colours beyond the palette's.
        blend_overlay(pixels, rgb, overlay, shown);
        image.format = PNG_FORMAT_RGB;
        ok = png_image_write_to_stdio(&image, out, 0, shown, W * 3, nullptr);
    } else {
        // An indexed PNG holds the screen exactly: the same indices, the palette in effect.
        image.format = PNG_FORMAT_RGB_COLORMAP;
        image.colormap_entries = 256;
        ok = png_image_write_to_stdio(&image, out, 0, pixels, W, rgb);
    }
    png_image_free(&image);
    return ok;
}

bool platform_dump_png(const char* path) {
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) return false;
    bool ok = screen_write_png(f);
    return fclose(f) == 0 && ok;
}

std::string screenshot_take(time_t when) {
    // The game must not see the time the file takes to write.
    clock_stop();
    std::string path;
    FILE* f = create_numbered(when, &path);
    bool ok = f && screen_write_png(f);
    if (f && fclose(f) != 0) ok = false;
    if (!ok) {
        fprintf(stderr, "gnatrix: cannot save the screenshot%s%s\n", f ? " " : "",
                f ? path.c_str() : "");
        if (f) std::remove(path.c_str());
        path.clear();
    } else {
        std::error_code ignored;
        fprintf(stderr, "gnatrix: screenshot saved as %s\n",
                std::filesystem::absolute(path, ignored).string().c_str());
    }
    clock_go();
    return path;
}

void screenshot_handle_event(const void* sdl_event) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    if (e.type == SDL_KEYDOWN && !e.key.repeat && e.key.keysym.sym == SDLK_PRINTSCREEN)
        screenshot_take(time(nullptr));
}

std::vector<uint8_t> screenshot_read_rgb(const std::string& path, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    *width = int(image.width);
    *height = int(image.height);
    return rgb;
}
