// Time and sleeping on Windows: the performance counter, and sleeps on a high-resolution
// waitable timer (whole milliseconds of Sleep with a 1 ms timer period where there is none).
#include <windows.h>

#include "platform/system/system.h"

namespace {

constexpr int64_t NS_PER_S = 1000000000;
constexpr int64_t NS_PER_MS = 1000000;
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803), which MinGW's headers do not name yet.
constexpr DWORD HIGH_RESOLUTION_TIMER = 0x2;

int64_t counter_frequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    return frequency;
}

// One per thread: a waitable timer may be waited on by one thread at a time. Null where the
// system has no high-resolution timers (before Windows 10 1803, and Wine).
HANDLE sleep_timer() {
    thread_local HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, HIGH_RESOLUTION_TIMER, TIMER_ALL_ACCESS);
    return timer;
}

int64_t filetime_100ns(const FILETIME& t) {
    return int64_t((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

}  // namespace

int64_t system_monotonic_ns() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t f = counter_frequency();
    return now.QuadPart / f * NS_PER_S + now.QuadPart % f * NS_PER_S / f;
}

int64_t system_cpu_ns() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return (filetime_100ns(kernel) + filetime_100ns(user)) * 100;
}

void system_sleep_until(int64_t monotonic_ns) {
    for (;;) {
        const int64_t left = monotonic_ns - system_monotonic_ns();
        if (left <= 0) return;
        if (HANDLE timer = sleep_timer()) {
            LARGE_INTEGER due;
            due.QuadPart = -((left + 99) / 100);  // relative, in 100 ns units
            if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
                WaitForSingleObject(timer, INFINITE);
                continue;
            }
        }
        // Sleep(n) lasts from n to n + 1 periods: the last period is given up, not slept.
        if (left > 2 * NS_PER_MS)
            Sleep(DWORD((left - NS_PER_MS) / NS_PER_MS));
        else
            SwitchToThread();
    }
}

std::tm system_local_time(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

void system_precise_timers() {
    // The default timer period is 15.6 ms: every Sleep would be late by up to that.
    static const bool precise = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)precise;
}
