// The music performance: made after the sound device and closed before it, the segment slots'
// play, stop and status, and shut-down with or without a device.
#include "audio/music.h"

#include <gtest/gtest.h>

#include "audio/sound.h"
#include "platform/clock.h"
#include "platform/music.h"
#include "platform/platform.h"
#include "platform/sound.h"

namespace {

class MusicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
        sound_capture_mode(true);
        sound_first_init = 1;
        ASSERT_EQ(snd_init(), 1);
    }
    void TearDown() override {
        mus_shutdown();
        snd_shutdown();
        sound_capture_mode(false);
        platform_shutdown();
    }
    // Puts a silent segment into a slot, as a loader would.
    void fill(int index, uint32_t length_ms) {
        music_slots[index].segment = music_loader->create_segment(length_ms);
        music_slots[index].status = MUSIC_STOPPED;
    }
};

TEST_F(MusicTest, MadeAfterTheSoundDeviceAndClosedBeforeIt) {
    ASSERT_EQ(mus_init(), 1);
    EXPECT_NE(music_performance, nullptr);
    EXPECT_NE(music_loader, nullptr);
    EXPECT_EQ(music_active, -1);
    EXPECT_EQ(music_slots[63].id, 63);
    MusicCounts made = music_live_counts();
    EXPECT_EQ(made.performances, 1);
    EXPECT_EQ(made.loaders, 1);
    EXPECT_EQ(made.bound, 1) << "plays through the game's sound device";

    EXPECT_EQ(mus_shutdown(), 1);
    MusicCounts closed = music_live_counts();
    EXPECT_EQ(closed.performances, 0);
    EXPECT_EQ(closed.loaders, 0);
    EXPECT_EQ(closed.bound, 0);
    EXPECT_EQ(sound_live_counts().devices, 1) << "the sound device outlives the performance";
    EXPECT_EQ(mus_shutdown(), 1);
    EXPECT_EQ(music_performance, nullptr);
}

TEST_F(MusicTest, SlotsPlayStopAndReportTheirStatus) {
    ASSERT_EQ(mus_init(), 1);
    fill(3, 1000);
    fill(5, 1000);
    clock_set_virtual_ticks(5000);
    EXPECT_EQ(mus_play(3), 1);
    EXPECT_EQ(music_active, 3);
    EXPECT_NE(music_slots[3].segment_state, nullptr);
    EXPECT_EQ(mus_status(3), MUSIC_PLAYING);
    clock_set_virtual_ticks(5999);
    EXPECT_EQ(mus_status(3), MUSIC_PLAYING);
    clock_set_virtual_ticks(6000);
    EXPECT_EQ(mus_status(3), MUSIC_STOPPED) << "a segment ends after its length";

    // Starting another slot stops the active one.
    EXPECT_EQ(mus_play(3), 1);
    EXPECT_EQ(mus_play(5), 1);
    EXPECT_EQ(music_active, 5);
    EXPECT_EQ(mus_status(3), MUSIC_STOPPED);
    EXPECT_EQ(mus_status(5), MUSIC_PLAYING);
    EXPECT_EQ(mus_stop(5), 1);
    EXPECT_EQ(music_active, -1);
    EXPECT_EQ(mus_status(5), MUSIC_STOPPED);

    // Empty or unknown slots do nothing.
    EXPECT_EQ(mus_play(7), 0);
    EXPECT_EQ(mus_stop(7), 0);
    EXPECT_EQ(mus_status(7), 0);
    EXPECT_EQ(mus_play(-1), 0);
    EXPECT_EQ(mus_status(64), 0);

    EXPECT_EQ(music_live_counts().segments, 2);
    mus_shutdown();
    EXPECT_EQ(music_live_counts().segments, 0) << "shut-down unloads every slot";
    EXPECT_EQ(music_slots[3].segment, nullptr);
    EXPECT_EQ(music_slots[3].status, 0);
}

TEST_F(MusicTest, RunsWithoutASoundDevice) {
    snd_shutdown();
    EXPECT_EQ(mus_init(), 1);
    EXPECT_EQ(music_live_counts().bound, 0);
    EXPECT_EQ(mus_play(0), 0);
    EXPECT_EQ(mus_shutdown(), 1);
    EXPECT_EQ(mus_shutdown(), 1);
    EXPECT_EQ(music_live_counts().performances, 0);
}

}  // namespace
