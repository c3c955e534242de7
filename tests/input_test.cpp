// The game's input devices: set-up step by step, reads into the state buffers, and releases
// that are harmless when repeated.
#include "input/input.h"

#include <gtest/gtest.h>

namespace {

class GameInput : public ::testing::Test {
  protected:
    void SetUp() override { input_reset(); }
    void TearDown() override {
        inp_release_joystick();
        inp_release_mouse();
        inp_release_keyboard();
        inp_shutdown();
    }
};

TEST_F(GameInput, DevicesAreCreatedConfiguredAndAcquired) {
    ASSERT_EQ(inp_init(), 1);
    ASSERT_EQ(inp_create_keyboard(), 1);
    ASSERT_EQ(inp_create_mouse(), 1);
    EXPECT_EQ(input_live_counts().systems, 1);
    EXPECT_EQ(input_live_counts().devices, 2);

    // Acquired: the reads work, and the mouse's motion is what came since the last read.
    keyboard_state[0x01] = 0x55;
    EXPECT_TRUE(keyboard_device->get_device_state(256, keyboard_state));
    EXPECT_EQ(keyboard_state[0x01], 0);
    input_begin_pass(0);
    EXPECT_TRUE(mouse_device->get_device_state(sizeof mouse_state, &mouse_state));
    EXPECT_EQ(mouse_state.lX, 0);
    EXPECT_EQ(mouse_state.rgbButtons[0], 0);
}

TEST_F(GameInput, WithoutTheInputServiceNothingIsCreated) {
    EXPECT_EQ(inp_create_keyboard(), 0);
    EXPECT_EQ(inp_create_mouse(), 0);
    EXPECT_EQ(keyboard_device, nullptr);
    EXPECT_EQ(mouse_device, nullptr);
    EXPECT_EQ(input_live_counts().devices, 0);
}

TEST_F(GameInput, ReleasingTwiceReleasesOnce) {
    InputCounts before = input_live_counts();
    ASSERT_EQ(inp_init(), 1);
    ASSERT_EQ(inp_create_keyboard(), 1);
    ASSERT_EQ(inp_create_mouse(), 1);
    for (int i = 0; i < 2; ++i) {
        inp_release_mouse();
        EXPECT_EQ(mouse_device, nullptr);
        EXPECT_EQ(input_live_counts().devices, before.devices + 1);
    }
    for (int i = 0; i < 2; ++i) {
        inp_release_keyboard();
        EXPECT_EQ(input_live_counts().devices, before.devices);
    }
    for (int i = 0; i < 2; ++i) {
        inp_shutdown();
        EXPECT_EQ(direct_input, nullptr);
        EXPECT_EQ(input_live_counts().systems, before.systems);
    }
}

TEST_F(GameInput, NoJoystickAttachedLeavesTheDeviceNull) {
    ASSERT_EQ(inp_init(), 1);
    EXPECT_EQ(inp_create_joystick(-100, 100, -100, 100, 500), 0);
    EXPECT_EQ(joystick_device, nullptr);
    inp_release_joystick();
}

}  // namespace
