// The input-script parser on any text; what it accepts formats and parses back the same.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/script.h"
#include "screens/panel.h"

namespace {
// Scripts name the control panel's scroll bars as the game does.
const bool script_names = [] {
    panel_register_script_names();
    return true;
}();
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script script;
    std::string error;
    if (!script_parse(fuzz_text(data, size), "fuzz.txt", &script, &error)) {
        if (error.empty()) __builtin_trap();  // a rejection always says why
        return 0;
    }
    Script again;
    if (!script_parse(script_format(script), "again.txt", &again, &error) ||
        script_format(again) != script_format(script)) {
        __builtin_trap();
    }
    return 0;
}
