// The window and its message queue: one message per peek, paint, close and quit messages,
// the pass hooks, the close request of --frames, the dumps at the end of a pass, and the hold
// while the window is in the background.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

#include "gfx/display.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/sdl/internal.h"
#include "platform/settings.h"
#include "platform/sound.h"
#include "tests/scratch_dir.h"
#include "tools/process/process.h"

namespace {

std::vector<uint32_t> proc_messages;
std::vector<uint32_t> hook_passes;

intptr_t recording_proc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    proc_messages.push_back(message);
    return def_window_proc(window, message, wParam, lParam);
}

void recording_hook(uint32_t pass) {
    hook_passes.push_back(pass);
}

class MessageQueue : public ::testing::Test {
  protected:
    void start(const Options& options) {
        ASSERT_TRUE(platform_init(options));
        proc_messages.clear();
        hook_passes.clear();
        ASSERT_TRUE(register_class({CS_OWNDC, recording_proc, nullptr, "TESTCLASS"}));
        window = create_window("TESTCLASS", "test", 0, 0, 640, 480);
        ASSERT_NE(window, nullptr);
    }
    void SetUp() override {
        Options options;
        options.headless = true;
        start(options);
    }
    void TearDown() override { platform_shutdown(); }
    // Takes the next message's number, or 0 when none was waiting.
    uint32_t next() {
        MSG msg{};
        return peek_message(&msg) ? msg.message : 0;
    }
    Window* window = nullptr;
};

TEST_F(MessageQueue, CreationSendsCreateAndPaintsUntilValidated) {
    EXPECT_EQ(proc_messages, std::vector<uint32_t>{WM_CREATE});
    MSG msg{};
    ASSERT_TRUE(peek_message(&msg));
    EXPECT_EQ(msg.message, WM_PAINT);
    EXPECT_EQ(msg.window, window);
    EXPECT_EQ(next(), WM_PAINT) << "an unvalidated window keeps asking for paint";
    begin_paint(window);
    end_paint(window);
    EXPECT_EQ(next(), 0u);
}

TEST_F(MessageQueue, OneMessagePerPeekAndQuitLast) {
    begin_paint(window);
    post_quit_message(7);
    post_close_request();
    post_close_request();  // the same request again before the first was handled
    MSG msg{};
    ASSERT_TRUE(peek_message(&msg));
    EXPECT_EQ(msg.message, WM_CLOSE);
    EXPECT_EQ(dispatch_message(&msg), 0);
    EXPECT_EQ(proc_messages.back(), WM_CLOSE);
    ASSERT_TRUE(peek_message(&msg));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.window, nullptr);
    EXPECT_EQ(dispatch_message(&msg), 0) << "quit belongs to no window";
    EXPECT_FALSE(peek_message(&msg));
    EXPECT_EQ(msg.message, WM_QUIT) << "an empty peek leaves the record alone";
}

TEST_F(MessageQueue, ClassesAndWindowsAreChecked) {
    EXPECT_FALSE(register_class({0, recording_proc, nullptr, "TESTCLASS"}));
    EXPECT_FALSE(register_class({0, nullptr, nullptr, "OTHER"}));
    EXPECT_EQ(create_window("NOSUCHCLASS", "x", 0, 0, 640, 480), nullptr);
    EXPECT_EQ(platform_sdl_window(), nullptr) << "headless runs have no SDL window";
}

