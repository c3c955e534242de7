// The help viewer's layout on any text: opened, scrolled down and back up, closed.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "game/state.h"
#include "platform/input.h"
#include "platform/resources.h"
#include "screens/help.h"

namespace {

uint32_t pass = 0;

// One main-loop pass with the arrow key held (0: none held).
void hold(int key) {
    for (int k : {VK_DOWN, VK_UP}) input_simulate_key(k, k == key);
    input_begin_pass(++pass);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_start(true);
    game_state = 0;
    missed_count = 0;
    missed_limit = 10;
    help_shown = 0;
    // Exactly the input: no terminator after it unless the input has one.
    resource_override("TEXT", "GX11HELP", data, size);
    help_open();
    // How far down to scroll is taken from the text, so that long texts get scrolled far.
    const int downs = size ? 1 + data[size - 1] % 8 : 1;
    for (int i = 0; i < downs; ++i) {
        hold(VK_DOWN);
        help_scroll();
    }
    for (int i = 0; i < 2; ++i) {
        hold(VK_UP);
        help_scroll();
    }
    hold(0);
    help_close();
    resource_clear_overrides();
    return 0;
}
