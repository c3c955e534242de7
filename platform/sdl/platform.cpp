// Start-up and shut-down of SDL and the platform, the last error, and the pass and event hooks.
#include "platform/platform.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/music.h"
#include "platform/random.h"
#include "platform/screenshot.h"
#include "platform/sdl/internal.h"
#include "platform/settings.h"
#include "platform/sound.h"
#include "platform/system/system.h"

namespace {

std::string last_error;
std::vector<PassHook> pass_hooks;
std::vector<EventHook> event_hooks;
StateDumper state_dumper = nullptr;
SummaryReader summary_reader = nullptr;
bool sdl_up = false;

template <typename Hook>
void add_once(std::vector<Hook>& hooks, Hook hook) {
    if (hook && std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

// SDL falls back on its invisible drivers when there is no display; only an explicit choice
// (SDL_VIDEODRIVER, as the tests make) counts as one.
bool invisible_by_fallback() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (!driver || (strcmp(driver, "offscreen") != 0 && strcmp(driver, "dummy") != 0)) return false;
    return !chosen || !strstr(chosen, driver);
}

bool start_sdl(bool headless) {
    // Headless runs never touch a real display or sound device.
    if (headless)
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    else if (const char* drivers = system_video_drivers())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
    // The executable's own icon, where the system has one: SDL reads it as the video starts.
    if (const char* icon = system_icon_resource()) {
        SDL_SetHint(SDL_HINT_WINDOWS_INTRESOURCE_ICON, icon);
        SDL_SetHint(SDL_HINT_WINDOWS_INTRESOURCE_ICON_SMALL, icon);
    }
    std::string why;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        why = SDL_GetError();
    } else if (!headless && invisible_by_fallback()) {
        why = "no X11, Wayland or console display found";
        SDL_Quit();
    } else {
        return true;
    }
    platform_set_error("no display available (" + why +
                       "); run with --headless to play without a window");
    return false;
}

}  // namespace

const char* platform_error() {
    return last_error.c_str();
}

void platform_set_error(const std::string& message) {
    last_error = message;
}

void platform_set_state_dumper(StateDumper dumper) {
    state_dumper = dumper;
}

void platform_set_summary_reader(SummaryReader reader) {
    summary_reader = reader;
}

bool platform_demo_run() {
    const Options& options = platform_options();
    return options.play_demo || options.timedemo;
}

std::string platform_summary() {
    if (!summary_reader || !platform_demo_run()) return "";
    const GameSummary game = summary_reader();
    char line[160];
    snprintf(line, sizeof line, "score %lld, missed %lld, passes %u, game time %.1f s",
             (long long)game.score, (long long)game.missed, unsigned(platform_pass() + 1),
             clock_ticks() / 1000.0);
    return line;
}

StateDumper platform_state_dumper() {
    return state_dumper;
}

void platform_add_pass_hook(PassHook hook) {
    add_once(pass_hooks, hook);
}

void platform_add_event_hook(EventHook hook) {
    add_once(event_hooks, hook);
}

void platform_run_pass_hooks(uint32_t pass) {
    for (PassHook hook : pass_hooks) hook(pass);
}

void platform_run_event_hooks(const SDL_Event& event) {
    for (EventHook hook : event_hooks) hook(&event);
}

std::string platform_live_objects() {
    const DisplayCounts display = display_live_counts();
    const SoundCounts sound = sound_live_counts();
    const InputCounts input = input_live_counts();
    const MusicCounts music = music_live_counts();
    const std::pair<const char*, int> counts[] = {
        {"displays", display.displays},       {"surfaces", display.surfaces},
        {"palettes", display.palettes},       {"clippers", display.clippers},
        {"sound devices", sound.devices},     {"sound buffers", sound.buffers},
        {"input systems", input.systems},     {"input devices", input.devices},
        {"performances", music.performances}, {"loaders", music.loaders},
        {"segments", music.segments},         {"brushes", brush_live_count()}};
    std::string live;
    for (const auto& [name, count] : counts) {
        if (count == 0) continue;
        live += (live.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
    }
    return live;
}

bool platform_init(const Options& options) {
    platform_set_options(options);
    platform_set_error("");
    // A timedemo replays as fast as it can, with the same timings as the recording.
    clock_set_virtual(options.headless || options.timedemo);
    clock_set_virtual_ticks(0);
    random_fix_seed(options.has_seed, options.seed);
    if (!start_sdl(options.headless)) return false;
    if (TTF_Init() != 0) {
        platform_set_error(std::string("cannot start the font renderer: ") + TTF_GetError());
        SDL_Quit();
        return false;
    }
    sdl_up = true;
    window_reset();
    platform_add_event_hook(screenshot_handle_event);
    platform_add_pass_hook(settings_pass);
    if (!input_platform_init(options)) {
        platform_shutdown();
        return false;
    }
    return true;
}

void platform_shutdown() {
    settings_finish();
    window_reset();
    if (!sdl_up) return;
    sdl_up = false;
    pad_shutdown();
    TTF_Quit();
    SDL_Quit();
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}
