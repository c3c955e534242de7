// The one window and its message queue. Each peek starts a main-loop pass: the dumps due at the
// end of the previous pass are written (or at the end of the loop, for the pass that quit),
// events pumped, the pass hooks run, the screen shown.
#include "platform/window.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "platform/portable/display_objects.h"
#include "platform/resources.h"
#include "platform/screenshot.h"
#include "platform/sdl/internal.h"
#include "platform/settings.h"
#include "platform/system/system.h"

class Window {
  public:
    WindowProc proc;
    SDL_Window* sdl;
    bool paint_pending;
    // The window's size before the last resize, and a size the window manager kept against
    // our 4:3 correction (then the letterbox takes over, rather than a tug of war).
    int width, height;
    int refused_width, refused_height;
    std::string title;
};

Window* main_window = nullptr;
const void* app_instance = nullptr;

namespace {

struct ClassEntry {
    WindowProc proc;
    std::string icon;
};

std::map<std::string, ClassEntry> classes;
Window* the_window = nullptr;
std::deque<MSG> posted;
bool quit_posted = false;
bool close_requested = false;
int quit_code = 0;
uint32_t passes_started = 0;
uint32_t passes_dumped = 0;  // passes whose dumps have been written
bool dump_failed = false;
bool scale_reported = false;

void report(const std::string& message) {
    fprintf(stderr, "gnatrix: %s\n", message.c_str());
}

void write_state_dump(const std::string& path) {
    FILE* out = fopen(path.c_str(), "wb");  // the same bytes on every system
    if (out) {
        if (StateDumper dumper = platform_state_dumper()) dumper(out);
        if (fclose(out) == 0) return;
    }
    dump_failed = true;
    report("cannot write the state dump '" + path + "': " + strerror(errno));
}

void write_screen_dump(const std::string& path) {
    const bool png =
        path.size() > 4 && platform_equal_ignoring_case(path.c_str() + path.size() - 4, ".png");
    if (png ? platform_dump_png(path.c_str()) : platform_dump_screen(path.c_str())) return;
    dump_failed = true;
    report("cannot write the screen dump '" + path + "'");
}

// The dumps due at the end of the last pass started, once.
void write_dumps_of_ended_pass() {
    if (passes_dumped == passes_started) return;
    passes_dumped = passes_started;
    const uint32_t pass = passes_started - 1;
    const Options& options = platform_options();
    for (const PassFile& dump : options.dump_screen) {
        if (dump.pass == pass && !dump.at_end) write_screen_dump(dump.path);
    }
    for (const PassFile& dump : options.dump_state) {
        if (dump.pass == pass && !dump.at_end) write_state_dump(dump.path);
    }
}

// --scale, or the largest whole multiple the desktop holds when none was asked or the one
// asked does not fit (said once: a window cut off by the screen's edges is no use).
void windowed_size(int* width, int* height) {
    const Options& options = platform_options();
    if (options.scale == 0 && options.window_width > 0) {
        // The size the player left the window at (the settings file).
        *width = options.window_width, *height = options.window_height;
        return;
    }
    const int asked = options.scale;
    int scale = std::max(asked, 1);
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        const int fits = std::max(1, std::min(usable.w / 640, usable.h / 480));
        if (asked > fits && !scale_reported) {
            report("--scale " + std::to_string(asked) + " does not fit the desktop (" +
                   std::to_string(usable.w) + "x" + std::to_string(usable.h) + "); using --scale " +
                   std::to_string(fits));
            scale_reported = true;
        }
        scale = asked <= 0 ? fits : std::min(asked, fits);
    }
    *width = 640 * scale;
    *height = 480 * scale;
}

// The window as the settings keep it: full screen or not, and a window's size and place (not
// while full screen, maximised or minimised).
Settings window_settings(bool with_mode) {
    Settings now;
    SDL_Window* sdl = the_window ? the_window->sdl : nullptr;
    if (!sdl) return now;
    const uint32_t flags = SDL_GetWindowFlags(sdl);
    if (with_mode) now.full_screen = (flags & SDL_WINDOW_FULLSCREEN) != 0;
    if (flags & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)) return now;
    int width = 0, height = 0, x = 0, y = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    SDL_GetWindowPosition(sdl, &x, &y);
    now.width = width, now.height = height, now.x = x, now.y = y;
    return now;
}

// The window's picture was lost or its size changed: show the screen again, even unchanged.
void redraw_window() {
    display_window_changed();
    display_present(true);
}