TEST_F(MessageQueue, EachPeekStartsAPassAndRunsTheHooksOnce) {
    platform_add_pass_hook(recording_hook);
    platform_add_pass_hook(recording_hook);  // registered once only
    for (int i = 0; i < 3; ++i) next();
    EXPECT_EQ(hook_passes, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(platform_pass(), 2u);
}

// A close request posted by a pass hook (as a replayed script does) arrives in that pass.
// Hooks stay registered, so this one acts only in its own test.
bool close_hook_armed = false;
void close_at_pass_4(uint32_t pass) {
    if (close_hook_armed && pass == 4) post_close_request();
}

TEST_F(MessageQueue, CloseFromAPassHookArrivesInThatPass) {
    begin_paint(window);
    platform_add_pass_hook(close_at_pass_4);
    close_hook_armed = true;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(next(), 0u);
    EXPECT_EQ(next(), WM_CLOSE);
    close_hook_armed = false;
}

class FramesAndDumps : public MessageQueue {
  protected:
    void SetUp() override {}
};

void dump_pass_number(FILE* out) {
    fprintf(out, "pass %u\n", platform_pass());
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(FramesAndDumps, FramesClosesAfterThatManyPasses) {
    Options options;
    options.headless = true;
    options.frames = 3;
    start(options);
    begin_paint(window);
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(next(), 0u) << pass;
    EXPECT_EQ(next(), WM_CLOSE);
    for (int pass = 0; pass < 5; ++pass) EXPECT_EQ(next(), 0u) << "one request only";
}

TEST_F(FramesAndDumps, StateDumpIsWrittenAtTheEndOfItsPass) {
    const std::string path = temp_path("state.txt"), never = temp_path("never.txt");
    Options options;
    options.headless = true;
    options.dump_state = {{1, path}, {9, never}};
    start(options);
    platform_set_state_dumper(dump_pass_number);
    next();
    next();
    EXPECT_EQ(read_file(path), "") << "written before pass 1 ended";
    next();
    EXPECT_EQ(read_file(path), "pass 1\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(platform_dumps_complete()) << "pass 9 never ended";
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find(never), std::string::npos);
    EXPECT_EQ(read_file(never), "");
    platform_set_state_dumper(nullptr);
}

TEST_F(FramesAndDumps, UnwritableDumpIsReported) {
    Options options;
    options.headless = true;
    options.dump_state = {{0, "/nonexistent-dir/state.txt"}};
    start(options);
    testing::internal::CaptureStderr();
    next();
    next();
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("/nonexistent-dir/state.txt"), std::string::npos);
    EXPECT_FALSE(platform_dumps_complete());
}

}  // namespace

namespace {

// A real SDL window on SDL's dummy video driver (the test runner selects it).
class DummyDisplayWindow : public MessageQueue {
  protected:
    void SetUp() override {
        Options options;
        options.window = true;
        options.scale = 1;  // the dummy desktop, 1024x768, holds no more
        start(options);
        sdl = platform_sdl_window();
        ASSERT_NE(sdl, nullptr);
        begin_paint(window);
    }
    void push(const SDL_Event& event) {
        SDL_Event copy = event;
        ASSERT_EQ(SDL_PushEvent(&copy), 1);
    }
    // A key going down, Alt+Enter unless told otherwise.
    void press(SDL_Keycode key = SDLK_RETURN, uint16_t mod = KMOD_LALT) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = key;
        event.key.keysym.mod = mod;
        push(event);
    }
    SDL_Window* sdl = nullptr;
};

TEST_F(DummyDisplayWindow, OpensAtTheAskedScaleWithTheTitle) {
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "test");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(DummyDisplayWindow, AScaleTheDesktopCannotHoldIsReducedWithOneLine) {
    platform_shutdown();
    Options options;
    options.scale = 2;  // full screen: --scale is the window Alt+Enter leaves it for
    testing::internal::CaptureStderr();
    start(options);
    sdl = platform_sdl_window();
    press();
    next();
    ASSERT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
    const std::string said = testing::internal::GetCapturedStderr();
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(640, 480));
    EXPECT_EQ(said, "gnatrix: --scale 2 does not fit the desktop (1024x768); using --scale 1\n");
}

TEST_F(DummyDisplayWindow, QuitAndCloseEventsBecomeOneCloseMessage) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(sdl);
    push(event);
    event = SDL_Event{};
    event.type = SDL_QUIT;
    push(event);
    EXPECT_EQ(next(), WM_CLOSE);
    EXPECT_EQ(next(), 0u);
}

TEST_F(DummyDisplayWindow, ExposureAsksForPaint) {
    EXPECT_EQ(next(), 0u);
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_EXPOSED;
    event.window.windowID = SDL_GetWindowID(sdl);
    push(event);
    EXPECT_EQ(next(), WM_PAINT);
}

