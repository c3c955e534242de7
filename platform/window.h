// The one window and its message queue: at most one message per peek, close requests as
// messages, quit ending the loop. Stands in for the system's window manager.
#pragma once
#include <cstdint>

constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;

class Window;

// The game's one window, the owner of the display, input, sound and dialogs; the app stores it
// here when it opens the window.
extern Window* main_window;
// Stands in for the module handle: the executable, whose built-in resources the game loads.
extern const void* app_instance;

struct MSG {
    Window* window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

using WindowProc = intptr_t (*)(Window* window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

constexpr uint32_t CS_VREDRAW = 0x1;
constexpr uint32_t CS_HREDRAW = 0x2;
constexpr uint32_t CS_OWNDC = 0x20;
constexpr uint32_t CS_DBLCLKS = 0x8;

struct WindowClass {
    uint32_t style;
    WindowProc proc;
    const char* icon;  // ICON resource name, or null for none
    const char* class_name;
};

bool register_class(const WindowClass& wc);
// A popup window of the registered class; null on failure.
Window* create_window(const char* class_name, const char* title, int x, int y, int width,
                      int height);
// Retrieves and removes at most one message; false when none is waiting. Each call is the
// start of a main-loop pass: input is sampled and the screen presented here.
bool peek_message(MSG* msg);
// The loop ends without another peek, the game having quit: the last pass ran to its end, and
// its dumps are written now, before the shut-down changes the screen.
void platform_end_pass();
void translate_message(const MSG* msg);
intptr_t dispatch_message(const MSG* msg);
intptr_t def_window_proc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void post_quit_message(int exit_code);
// Queues a close request for the window, as the close box does.
void post_close_request();
// Whether the game's window is full screen now.
bool window_full_screen();
void begin_paint(Window* window);
void end_paint(Window* window);