// Full screen is asked of the window manager; where there is none (a bare X server) nothing
// resizes the window, so it is first made the size of the screen it is on.
void cover_display(SDL_Window* sdl) {
    SDL_Rect bounds;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(sdl));
    if (SDL_GetDisplayBounds(display, &bounds) != 0) return;
    SDL_SetWindowPosition(sdl, bounds.x, bounds.y);
    SDL_SetWindowSize(sdl, bounds.w, bounds.h);
}

// Alt+Enter: full screen at the desktop's resolution, or back to a window.
void toggle_full_screen() {
    SDL_Window* sdl = platform_sdl_window();
    if (!sdl) return;
    if (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) {
        int width, height;
        windowed_size(&width, &height);
        SDL_SetWindowFullscreen(sdl, 0);
        SDL_SetWindowSize(sdl, width, height);
        SDL_SetWindowPosition(sdl, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    } else {
        cover_display(sdl);
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    settings_window_changed(window_settings(true));
    redraw_window();
}

// The shape of the screen for a window resized to width x height: the side the player dragged
// further leads, the other follows at 4:3.
void four_by_three(int old_width, int old_height, int* width, int* height) {
    if (std::abs(*width - old_width) * 3 >= std::abs(*height - old_height) * 4)
        *height = (*width * 3 + 2) / 4;
    else
        *width = (*height * 4 + 1) / 3;
}

// A window the player resized keeps the screen's 4:3 shape; full screen, maximised or a size
// the window manager insists on is letterboxed instead.
void keep_shape(int width, int height) {
    Window* w = the_window;
    if (!w || !w->sdl ||
        (SDL_GetWindowFlags(w->sdl) &
         (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)))
        return;
    int shaped_w = width, shaped_h = height;
    four_by_three(w->width, w->height, &shaped_w, &shaped_h);
    const bool refused = width == w->refused_width && height == w->refused_height;
    w->width = width, w->height = height;
    // Within a pixel of 4:3 is 4:3.
    if (std::abs(width * 3 - height * 4) <= 4 || refused) return;
    w->refused_width = width, w->refused_height = height;
    SDL_SetWindowSize(w->sdl, shaped_w, shaped_h);
}

void handle_event(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        post_close_request();
    } else if (event.type == SDL_WINDOWEVENT) {
        switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                post_close_request();
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                if (the_window) the_window->paint_pending = true;
                redraw_window();
                break;
            case SDL_WINDOWEVENT_RESIZED:
                keep_shape(event.window.data1, event.window.data2);
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                settings_window_changed(window_settings(false));
                redraw_window();
                break;
            case SDL_WINDOWEVENT_MOVED:
                settings_window_changed(window_settings(false));
                break;
        }
    } else if (event.type == SDL_KEYDOWN && !event.key.repeat &&
               (event.key.keysym.mod & KMOD_ALT) &&
               (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)) {
        toggle_full_screen();
    }
}

// The game's embedded icon, unless the executable's own serves (it has every size).
void set_window_icon(SDL_Window* sdl, const std::string& icon) {
    ResourceData data;
    if (icon.empty() || system_icon_resource() || !find_resource("ICON", icon.c_str(), &data))
        return;
    if (SDL_Surface* image = icon_decode(data)) {
        SDL_SetWindowIcon(sdl, image);
        SDL_FreeSurface(image);
    }
}

// Where the player left the window, while some of its top-left corner is still on a screen (a
// screen unplugged since must not leave it out of sight).
bool on_a_display(const Options& options) {
    if (!options.has_window_position) return false;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds;
        const SDL_Point corner{options.window_x + 32, options.window_y + 32};
        if (SDL_GetDisplayUsableBounds(i, &bounds) == 0 && SDL_PointInRect(&corner, &bounds))
            return true;
    }
    return false;
}

SDL_Window* open_sdl_window(const char* title, const std::string& icon) {
    int width, height;
    windowed_size(&width, &height);
    uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (on_a_display(platform_options()))
        x = platform_options().window_x, y = platform_options().window_y;
    SDL_Rect screen;
    if (!platform_options().window) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        // Made the size of the screen, so that full screen holds without a window manager too.
        if (SDL_GetDisplayBounds(0, &screen) == 0) {
            x = screen.x;
            y = screen.y;
            width = screen.w;
            height = screen.h;
        }
    }
    SDL_Window* sdl = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!sdl) {
        platform_set_error(std::string("cannot open a window: ") + SDL_GetError());
        return nullptr;
    }
    SDL_SetWindowMinimumSize(sdl, 320, 240);
    set_window_icon(sdl, icon);
    return sdl;
}

void destroy_window() {
    if (the_window && the_window->sdl) {
        present_release();  // its renderer belongs to the window
        SDL_DestroyWindow(the_window->sdl);
    }
    delete the_window;
    the_window = nullptr;
}

