// Shared between the platform's own parts only, in plain C++ (the SDL part's own internals,
// with SDL's types, are in platform/sdl/internal.h); never included by game code.
#pragma once
#include <cstdint>

// What every wait and sleep does while it waits: present the screen and pump the events.
void platform_yield();
// With GNATRIX_TRACE set in the environment, writes "gnatrix-trace EVENT NS CPU" to stderr: NS
// the monotonic clock's instant, CPU the process's CPU time so far, both in nanoseconds. Events:
// pass (each main-loop pass starts), first-present then present (each picture sent to the
// window), close-request. Start-up, shut-down and pacing measurements and the live tests read it.
void platform_trace(const char* event);
// Whether the game has a window (false when headless).
bool platform_windowed();
// Forgets the key and button presses made since the last sample that are no longer held, so
// that what the player did to an open dialog does not reach the game; motion is kept.
void input_forget_presses();
// ASCII letters compare without regard to case, as the system's names do.
bool platform_equal_ignoring_case(const char* a, const char* b);