TEST_F(DummyDisplayWindow, AltEnterTogglesFullScreen) {
    press();
    next();
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
    press(SDLK_KP_ENTER);
    next();
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
    press(SDLK_KP_ENTER, KMOD_NONE);  // Enter alone is the game's key
    next();
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(DummyDisplayWindow, ResizedWindowKeepsFourByThreeUnlessTheManagerInsists) {
    auto resize = [&](int width, int height) {
        SDL_SetWindowSize(sdl, width, height);
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_RESIZED;
        event.window.windowID = SDL_GetWindowID(sdl);
        event.window.data1 = width;
        event.window.data2 = height;
        push(event);
        next();
        int w = 0, h = 0;
        SDL_GetWindowSize(sdl, &w, &h);
        return std::make_pair(w, h);
    };
    using Size = std::pair<int, int>;
    EXPECT_EQ(resize(1600, 1000), Size(1600, 1200)) << "dragged wider: the height follows";
    EXPECT_EQ(resize(1700, 600), Size(800, 600)) << "dragged lower: the width follows";
    EXPECT_EQ(resize(1001, 600), Size(1001, 751)) << "rounded to the nearest row";
    EXPECT_EQ(resize(1001, 751), Size(1001, 751));
    // A window manager that keeps its size gets it, letterboxed, rather than a tug of war.
    EXPECT_EQ(resize(900, 500), Size(667, 500));
    EXPECT_EQ(resize(900, 500), Size(900, 500));
}

TEST_F(DummyDisplayWindow, WithoutAScaleModeAWindowScalesByWholeMultiplesAndFullScreenFits) {
    ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
    auto shown_at = [&]() {
        platform_pump_events();
        SDL_Rect box{};
        display_letterbox(&box);
        return std::make_tuple(box.x, box.y, box.w, box.h);
    };
    SDL_SetWindowSize(sdl, 1000, 750);
    EXPECT_EQ(shown_at(), std::make_tuple(180, 135, 640, 480));
    press();
    platform_pump_events();
    int desktop_w = 0, desktop_h = 0;
    SDL_GetWindowSize(sdl, &desktop_w, &desktop_h);
    const auto [x, y, w, h] = shown_at();
    EXPECT_TRUE(w == desktop_w || h == desktop_h) << "full screen: as large as it fits";
    EXPECT_NE(0, w % 640) << "the dummy desktop is no whole multiple of the screen";
    press();
    platform_pump_events();
    SDL_SetWindowSize(sdl, 1000, 750);
    EXPECT_EQ(shown_at(), std::make_tuple(180, 135, 640, 480)) << "back in a window";

    // A mode asked for holds in a window too.
    gfx_shutdown();
    platform_shutdown();
    Options options;
    options.window = true;
    options.scale_mode = ScaleMode::Fit;
    start(options);
    sdl = platform_sdl_window();
    ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
    SDL_SetWindowSize(sdl, 1000, 750);
    EXPECT_EQ(shown_at(), std::make_tuple(0, 0, 1000, 750));
    gfx_shutdown();
}

// The player's window survives a restart: the size they left it at, and the scale mode of their
// settings file, which is kept as they wrote it.
class RememberedWindow : public MessageQueue {
  protected:
    void SetUp() override {
        process_set_env(folders.settings, config.str().c_str());
        std::filesystem::create_directories(config / folders.folder);
        std::ofstream(file) << "# mine\nscale-mode = smooth\n";
    }
    void TearDown() override {
        platform_shutdown();
        process_set_env(folders.settings, saved.c_str());
    }
    // As the program starts: the settings file, then the platform with its window.
    SDL_Window* restart() {
        platform_shutdown();
        Options options;
        options.window = true;
        settings_start(&options);
        start(options);
        return platform_sdl_window();
    }
    std::string contents() {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    const UserFolderVariables folders = process_user_folder_variables();
    const std::string saved = getenv(folders.settings);
    const ScratchDir config{"remembered"};
    const std::string file = config / (std::string(folders.folder) + "/gnatrix.conf");
};

TEST_F(RememberedWindow, SizeAndScaleModeSurviveARestart) {
    SDL_Window* sdl = restart();
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(platform_options().scale_mode, ScaleMode::Smooth);
    next();
    EXPECT_EQ(contents(), "# mine\nscale-mode = smooth\n") << "opening is no change";
    SDL_SetWindowSize(sdl, 1000, 750);  // the player drags a corner
    next();
    platform_shutdown();
    const std::string written = contents();
    EXPECT_TRUE(written.starts_with("# mine\nscale-mode = smooth\nwindow-size = 1000x750\n"))
        << written;

    sdl = restart();
    ASSERT_NE(sdl, nullptr);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(1000, 750));
    EXPECT_EQ(platform_options().scale_mode, ScaleMode::Smooth);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);

    // Alt+Enter is the player's choice of full screen, for the next run too.
    SDL_Event alt_enter{};
    alt_enter.type = SDL_KEYDOWN;
    alt_enter.key.keysym.sym = SDLK_RETURN;
    alt_enter.key.keysym.mod = KMOD_LALT;
    SDL_PushEvent(&alt_enter);
    next();
    platform_shutdown();
    EXPECT_NE(contents().find("full-screen = yes\n"), std::string::npos) << contents();
    EXPECT_EQ(contents().find("window-size = 1000x750\n"), written.find("window-size"))
        << "the window's size stays for Alt+Enter back";
}

// What the platform looked like while it held still, seen from an event hook: an exposure
// (redrawn while held) and the focus coming back are the events that still get through.
struct HeldView {
    bool seen = false;
    std::string title;
    bool sound_playing = true, captured = true;
    size_t passes = 0;
    uint32_t ticks_exposed = 0, ticks_refocused = 0;
};
HeldView held;

