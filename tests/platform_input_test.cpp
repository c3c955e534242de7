// Live input through SDL events: the per-pass sample, the mouse device's accumulated motion and
// button bytes, key states, the cursor count and the joystick device.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/sdl/internal.h"
#include "platform/window.h"
#include "tests/game_harness.h"
#include "tests/test_window.h"

namespace {

void send(const SDL_Event& e) {
    input_handle_event(&e);
}

void key(SDL_Keycode sym, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.sym = sym;
    e.key.repeat = repeat;
    send(e);
}

void motion(int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    send(e);
}

void button(uint8_t which, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = which;
    send(e);
}

class LiveInput : public ::testing::Test {
  protected:
    void SetUp() override {
        input_reset();
        show_cursor(false);  // as the game plays
        system_ = InputSystem::create();
        mouse_ = system_->create_device(DeviceType::Mouse);
        ASSERT_TRUE(mouse_->set_cooperative_level(nullptr, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE));
        ASSERT_TRUE(mouse_->set_data_format(DataFormat::Mouse));
        ASSERT_TRUE(mouse_->acquire());
    }
    void TearDown() override {
        mouse_->release();
        system_->release();
    }
    DIMOUSESTATE read_mouse() {
        DIMOUSESTATE state{};
        EXPECT_TRUE(mouse_->get_device_state(sizeof state, &state));
        return state;
    }
    void pass() { input_begin_pass(pass_++); }

    InputSystem* system_ = nullptr;
    InputDevice* mouse_ = nullptr;
    uint32_t pass_ = 0;
};

TEST_F(LiveInput, MotionIsSummedAtPassStartsAndEmptiedByARead) {
    motion(3, -1);
    motion(4, 2);
    motion(-2, 5);
    EXPECT_EQ(read_mouse().lX, 0) << "motion enters at the start of a pass only";
    pass();
    motion(100, 100);  // during the pass: kept for the next one
    DIMOUSESTATE first = read_mouse();
    EXPECT_EQ(first.lX, 5);
    EXPECT_EQ(first.lY, 6);
    DIMOUSESTATE again = read_mouse();
    EXPECT_EQ(again.lX, 0);
    EXPECT_EQ(again.lY, 0);
    pass();
    pass();  // motion of passes not read in between adds up
    motion(1, 1);
    pass();
    EXPECT_EQ(read_mouse().lX, 101);
}

TEST_F(LiveInput, ButtonByteFollowsPressAndReleaseAndAShortClickIsNeverLost) {
    button(SDL_BUTTON_LEFT, true);
    pass();
    EXPECT_EQ(read_mouse().rgbButtons[0], 0x80);
    pass();
    EXPECT_EQ(read_mouse().rgbButtons[0], 0x80) << "held";
    button(SDL_BUTTON_LEFT, false);
    pass();
    EXPECT_EQ(read_mouse().rgbButtons[0], 0);

    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_LEFT, false);
    pass();
    DIMOUSESTATE clicked = read_mouse();
    EXPECT_EQ(clicked.rgbButtons[0], 0x80) << "pressed and released between two samples";
    EXPECT_EQ(key_state(VK_LBUTTON) & 0x8000, 0x8000);
    pass();
    EXPECT_EQ(read_mouse().rgbButtons[0], 0) << "counted down once only";

    button(SDL_BUTTON_RIGHT, true);
    pass();
    DIMOUSESTATE right = read_mouse();
    EXPECT_EQ(right.rgbButtons[0], 0);
    EXPECT_EQ(right.rgbButtons[1], 0x80);
}

TEST_F(LiveInput, KeyStateAnswersFromTheSample) {
    key(SDLK_F2, true);
    EXPECT_EQ(key_state(VK_F2), 0) << "not before the pass starts";
    pass();
    EXPECT_EQ(uint16_t(key_state(VK_F2)), 0x8000);
    key(SDLK_F2, true, true);  // auto-repeat changes nothing
    key(SDLK_F2, false);
    EXPECT_NE(key_state(VK_F2), 0) << "the sample holds for the whole pass";
    pass();
    EXPECT_EQ(key_state(VK_F2), 0);

    key(SDLK_SPACE, true);
    key(SDLK_SPACE, false);
    key(SDLK_a, true);
    pass();
    EXPECT_NE(key_state(VK_SPACE), 0);
    EXPECT_NE(key_state('A'), 0);
    pass();
    EXPECT_EQ(key_state(VK_SPACE), 0);
    EXPECT_NE(key_state('A'), 0);
    EXPECT_EQ(key_state(-1), 0);
    EXPECT_EQ(key_state(1000), 0);
}

