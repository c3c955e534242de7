// The score file reader on any file: the first four bytes are the final score of a game, the
// rest is scores.bin as found. Afterwards the file is as it was or a whole new table.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "screens/score.h"

namespace {

std::vector<uint8_t> read_all(const char* path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = fopen(path, "rb")) {
        for (int c; (c = fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
        fclose(f);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string path;
    if (path.empty()) {
        fuzz_start(true);
        const char* dir = getenv("TMPDIR");
        path = std::string(dir && *dir ? dir : "/tmp") + "/gnatrix-fuzz-scores-" +
               std::to_string(getpid()) + ".bin";
        score_file_name = path.c_str();
    }
    if (size < 4) return 0;
    int32_t final_score;
    memcpy(&final_score, data, 4);
    const std::vector<uint8_t> before(data + 4, data + size);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(before.data(), 1, before.size(), f) != before.size() || fclose(f) != 0)
        abort();
    score_record(nullptr, nullptr, &final_score);
    const std::vector<uint8_t> after = read_all(path.c_str());
    if (after != before && after.size() != SCORE_FILE_BYTES) __builtin_trap();
    unlink(path.c_str());
    return 0;
}
