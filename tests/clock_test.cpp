// The clock: virtual waits advance by exactly what is waited, across the 32-bit wrap; real
// waits never end early.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/system/system.h"

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

TEST(RealClock, WaitNeverEndsEarly) {
    Options options;
    options.headless = true;
    ASSERT_TRUE(platform_init(options));
    clock_set_virtual(false);
    // Within the last stretch, within one sleep, and across the slices a long wait pumps in.
    for (uint32_t ms : {0u, 1u, 3u, 12u}) {
        uint32_t start = clock_ticks();
        uint32_t end = clock_wait(start, ms);
        EXPECT_GE(end - start, ms);
        EXPECT_GE(clock_ticks() - start, ms);
    }
    clock_set_virtual(true);
    platform_shutdown();
}

TEST(RealClock, StoppedTimeStandsStillAndIsTakenOutForGood) {
    Options options;
    options.headless = true;
    ASSERT_TRUE(platform_init(options));
    clock_set_virtual(false);
    clock_stop();
    const uint32_t stopped = clock_ticks();
    system_sleep_until(system_monotonic_ns() + 3000000);
    clock_stop();  // a second stop changes nothing
    EXPECT_EQ(clock_ticks(), stopped);
    const int64_t before = system_monotonic_ns();
    clock_go();
    const uint32_t going = clock_ticks();
    const int64_t after = system_monotonic_ns();
    // Only the whole milliseconds since the go (and the one in flight) have passed.
    EXPECT_LE(going - stopped, uint32_t((after - before) / 1000000 + 1));
    const uint32_t start = clock_ticks();
    EXPECT_GE(clock_wait(start, 2) - start, 2u) << "and it runs again";
    clock_set_virtual(true);
    platform_shutdown();
}

}  // namespace