bool take_message(MSG* msg) {
    if (!posted.empty()) {
        *msg = posted.front();
        posted.pop_front();
    } else if (quit_posted) {
        quit_posted = false;
        *msg = MSG{nullptr, WM_QUIT, uintptr_t(quit_code), 0};
    } else if (the_window && the_window->paint_pending) {
        // Like the system's paint message: synthesised while the window is invalid.
        *msg = MSG{the_window, WM_PAINT, 0, 0};
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool register_class(const WindowClass& wc) {
    if (!wc.class_name || !wc.proc || classes.count(wc.class_name)) return false;
    classes[wc.class_name] = ClassEntry{wc.proc, wc.icon ? wc.icon : ""};
    return true;
}

Window* create_window(const char* class_name, const char* title, int, int, int, int) {
    auto entry = classes.find(class_name ? class_name : "");
    if (entry == classes.end() || the_window) return nullptr;
    SDL_Window* sdl = nullptr;
    if (!platform_options().headless) {
        sdl = open_sdl_window(title ? title : "", entry->second.icon);
        if (!sdl) return nullptr;
    }
    the_window = new Window{entry->second.proc, sdl, true, 0, 0, 0, 0, title ? title : ""};
    if (sdl) SDL_GetWindowSize(sdl, &the_window->width, &the_window->height);
    settings_window_opened(window_settings(true));
    if (the_window->proc(the_window, WM_CREATE, 0, 0) == -1) {
        destroy_window();
        return nullptr;
    }
    return the_window;
}

SDL_Window* platform_sdl_window() {
    return the_window ? the_window->sdl : nullptr;
}

bool platform_windowed() {
    return platform_sdl_window() != nullptr;
}

void platform_yield() {
    display_present(false);
    platform_pump_events();
}

void platform_deliver_event(const SDL_Event& event) {
    handle_event(event);
    platform_run_event_hooks(event);
}

void platform_pump_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        platform_deliver_event(event);
        background_note(event);
        background_hold();
    }
}

bool window_closing() {
    return close_requested;
}

void window_title_suffix(const char* suffix) {
    if (the_window && the_window->sdl)
        SDL_SetWindowTitle(the_window->sdl, (the_window->title + suffix).c_str());
}

uint32_t platform_pass() {
    return passes_started ? passes_started - 1 : 0;
}

bool peek_message(MSG* msg) {
    write_dumps_of_ended_pass();
    uint32_t pass = passes_started++;
    platform_trace("pass");
    platform_pump_events();
    platform_run_pass_hooks(pass);
    if (platform_options().frames == int64_t(pass)) post_close_request();
    // A timedemo measures the whole frame, so it shows every one.
    display_present(platform_options().timedemo);
    return take_message(msg);
}

void platform_end_pass() {
    write_dumps_of_ended_pass();
}

void translate_message(const MSG*) {}

intptr_t dispatch_message(const MSG* msg) {
    if (!msg || !msg->window) return 0;
    return msg->window->proc(msg->window, msg->message, msg->wParam, msg->lParam);
}

intptr_t def_window_proc(Window* window, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_PAINT && window) window->paint_pending = false;
    return 0;
}

void post_quit_message(int exit_code) {
    quit_posted = true;
    quit_code = exit_code;
}

void post_close_request() {
    if (!the_window) return;
    close_requested = true;
    // Two requests before the first is handled ask for the same thing.
    for (const MSG& waiting : posted) {
        if (waiting.message == WM_CLOSE) return;
    }
    posted.push_back(MSG{the_window, WM_CLOSE, 0, 0});
    platform_trace("close-request");
}

bool window_full_screen() {
    SDL_Window* sdl = platform_sdl_window();
    return sdl && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
}

void begin_paint(Window* window) {
    if (window) window->paint_pending = false;
}

void end_paint(Window*) {}

void platform_write_end_dumps() {
    for (const PassFile& dump : platform_options().dump_state) {
        if (dump.at_end) write_state_dump(dump.path);
    }
}

bool platform_dumps_complete() {
    bool complete = !dump_failed;
    const Options& options = platform_options();
    for (const auto* list : {&options.dump_screen, &options.dump_state}) {
        for (const PassFile& dump : *list) {
            if (dump.at_end || dump.pass < passes_dumped) continue;
            report("'" + dump.path + "' was not written: the game ended before pass " +
                   std::to_string(dump.pass) + " did");
            complete = false;
        }
    }
    return complete;
}

void window_reset() {
    destroy_window();
    classes.clear();
    posted.clear();
    quit_posted = close_requested = false;
    background_reset();
    passes_started = passes_dumped = 0;
    dump_failed = false;
    scale_reported = false;
}