TEST_F(LiveInput, WhileTheCursorIsShownOnlyWhatIsHeldAtTheSampleCounts) {
    show_cursor(true);  // the control panel is open
    key(SDLK_ESCAPE, true);
    key(SDLK_ESCAPE, false);
    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_LEFT, false);
    key(SDLK_F3, true);
    pass();
    EXPECT_EQ(key_state(VK_ESCAPE), 0) << "Esc in the panel must not quit the game after it";
    EXPECT_EQ(read_mouse().rgbButtons[0], 0) << "nor the click on OK fire";
    EXPECT_NE(key_state(VK_F3), 0) << "a key still held counts";
}

TEST_F(LiveInput, KeyboardDeviceGivesKeyBytesByDirectInputCode) {
    InputDevice* keyboard = system_->create_device(DeviceType::Keyboard);
    ASSERT_FALSE(keyboard->set_data_format(DataFormat::Mouse));
    ASSERT_TRUE(keyboard->set_data_format(DataFormat::Keyboard));
    ASSERT_TRUE(keyboard->acquire());
    key(SDLK_ESCAPE, true);
    key(SDLK_F1, true);
    pass();
    uint8_t bytes[256];
    ASSERT_TRUE(keyboard->get_device_state(256, bytes));
    EXPECT_EQ(bytes[0x01], 0x80);
    EXPECT_EQ(bytes[0x3B], 0x80);
    EXPECT_EQ(bytes[0x3C], 0);
    EXPECT_FALSE(keyboard->get_device_state(16, bytes));
    keyboard->release();
}

