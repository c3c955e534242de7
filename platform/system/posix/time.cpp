// Time and sleeping on POSIX: CLOCK_MONOTONIC, absolute sleeps, and one-nanosecond timer slack.
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "platform/system/system.h"

namespace {

int64_t clock_ns(clockid_t id) {
    timespec t;
    clock_gettime(id, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

int64_t system_monotonic_ns() {
    return clock_ns(CLOCK_MONOTONIC);
}

int64_t system_cpu_ns() {
    return clock_ns(CLOCK_PROCESS_CPUTIME_ID);
}

void system_sleep_until(int64_t monotonic_ns) {
    const timespec t{time_t(monotonic_ns / 1000000000), long(monotonic_ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

std::tm system_local_time(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

void system_precise_timers() {
    // The kernel's default timer slack would add up to 50 us to every sleep.
    static const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)precise;
}
