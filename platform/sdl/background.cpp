// The program holds still while its window is in the background (the focus lost, or
// minimised): where the game next yields, the platform waits on the window system's events
// instead. No pass runs, the game's clock stands, the sound is paused, the mouse is free, and
// the title says so. The game's own state never learns of it, so recordings replay the same.
#include "platform/clock.h"
#include "platform/sdl/internal.h"

namespace {

constexpr const char* HELD_TITLE = " (paused in background)";

bool focus_lost = false;
bool minimised = false;

bool in_background() {
    return focus_lost || minimised;
}

// Live play in a window that asked for it; a replay is the recording's, not the player's.
bool may_hold() {
    const Options& options = platform_options();
    return platform_sdl_window() && !options.background_run && options.play_file.empty() &&
           !window_closing();
}

// What still gets through while held: the window's own events (a close, an exposure, the focus
// coming back), releases, so that nothing stays held down, and devices coming and going.
bool heard_while_held(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
        case SDL_WINDOWEVENT:
        case SDL_KEYUP:
        case SDL_MOUSEBUTTONUP:
        case SDL_JOYBUTTONUP:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            return true;
        default:
            return false;
    }
}

void enter() {
    clock_stop();
    sound_hold(true);
    input_release_mouse();
    window_title_suffix(HELD_TITLE);
    platform_trace("background");
}

void leave() {
    window_title_suffix("");
    sound_hold(false);
    clock_go();
    platform_trace("foreground");
}

}  // namespace

void background_note(const SDL_Event& event) {
    if (event.type != SDL_WINDOWEVENT) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
            focus_lost = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            focus_lost = false;
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            minimised = true;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            minimised = false;
            break;
    }
}

void background_hold() {
    if (!in_background() || !may_hold()) return;
    enter();
    SDL_Event event;
    // Sleeps in the window system until something comes; a close ends the hold, and the game.
    while (in_background() && !window_closing() && SDL_WaitEvent(&event)) {
        background_note(event);
        if (heard_while_held(event)) platform_deliver_event(event);
    }
    leave();
}

void background_reset() {
    focus_lost = minimised = false;
}
