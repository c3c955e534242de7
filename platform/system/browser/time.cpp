// Time and sleeping in the browser: the page's high-resolution clock, and sleeps that hand the
// main thread back to the browser (Emscripten's asynchronous mode unwinds the game's stack and
// resumes it from a timer), so that it can draw, play sound and deliver input meanwhile.
#include <emscripten.h>

#include <cmath>

#include "platform/system/system.h"

int64_t system_monotonic_ns() {
    return int64_t(emscripten_get_now() * 1e6);
}

// A page has no processor time of its own to read: its wall time stands in.
int64_t system_cpu_ns() {
    return system_monotonic_ns();
}

// A sleep hands the page back to the browser at least once, even when already due: the clock
// sleeps to "now" to let the page draw and hear input during an unpaced run.
void system_sleep_until(int64_t monotonic_ns) {
    int64_t left = monotonic_ns - system_monotonic_ns();
    do {
        emscripten_sleep(left > 0 ? unsigned(std::ceil(double(left) / 1e6)) : 0);
        left = monotonic_ns - system_monotonic_ns();
    } while (left > 0);
}

std::tm system_local_time(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

// The browser's timers are as precise as it makes them.
void system_precise_timers() {}
