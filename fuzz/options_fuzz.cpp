// The command line on any bytes: split at NULs and line ends into arguments.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1, "gnatrix");
    std::string word;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0 || data[i] == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word += char(data[i]);
        }
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    Options options;
    std::string error;
    bool exit_now = false;
    // Anything refused, or a help or version request, says something.
    if ((!parse_options(int(words.size()), argv.data(), &options, &error, &exit_now) || exit_now) &&
        error.empty()) {
        __builtin_trap();
    }
    return 0;
}