void watch_the_hold(const void* sdl_event) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    if (e.type != SDL_WINDOWEVENT) return;
    if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        held.seen = true;
        held.title = SDL_GetWindowTitle(platform_sdl_window());
        held.sound_playing = sound_device_playing();
        held.captured = input_mouse_captured();
        held.passes = hook_passes.size();
        held.ticks_exposed = clock_ticks();
    } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        held.ticks_refocused = clock_ticks();
    }
}

class Background : public DummyDisplayWindow {
  protected:
    void SetUp() override {
        DummyDisplayWindow::SetUp();
        held = HeldView{};
        platform_add_pass_hook(recording_hook);
        platform_add_event_hook(watch_the_hold);
        sound_capture_mode(false);
        sound = SoundDevice::create();
        ASSERT_TRUE(sound_device_playing());
        show_cursor(false);
        window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
        next();
        ASSERT_TRUE(input_mouse_captured());
    }
    void TearDown() override {
        show_cursor(true);
        sound->release();
        DummyDisplayWindow::TearDown();
    }
    void window_event(uint8_t which) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = which;
        event.window.windowID = SDL_GetWindowID(sdl);
        push(event);
    }
    void left_button(bool down) {
        SDL_Event event{};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.button = SDL_BUTTON_LEFT;
        push(event);
    }
    // The window goes to the background (focus lost or minimised), gets input and an exposure
    // there, and comes back; all queued at once, so that a pump that failed to hold returns
    // too.
    void away_and_back(uint8_t away, uint8_t back) {
        window_event(away);
        press(SDLK_F2, KMOD_NONE);
        left_button(true);
        window_event(SDL_WINDOWEVENT_EXPOSED);
        window_event(back);
        // The click that takes the focus back.
        left_button(true);
        left_button(false);
        passes_before = hook_passes.size();
        next();
    }
    SoundDevice* sound = nullptr;
    size_t passes_before = 0;
};

TEST_F(Background, LosingTheFocusHoldsEverythingStillUntilItComesBack) {
    away_and_back(SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_TRUE(held.seen);
    EXPECT_EQ(held.title, "test (paused in background)");
    EXPECT_FALSE(held.sound_playing);
    EXPECT_FALSE(held.captured) << "the mouse is free";
    EXPECT_EQ(held.passes, passes_before) << "no pass runs while held";
    EXPECT_EQ(held.ticks_refocused, held.ticks_exposed) << "the game's clock stands";
    // Back: as before, and nothing done in the background nor the click that came back reached
    // the game.
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "test");
    EXPECT_TRUE(sound_device_playing());
    EXPECT_EQ(hook_passes.size(), passes_before + 1);
    EXPECT_EQ(key_state(VK_F2), 0);
    EXPECT_EQ(key_state(VK_LBUTTON), 0);
    EXPECT_TRUE(input_mouse_captured()) << "that click took the mouse back";
}

TEST_F(Background, MinimisingHoldsTooAndACloseEndsTheHoldForGood) {
    away_and_back(SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED);
    EXPECT_EQ(held.title, "test (paused in background)");
    EXPECT_EQ(key_state(VK_F2), 0);

    held = HeldView{};
    window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    window_event(SDL_WINDOWEVENT_EXPOSED);
    window_event(SDL_WINDOWEVENT_FOCUS_GAINED);  // only so that a failure cannot hang
    EXPECT_EQ(next(), WM_CLOSE);
    EXPECT_EQ(held.title, "test") << "the game is ending: never held again";
    EXPECT_TRUE(held.sound_playing);
}

TEST_F(Background, BackgroundRunAndReplaysNeverHold) {
    for (bool replay : {false, true}) {
        Options options = platform_options();
        options.background_run = !replay;
        options.play_file = replay ? "a replay" : "";
        platform_set_options(options);
        held = HeldView{};
        away_and_back(SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED);
        ASSERT_TRUE(held.seen);
        EXPECT_EQ(held.title, "test");
        EXPECT_TRUE(held.sound_playing);
    }
}

TEST(WindowIcon, EmbeddedIconDecodesAndJunkDoesNot) {
    ResourceData icon;
    ASSERT_TRUE(find_resource("ICON", "GNATRIX", &icon));
    SDL_Surface* image = icon_decode(icon);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, 48);
    EXPECT_EQ(image->h, 48);
    SDL_FreeSurface(image);
    std::vector<uint8_t> cut(icon.data, icon.data + icon.size / 2);
    EXPECT_EQ(icon_decode({cut.data(), cut.size()}), nullptr);
    const uint8_t junk[16] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'c', 'o', 'n'};
    EXPECT_EQ(icon_decode({junk, sizeof junk}), nullptr);
}

}  // namespace
