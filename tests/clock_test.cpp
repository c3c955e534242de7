// The clock: virtual waits advance by exactly what is waited, across the 32-bit wrap; real
// waits, on a stand-in for the system's clock, end in their deadline's tick, and time hidden
// from the game never reaches it.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace {

class VirtualClock : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
    }
    void TearDown() override { platform_shutdown(); }
};

TEST_F(VirtualClock, WaitsAndSleepsAdvanceExactly) {
    clock_set_virtual_ticks(1000);
    EXPECT_EQ(clock_ticks(), 1000u);
    EXPECT_EQ(clock_ticks(), 1000u) << "reading the time must not move it";
    EXPECT_EQ(clock_wait(1000, 35), 1035u);
    EXPECT_EQ(clock_ticks(), 1035u);
    // A frame that started earlier only waits for what is left of it.
    EXPECT_EQ(clock_wait(1020, 35), 1055u);
    // A deadline already passed returns at once.
    EXPECT_EQ(clock_wait(1000, 35), 1055u);
    clock_sleep(250);
    EXPECT_EQ(clock_ticks(), 1305u);
    EXPECT_EQ(clock_ticks(), 1305u);
}

TEST_F(VirtualClock, WaitAcrossTheWrap) {
    clock_set_virtual_ticks(0xFFFFFFF0u);
    uint32_t start = clock_ticks();
    EXPECT_EQ(clock_wait(start, 35), 19u);
    EXPECT_EQ(clock_ticks(), 19u);
    // Started before the wrap, already past its deadline after it.
    clock_set_virtual_ticks(40);
    EXPECT_EQ(clock_wait(0xFFFFFFF0u, 35), 40u);
    // Started before the wrap, deadline still ahead after it.
    clock_set_virtual_ticks(5);
    EXPECT_EQ(clock_wait(0xFFFFFFFAu, 35), 29u);
}

TEST_F(VirtualClock, LocalMillisecondsFollowVirtualTime) {
    clock_set_virtual_ticks(123456);
    EXPECT_EQ(clock_local_milliseconds(), 456);
}

constexpr int64_t MS = 1000000;

// The stand-in for the monotonic clock: each reading takes 40 us (the last stretch of a wait is
// spun on readings), and a sleep ends 30 us after its instant, as a woken thread does.
int64_t fake_now = 0;
int64_t fake_origin = -1;  // the first reading, where the real ticks count from
int64_t fake_last = 0;     // the last reading
void (*fake_during_sleep)() = nullptr;

int64_t fake_read() {
    if (fake_origin < 0) fake_origin = fake_now;
    fake_last = fake_now;
    fake_now += 40000;
    return fake_last;
}

void fake_sleep(int64_t until) {
    if (fake_during_sleep) fake_during_sleep();
    fake_now = std::max(fake_now, until) + 30000;
}

const ClockSource FAKE_TIME = {fake_read, fake_sleep};

// The headless platform of the virtual clock's tests, its clock made real.
class RealClock : public VirtualClock {
  protected:
    void SetUp() override {
        VirtualClock::SetUp();
        clock_set_virtual(false);
        fake_now = 7000 * MS + 123456;
        fake_origin = -1;
        fake_during_sleep = nullptr;
        clock_set_real_source(&FAKE_TIME);
        clock_ticks();
    }
    void TearDown() override {
        clock_set_real_source(nullptr);
        clock_set_virtual(true);
        VirtualClock::TearDown();
    }
    // Where the clock stands, to within a reading, in milliseconds since its origin.
    static double now_ms() { return double(fake_last - fake_origin) / MS; }
};

// Within the last stretch, within one sleep, across the slices a long wait pumps in, from the
// middle of a tick, and across the wrap of the 32-bit count: a wait ends in its deadline's
// tick, never before it and not a tick later.
TEST_F(RealClock, WaitEndsInTheTickOfItsDeadline) {
    for (int64_t from : {int64_t(600000), (int64_t(1) << 32) * MS - 20 * MS}) {
        fake_now = fake_origin + from;
        for (uint32_t ms : {0u, 1u, 3u, 12u, 35u}) {
            const uint32_t start = clock_ticks();
            const uint32_t end = clock_wait(start, ms);
            EXPECT_EQ(end, start + ms) << "from " << start;
            EXPECT_GE(now_ms(), double(start) + ms) << "returned in the tick it waited for";
            EXPECT_EQ(clock_ticks(), start + ms) << "from " << start << ", " << ms << " ms";
        }
    }
}

// Time hidden from the game (a screenshot saved, the window in the background) never reaches
// it: not while stopped, not after, and not in a wait it falls inside.
TEST_F(RealClock, StoppedTimeStandsStillAndIsTakenOutForGood) {
    fake_now = fake_origin + 10 * MS + 300000;
    clock_stop();
    const uint32_t stopped = clock_ticks();
    EXPECT_EQ(stopped, 10u);
    fake_now += 3 * MS;
    clock_stop();  // a second stop changes nothing
    fake_now += 500 * MS;
    EXPECT_EQ(clock_ticks(), stopped);
    clock_go();
    EXPECT_EQ(clock_ticks(), stopped) << "the go starts from where the stop left it";
    fake_now += 20 * MS;
    EXPECT_EQ(clock_ticks(), stopped + 20) << "and it runs again";

    fake_during_sleep = [] {
        clock_stop();
        fake_now += 250 * MS;
        clock_go();
        fake_during_sleep = nullptr;
    };
    const uint32_t start = clock_ticks();
    const double began = now_ms();
    EXPECT_EQ(clock_wait(start, 35), start + 35);
    EXPECT_EQ(clock_ticks(), start + 35);
    EXPECT_NEAR(now_ms() - began, 285, 1) << "35 ms of the game's time, 250 more of the system's";
}

// Late frames, and the unpaced waits of the virtual clock, need no sleep; they still sleep (to
// no later than now) every 16 ms of real time, or a browser page would never be drawn. Not at
// every wait, though: each such sleep costs the page a timer.
std::vector<int64_t> sleeps_at;
TEST_F(RealClock, WaitsThatNeedNoSleepStillSleepEvery16Ms) {
    for (bool virtual_time : {false, true}) {
        clock_set_virtual(virtual_time);
        sleeps_at.clear();
        fake_during_sleep = [] { sleeps_at.push_back(fake_now); };
        for (int frame = 0; frame < 100; ++frame) {
            fake_now += 5 * MS;
            clock_wait(clock_ticks(), 0);
        }
        ASSERT_GE(sleeps_at.size(), 2u) << "virtual: " << virtual_time;
        EXPECT_LE(sleeps_at.size(), 34u) << "virtual: " << virtual_time;
        for (size_t i = 1; i < sleeps_at.size(); ++i)
            EXPECT_LE(sleeps_at[i] - sleeps_at[i - 1], 21 * MS) << "virtual: " << virtual_time;
    }
}

}  // namespace