TEST_F(LiveInput, ReadsNeedAnAcquiredDeviceAndTheRightSize) {
    DIMOUSESTATE state = {7, 7, 7, {7, 7, 7, 7}};
    EXPECT_FALSE(mouse_->get_device_state(sizeof state - 1, &state));
    motion(9, 9);
    pass();
    ASSERT_TRUE(mouse_->unacquire());
    EXPECT_FALSE(mouse_->unacquire());
    EXPECT_FALSE(mouse_->get_device_state(sizeof state, &state));
    EXPECT_EQ(state.lX, 7) << "a failed read leaves the buffer alone";
    motion(5, 5);
    pass();  // not acquired: not counted
    ASSERT_TRUE(mouse_->acquire());
    EXPECT_EQ(read_mouse().lX, 0);

    InputDevice* fresh = system_->create_device(DeviceType::Mouse);
    EXPECT_FALSE(fresh->acquire()) << "no data format yet";
    EXPECT_FALSE(fresh->set_cooperative_level(nullptr, DISCL_BACKGROUND));
    EXPECT_FALSE(fresh->set_cooperative_level(
        nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    fresh->release();
}

TEST_F(LiveInput, HugeMotionSaturatesInsteadOfOverflowing) {
    for (int i = 0; i < 3; ++i) motion(INT32_MAX / 2 + 1, INT32_MIN / 2 - 1);
    pass();
    motion(INT32_MAX / 2, 0);
    pass();
    DIMOUSESTATE state = read_mouse();
    EXPECT_EQ(state.lX, INT32_MAX);
    EXPECT_EQ(state.lY, INT32_MIN);
}

TEST_F(LiveInput, WheelNotchesAreOneHundredTwentyUnits) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = -2;
    send(e);
    pass();
    EXPECT_EQ(read_mouse().lZ, -240);
}

TEST(Cursor, ShowCursorKeepsADisplayCount) {
    input_reset();
    EXPECT_EQ(show_cursor(false), -1);
    EXPECT_EQ(show_cursor(false), -2);
    EXPECT_EQ(show_cursor(true), -1);
    EXPECT_EQ(show_cursor(true), 0);
    EXPECT_EQ(show_cursor(true), 1);
    EXPECT_FALSE(input_mouse_captured()) << "no window: nothing to capture";
    ASSERT_TRUE(set_cursor_pos(320, 240));
    int x, y;
    cursor_pos(&x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
}

TEST(KeyNames, NamesAndCodesGoBothWays) {
    EXPECT_EQ(key_from_name("escape"), VK_ESCAPE);
    EXPECT_EQ(key_from_name("f12"), VK_F12);
    EXPECT_EQ(key_from_name("return"), VK_RETURN);
    EXPECT_STREQ(key_name(VK_RETURN), "enter");
    EXPECT_EQ(key_from_name("q"), 'Q');
    EXPECT_STREQ(key_name('7'), "7");
    EXPECT_EQ(key_from_name("F2"), 0);
    EXPECT_EQ(key_from_name(""), 0);
    EXPECT_EQ(key_name(0xFF), nullptr);
}

TEST(Joystick, AxisValuesFillTheRangeOutsideTheDeadZone) {
    EXPECT_EQ(joystick_axis_value(-32768, -1000, 1000, 0), -1000);
    EXPECT_EQ(joystick_axis_value(32767, -1000, 1000, 0), 1000);
    EXPECT_EQ(joystick_axis_value(0, -1000, 1000, 0), 0);
    EXPECT_EQ(joystick_axis_value(3000, -1000, 1000, 1000), 0) << "inside a 10% dead zone";
    EXPECT_EQ(joystick_axis_value(32767, -1000, 1000, 1000), 1000);
    EXPECT_EQ(joystick_axis_value(16384, 0, 100, 0), 75);
    EXPECT_EQ(joystick_axis_value(-32768, 0, 100, 10000), 50) << "all dead zone";
}

TEST(Joystick, ReadsTheFirstAttachedJoystick) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 2, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    InputSystem* system = InputSystem::create();
    InputDevice* joystick = system->create_device(DeviceType::Joystick);
    ASSERT_NE(joystick, nullptr);
    ASSERT_TRUE(joystick->set_data_format(DataFormat::Joystick));
    ASSERT_TRUE(joystick->set_axis_range(JoystickAxis::X, -100, 100));
    ASSERT_TRUE(joystick->set_dead_zone(2000));
    EXPECT_FALSE(joystick->set_axis_range(JoystickAxis::Y, 5, 5));
    ASSERT_TRUE(joystick->acquire());
    EXPECT_FALSE(joystick->set_dead_zone(0)) << "properties are set before acquiring";

    SDL_Joystick* virtual_stick = SDL_JoystickOpen(index);
    SDL_JoystickSetVirtualAxis(virtual_stick, 0, 32767);
    SDL_JoystickSetVirtualAxis(virtual_stick, 1, 0);
    SDL_JoystickSetVirtualButton(virtual_stick, 1, 1);
    DIJOYSTATE state{};
    ASSERT_TRUE(joystick->get_device_state(sizeof state, &state));
    EXPECT_EQ(state.lX, 100);
    EXPECT_EQ(state.lY, 32768) << "default range 0..65535, centred";
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80);

    joystick->release();
    system->release();
    SDL_JoystickClose(virtual_stick);
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace

namespace {

void window_event(uint8_t which) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    send(e);
}

// A real window (on SDL's dummy driver), focus and clicks given as events.
class Capture : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.window = true;
        ASSERT_TRUE(platform_init(options)) << platform_error();
        ASSERT_NE(open_test_window("CAPTURE", CS_OWNDC), nullptr);
        input_reset();
    }
    void TearDown() override {
        input_reset();
        platform_shutdown();
    }
};

TEST_F(Capture, HiddenCursorInAFocusedWindowCapturesTheMouse) {
    window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(input_mouse_captured()) << "the cursor is shown";
    show_cursor(false);
    EXPECT_TRUE(input_mouse_captured());
    show_cursor(true);
    EXPECT_FALSE(input_mouse_captured()) << "showing the cursor releases the mouse";
    show_cursor(false);
    EXPECT_TRUE(input_mouse_captured());
}

