// The shell: the main loop's passes, the close request's path through the window procedure,
// and a shut-down that runs once however often it is asked for.
#include "app/app.h"

#include <gtest/gtest.h>

#include "game/state.h"
#include "platform/display.h"

namespace {

uint32_t passes_seen = 0;
DisplayCounts during_play{};
void count_pass(uint32_t pass) {
    passes_seen = pass + 1;
    if (pass == 1) during_play = display_live_counts();
}

class Shell : public ::testing::Test {
  protected:
    void run(int64_t frames) {
        Options options;
        options.headless = true;
        options.frames = frames;
        ASSERT_TRUE(platform_init(options));
        platform_add_pass_hook(count_pass);
        passes_seen = 0;
        game_reset_state();  // whatever an earlier test in this process left
        result = WinMain();
    }
    void TearDown() override { platform_shutdown(); }
    // Handles what is waiting (a few passes' worth); true if a quit message was among it.
    bool quit_waiting() {
        MSG msg{};
        bool quit = false;
        for (int pass = 0; pass < 5; ++pass) {
            if (!peek_message(&msg)) continue;
            quit |= msg.message == WM_QUIT;
            dispatch_message(&msg);
        }
        return quit;
    }
    int result = -1;
};

TEST_F(Shell, CloseRequestEndsTheLoopThroughQuit) {
    run(3);
    EXPECT_EQ(result, 0);
    // Passes 0-2 run, pass 3 handles the close (shut-down posts quit), pass 4 retrieves quit.
    EXPECT_EQ(passes_seen, 5u);
    EXPECT_NE(main_window, nullptr);
    EXPECT_NE(app_instance, nullptr);
    EXPECT_EQ(game_state, STATE_TITLE);
}

TEST_F(Shell, WindowCloseReleasesEveryDisplayObjectOnce) {
    run(3);
    EXPECT_EQ(during_play.displays, 1);
    EXPECT_GE(during_play.surfaces, 2) << "the primary surface and its back buffer";
    EXPECT_GE(during_play.palettes, 1);
    DisplayCounts after = display_live_counts();
    EXPECT_EQ(after.displays, 0);
    EXPECT_EQ(after.surfaces, 0);
    EXPECT_EQ(after.palettes, 0);
    EXPECT_EQ(after.clippers, 0);
    // The loop's own shut-down after WM_QUIT ran too: a second release would show here.
    game_shutdown();
    after = display_live_counts();
    EXPECT_EQ(after.displays + after.surfaces + after.palettes + after.clippers, 0);
}

TEST_F(Shell, ShutDownRunsOnceAndPostsQuitOnce) {
    run(0);
    // The window is still there (WM_CLOSE does not destroy it); a late close and a second
    // shut-down must neither post another quit nor release anything again.
    EXPECT_FALSE(quit_waiting());
    EXPECT_EQ(game_shutdown(), 1);
    EXPECT_EQ(game_window_proc(main_window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(quit_waiting());
}

TEST_F(Shell, WindowProcHandlesItsMessages) {
    run(0);
    EXPECT_EQ(game_window_proc(main_window, WM_CREATE, 0, 0), 0);
    EXPECT_EQ(game_window_proc(main_window, WM_DESTROY, 0, 0), 0);
    EXPECT_FALSE(quit_waiting()) << "WM_DESTROY must not quit";
}

}  // namespace
