// A plain window for tests that need one open.
#pragma once
#include <cstdint>

#include "platform/window.h"

// Registers a class of this name and style on the default window procedure and opens a
// 640 x 480 window of it; null when either fails.
inline Window* open_test_window(const char* name, uint32_t style = 0) {
    if (!register_class({style, def_window_proc, nullptr, name})) return nullptr;
    return create_window(name, name, 0, 0, 640, 480);
}