TEST_F(Capture, FocusLossAndAltTabReleaseUntilAClickThatIsNotAShot) {
    show_cursor(false);
    window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_TRUE(input_mouse_captured());
    window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_FALSE(input_mouse_captured());
    window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(input_mouse_captured()) << "back in the window, still released";
    button(SDL_BUTTON_LEFT, true);
    EXPECT_TRUE(input_mouse_captured());
    button(SDL_BUTTON_LEFT, false);
    input_begin_pass(0);
    EXPECT_EQ(key_state(VK_LBUTTON), 0) << "the click that captured did not fire";

    SDL_Event alt_tab{};
    alt_tab.type = SDL_KEYDOWN;
    alt_tab.key.keysym.sym = SDLK_TAB;
    alt_tab.key.keysym.mod = KMOD_LALT;
    send(alt_tab);
    EXPECT_FALSE(input_mouse_captured());
    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_LEFT, true);
    input_begin_pass(1);
    EXPECT_NE(key_state(VK_LBUTTON), 0) << "once captured, clicks are shots again";
}

}  // namespace

namespace {

int rumbles = 0;
int count_rumble(void*, uint16_t, uint16_t) {
    ++rumbles;
    return 0;
}

// A real game controller without hardware: SDL's virtual joystick, opened by the platform as a
// pad, its buttons and axes in the controller's own order.
class Pad : public ::testing::Test {
  protected:
    void start(bool headless = false, bool rumble = true) {
        Options options;
        options.window = !headless;
        options.headless = headless;
        options.rumble = rumble;
        ASSERT_TRUE(platform_init(options)) << platform_error();
        clock_set_virtual(true);
        show_cursor(false);
        system_ = InputSystem::create();
        mouse_ = system_->create_device(DeviceType::Mouse);
        ASSERT_TRUE(mouse_->set_data_format(DataFormat::Mouse));
        ASSERT_TRUE(mouse_->acquire());
        plug();
    }
    void plug() {
        stick_ = attach_virtual_pad(count_rumble);
        ASSERT_NE(stick_, nullptr) << SDL_GetError();
        pass();  // the pad arrives as an event
    }
    void unplug() {
        detach_virtual_pad(stick_);
        stick_ = nullptr;
    }
    void TearDown() override {
        if (stick_) unplug();
        mouse_->release();
        system_->release();
        platform_shutdown();
    }
    void button(SDL_GameControllerButton b, bool down) {
        SDL_JoystickSetVirtualButton(stick_, b, down);
    }
    void axis(SDL_GameControllerAxis a, int value) {
        SDL_JoystickSetVirtualAxis(stick_, a, int16_t(value));
    }
    // One pass of 35 ms, as play runs; the game reads the mouse when it steers.
    DIMOUSESTATE pass(bool steering = true) {
        clock_sleep(35);
        platform_pump_events();
        input_begin_pass(pass_++);
        DIMOUSESTATE state{};
        if (steering) {
            EXPECT_TRUE(mouse_->get_device_state(sizeof state, &state));
        }
        return state;
    }
    InputSystem* system_ = nullptr;
    InputDevice* mouse_ = nullptr;
    SDL_Joystick* stick_ = nullptr;
    uint32_t pass_ = 0;
};

TEST_F(Pad, TheStickSteersAtTheChosenSpeedAndRestsInsideTheDeadZone) {
    start();
    ASSERT_EQ(pad_count(), 1);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
    int32_t moved = 0;
    pass();
    for (int i = 0; i < 20; ++i) moved += pass().lX;  // 700 ms at full tilt
    // Two screen widths a second: 640 units (1280 rocket pixels) a second.
    EXPECT_NEAR(moved, 448, 1);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 7000);  // inside the dead zone
    pass();
    EXPECT_EQ(pass().lX, 0);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -10000);  // a touch: a unit now and then
    moved = 0;
    for (int i = 0; i < 40; ++i) moved += pass().lY;
    EXPECT_LT(moved, 0);
    EXPECT_GT(moved, -8);
    // Outside play (no mouse read) the stick is the arrow keys and moves nothing.
    axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
    for (int i = 0; i < 4; ++i) pass(false);
    EXPECT_NE(key_state(VK_DOWN), 0);
    // Only the pass in which the game stopped steering still moved it.
    EXPECT_LE(pass().lY, 23) << "no motion was kept while the game did not steer";
}

