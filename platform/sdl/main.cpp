// The program's entry: reads the command line, starts the platform and runs the game.
#define SDL_MAIN_HANDLED
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/input.h"
#include "platform/sdl/internal.h"
#include "platform/settings.h"
#include "platform/system/system.h"

int main(int argc, char** argv) {
    system_standard_streams();
    app_register_hooks();
    Options options;
    std::string message;
    bool exit_now = false;
    if (!parse_options(argc, argv, &options, &message, &exit_now)) {
        system_report_fatal(message.c_str());
        return 2;
    }
    if (exit_now) {
        fputs(message.c_str(), stdout);
        return 0;
    }
    settings_start(&options);
    if (!platform_enter_data_dir(&options, &message)) {
        system_report_fatal(message.c_str());
        return 1;
    }
    if (!platform_init(options)) {
        system_report_fatal(platform_error());
        return 1;
    }
    const uint64_t started = SDL_GetPerformanceCounter();
    int result = WinMain();
    platform_write_end_dumps();
    const double seconds =
        double(SDL_GetPerformanceCounter() - started) / double(SDL_GetPerformanceFrequency());
    const std::string summary = platform_summary();
    if (!summary.empty()) printf("%s\n", summary.c_str());
    if (options.timedemo)
        printf("timedemo: %u frames in %.3f s, %.1f frames per second\n", platform_pass() + 1,
               seconds, (platform_pass() + 1) / std::max(seconds, 1e-9));
    bool script_ok = input_platform_finish();
    if (!script_ok) fprintf(stderr, "gnatrix: %s\n", platform_error());
    // A requested dump that is missing must not look like success to whoever asked for it.
    bool dumps_complete = platform_dumps_complete();
    // A failure met during the run (a missing resource, a device) was reported where it
    // happened; it still must not end with the status of a normal quit.
    bool failed = !script_ok || !dumps_complete || *platform_error();
    // A debugging check: everything the game made was released by the time it returned.
    if (getenv("GNATRIX_CHECK_RELEASES")) {
        std::string live = platform_live_objects();
        if (!live.empty()) fprintf(stderr, "gnatrix: still alive at exit: %s\n", live.c_str());
        failed |= !live.empty();
    }
    platform_shutdown();
    return failed && result == 0 ? 1 : result;
}
