// Milliseconds for the game: SDL's ticks in real play, a virtual count when headless.
#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/internal.h"

namespace {

bool virtual_mode = false;
uint32_t virtual_ticks = 0;
// Real time the platform spent on its own business (a screenshot) that the game must not see.
uint32_t hidden_ms = 0;

uint32_t real_ticks() {
    return SDL_GetTicks() - hidden_ms;
}

// The last stretch of a real wait is not slept in whole milliseconds, because a sleep may
// overshoot by a fraction of one; short naps keep the end within the deadline's millisecond.
constexpr uint32_t FINE_MS = 2;
// Long waits still pump and present this often, so the window stays responsive.
constexpr uint32_t SLICE_MS = 10;

uint32_t real_wait(uint32_t start, uint32_t ms) {
    for (;;) {
        uint32_t now = real_ticks();
        uint32_t elapsed = now - start;
        if (elapsed >= ms) return now;
        uint32_t left = ms - elapsed;
        if (left > FINE_MS) {
            platform_yield();
            elapsed = real_ticks() - start;
            if (elapsed + FINE_MS < ms) SDL_Delay(std::min(ms - elapsed - FINE_MS, SLICE_MS));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
}

}  // namespace

uint32_t clock_ticks() {
    return virtual_mode ? virtual_ticks : real_ticks();
}

uint32_t clock_wait(uint32_t start, uint32_t ms) {
    if (!virtual_mode) return real_wait(start, ms);
    platform_yield();
    if (virtual_ticks - start < ms) virtual_ticks = start + ms;
    return virtual_ticks;
}

void clock_sleep(uint32_t ms) {
    clock_wait(clock_ticks(), ms);
}

uint16_t clock_local_milliseconds() {
    // Virtual time keeps headless runs independent of the wall clock.
    if (virtual_mode) return uint16_t(virtual_ticks % 1000);
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return uint16_t(std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() %
                    1000);
}

void clock_hide(uint32_t ms) {
    if (!virtual_mode) hidden_ms += ms;
}

void clock_set_virtual(bool is_virtual) {
    virtual_mode = is_virtual;
}

bool clock_is_virtual() {
    return virtual_mode;
}

void clock_set_virtual_ticks(uint32_t ticks) {
    virtual_ticks = ticks;
}
