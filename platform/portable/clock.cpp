// Milliseconds for the game: a regular millisecond count in real play, a virtual count when
// headless.
#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/portable/shared.h"
#include "platform/system/system.h"

namespace {

bool virtual_mode = false;
uint32_t virtual_ticks = 0;
// Real time the platform spent on its own business (a screenshot, the background) that the game
// must not see.
uint32_t hidden_ms = 0;
// While stopped, the game's ticks stand at stopped_at.
bool stopped = false;
uint32_t stopped_at = 0;
// Where real time comes from: the system's monotonic clock, or a test's.
const ClockSource SYSTEM_SOURCE = {system_monotonic_ns, system_sleep_until};
const ClockSource* source = &SYSTEM_SOURCE;
void (*wait_hook)() = nullptr;

constexpr int64_t NS_PER_MS = 1000000;
// Long waits still pump and present this often, so the window stays responsive.
constexpr int64_t SLICE_NS = 10 * NS_PER_MS;
// A pump and present is only started with this much of the wait left, so it cannot make the
// wait late.
constexpr int64_t YIELD_MARGIN_NS = 2 * NS_PER_MS;
// The last stretch is spun, not slept: a woken thread may be scheduled a little late.
constexpr int64_t SPIN_NS = 200000;
// Waits that need no sleep (late frames, an unpaced replay) still sleep, to no later than now,
// this often: in a browser the page only draws and hears input while the game sleeps.
constexpr int64_t BREATH_NS = 16 * NS_PER_MS;
// The last sleep's instant, on the current source's clock.
bool slept = false;
int64_t last_sleep_ns = 0;

void sleep_until(int64_t monotonic_ns) {
    source->sleep_until(monotonic_ns);
    slept = true;
    last_sleep_ns = monotonic_ns;
}

void breathe(int64_t now_ns) {
    if (!slept || now_ns - last_sleep_ns >= BREATH_NS) sleep_until(now_ns);
}

// Real ticks are whole milliseconds since the first reading, each exactly one millisecond
// long, so a deadline is a known instant that can be slept to. (SDL's millisecond ticks are
// irregular: once a second one is short and another long.)
bool origin_taken = false;
int64_t origin_ns = 0;

int64_t real_origin() {
    if (!origin_taken) origin_ns = source->now_ns();
    origin_taken = true;
    return origin_ns;
}

// The origin is taken first: a reading from before it would count back past zero.
int64_t real_now() {
    real_origin();
    return source->now_ns();
}

uint64_t real_ms(int64_t now_ns) {
    return uint64_t(now_ns - real_origin()) / NS_PER_MS;
}

// The game's ticks: real milliseconds less those hidden from it.
uint32_t real_ticks(int64_t now_ns) {
    return uint32_t(real_ms(now_ns)) - hidden_ms;
}

uint32_t real_wait(uint32_t start, uint32_t ms) {
    system_precise_timers();
    for (;;) {
        int64_t now = real_now();
        const uint32_t elapsed = real_ticks(now) - start;
        if (elapsed >= ms) {
            breathe(now);
            return real_ticks(now);
        }
        // Recomputed each time round: time hidden meanwhile moves the deadline later.
        const int64_t tick_began = real_origin() + int64_t(real_ms(now)) * NS_PER_MS;
        const int64_t deadline = tick_began + int64_t(ms - elapsed) * NS_PER_MS;
        if (deadline - now > YIELD_MARGIN_NS) {
            platform_yield();
            now = real_now();
        }
        if (deadline - now > SPIN_NS) sleep_until(std::min(deadline - SPIN_NS, now + SLICE_NS));
    }
}

}  // namespace

uint32_t clock_ticks() {
    if (virtual_mode) return virtual_ticks;
    return stopped ? stopped_at : real_ticks(real_now());
}

uint32_t clock_wait(uint32_t start, uint32_t ms) {
    if (wait_hook) wait_hook();
    if (!virtual_mode) return real_wait(start, ms);
    platform_yield();
    breathe(source->now_ns());
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

void clock_stop() {
    if (virtual_mode || stopped) return;
    stopped_at = real_ticks(real_now());
    stopped = true;
}

void clock_go() {
    if (!stopped) return;
    stopped = false;
    hidden_ms += real_ticks(real_now()) - stopped_at;
}

void platform_trace(const char* event) {
    static const bool tracing = std::getenv("GNATRIX_TRACE") != nullptr;
    if (!tracing) return;
    std::fprintf(stderr, "gnatrix-trace %s %lld %lld\n", event, (long long)system_monotonic_ns(),
                 (long long)system_cpu_ns());
}

void clock_set_virtual(bool is_virtual) {
    virtual_mode = is_virtual;
    stopped = false;
}

bool clock_is_virtual() {
    return virtual_mode;
}

void clock_set_virtual_ticks(uint32_t ticks) {
    virtual_ticks = ticks;
}

void clock_set_wait_hook(void (*hook)()) {
    wait_hook = hook;
}

void clock_set_real_source(const ClockSource* test_source) {
    source = test_source ? test_source : &SYSTEM_SOURCE;
    origin_taken = false;
    slept = false;
    hidden_ms = 0;
    stopped = false;
}