TEST_F(Pad, AAndTheTriggerFireStartYXAndBackAreTheirKeys) {
    start();
    button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(pass().rgbButtons[0], 0x80);
    EXPECT_EQ(pass().rgbButtons[0], 0x80) << "held";
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(pass().rgbButtons[0], 0);
    // The trigger fires past half its travel and lets go below a quarter; in between it stays
    // as it was, so a finger resting there cannot make it chatter. (Its travel is the virtual
    // axis's whole range: -8768 is about three eighths of it.)
    axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -8768);
    EXPECT_EQ(pass().rgbButtons[0], 0);
    axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    EXPECT_EQ(pass().rgbButtons[0], 0x80);
    axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -8768);
    EXPECT_EQ(pass().rgbButtons[0], 0x80);
    axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    EXPECT_EQ(pass().rgbButtons[0], 0);
    const std::pair<SDL_GameControllerButton, int> keys[] = {
        {SDL_CONTROLLER_BUTTON_START, VK_SPACE},
        {SDL_CONTROLLER_BUTTON_Y, VK_F1},
        {SDL_CONTROLLER_BUTTON_X, VK_F2},
        {SDL_CONTROLLER_BUTTON_BACK, VK_F3}};
    for (auto [b, vk] : keys) {
        button(b, true);
        pass();
        EXPECT_NE(key_state(vk), 0) << vk;
        button(b, false);
        pass();
        EXPECT_EQ(key_state(vk), 0) << vk;
    }
}

TEST_F(Pad, BQuitsOnlyWhenHeldASecondButClosesHelpAtOnce) {
    start();
    button(SDL_CONTROLLER_BUTTON_B, true);
    for (int i = 0; i < 20; ++i) {  // 700 ms
        pass();
        ASSERT_EQ(key_state(VK_ESCAPE), 0) << i;
    }
    button(SDL_CONTROLLER_BUTTON_B, false);
    pass();
    button(SDL_CONTROLLER_BUTTON_B, true);
    int passes = 0;
    while (key_state(VK_ESCAPE) == 0 && passes < 100) pass(), ++passes;
    EXPECT_EQ(passes, 29) << "Esc once held for 1000 ms of the game's time";
    button(SDL_CONTROLLER_BUTTON_B, false);
    pass();
    EXPECT_EQ(key_state(VK_ESCAPE), 0);
    platform_feedback(FEEDBACK_HELP_SHOWN);
    button(SDL_CONTROLLER_BUTTON_B, true);
    pass(false);
    EXPECT_NE(key_state(VK_ESCAPE), 0) << "help closes at once";
    platform_feedback(FEEDBACK_HELP_CLOSED);
    button(SDL_CONTROLLER_BUTTON_B, false);
    pass(false);
}

TEST_F(Pad, UnpluggedMidGameLetsGoAndAnotherIsPickedUp) {
    start();
    button(SDL_CONTROLLER_BUTTON_A, true);
    button(SDL_CONTROLLER_BUTTON_START, true);
    pass();
    unplug();
    DIMOUSESTATE after = pass();
    EXPECT_EQ(pad_count(), 0);
    EXPECT_EQ(after.rgbButtons[0], 0) << "a held A does not stay down";
    EXPECT_EQ(key_state(VK_SPACE), 0);
    plug();
    EXPECT_EQ(pad_count(), 1);
    platform_feedback(FEEDBACK_MISS);
    EXPECT_EQ(rumbles, 1);
}

TEST_F(Pad, HeadlessOrWithoutRumbleAPadChangesNothing) {
    start(false, false);
    rumbles = 0;
    platform_feedback(FEEDBACK_MISS);
    EXPECT_EQ(rumbles, 0);
    unplug();
    mouse_->release();
    system_->release();
    platform_shutdown();
    start(true);
    EXPECT_EQ(pad_count(), 0);
    button(SDL_CONTROLLER_BUTTON_A, true);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
    EXPECT_EQ(pass().rgbButtons[0], 0);
    EXPECT_EQ(pass().lX, 0);
}

}  // namespace
