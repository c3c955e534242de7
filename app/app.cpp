// The application shell: window class and window, the non-blocking main loop that runs one
// state step per pass, the window procedure, and the start-up and shut-down sequences.
#include "app/app.h"

#include <cstdio>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/frame.h"
#include "game/hooks.h"
#include "game/start.h"
#include "game/state.h"
#include "game/title.h"
#include "gfx/bob.h"
#include "gfx/display.h"
#include "gfx/palette.h"
#include "input/input.h"
#include "screens/panel.h"

namespace {

// The executable's own icon (the class asks for it by name among the built-in resources).
const char* const APP_ICON = "GNATRIX";

// Shut-down has run (through WM_CLOSE or the end of the loop); nothing it released may be
// touched again, so the state step of the pass that handled WM_CLOSE is skipped too.
bool shutdown_done = false;

}  // namespace

// One step of the current state; exactly one per pass, tested in this order.
void game_state_step() {
    if (shutdown_done) return;
    if (game_state == STATE_PLAY) {
        game_frame();
    } else if (game_state == STATE_TITLE) {
        game_title();
    } else if (game_state == STATE_START) {
        game_start();
    }
}

Window* app_open_window() {
    WindowClass window_class{CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC, game_window_proc,
                             APP_ICON, "WINCLASS"};
    Window* window = nullptr;
    if (register_class(window_class))
        window = create_window("WINCLASS", "Gnatrix 1.1", 0, 0, 640, 480);
    main_window = window;
    app_instance = &main_window;
    return window;
}

void app_register_hooks() {
    panel_register_script_names();
}

int WinMain() {
    if (!app_open_window()) {
        // Ending silently with status 0 would pass a failure off as a normal quit.
        fprintf(stderr, "gnatrix: cannot open the game's window. %s\n", platform_error());
        return 1;
    }
    shutdown_done = false;
    game_register_hooks();
    if (!game_startup()) {
        game_shutdown();
        return 1;
    }
    MSG msg{};
    while (game_state != STATE_QUIT) {
        if (peek_message(&msg)) {
            if (msg.message == WM_QUIT) break;
            translate_message(&msg);
            dispatch_message(&msg);
        }
        game_state_step();
    }
    if (game_state == STATE_QUIT) platform_end_pass();
    game_shutdown();
    return int(msg.wParam);
}

intptr_t game_window_proc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_PAINT:
            // Nothing to draw: the screen is the display's; this only validates the window.
            begin_paint(window);
            end_paint(window);
            return 0;
        case WM_DESTROY:
            return 0;
        case WM_CLOSE:
            game_shutdown();
            return 0;
        default:
            return def_window_proc(window, message, wParam, lParam);
    }
}

int game_startup() {
    shutdown_done = false;  // a new run: tests start the game more than once per process
    // Running on without a display would draw into nothing; end with the reason instead.
    if (!gfx_init(640, 480, 8, false, true)) {
        const char* why = platform_error();
        fprintf(stderr, "gnatrix: cannot set up the 640x480 256-colour display%s%s\n",
                *why ? ": " : "", why);
        return 0;
    }
    game_state = STATE_TITLE;
    return 1;
}

int game_shutdown() {
    if (shutdown_done) return 1;
    shutdown_done = true;
    gfx_unlock_primary();
    pal_transition(0, primary_buffer, primary_pitch);
    gfx_fill_surface(primary_surface, 0, nullptr);
    for (int i = 1; i < BUG_MAX; ++i) bob_destroy(&bug_bobs[i]);  // clones: nothing released
    bob_destroy(&bug_bobs[0]);
    bob_destroy(&rocket_bob);
    bob_destroy(&digit_bob);
    inp_release_mouse();
    inp_release_keyboard();
    inp_shutdown();
    mus_shutdown();  // the performance closes while the sound device still exists
    snd_shutdown();
    gfx_shutdown();
    post_quit_message(0);
    return 1;
}
