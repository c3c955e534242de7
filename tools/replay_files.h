// Replay recordings and their expected results: running the game on a recording in a directory
// of its own, hashing its screen dumps, and the text form of what a run must give. Shared by
// the generator (which writes the expectations) and the regression test (which checks them).
#pragma once
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "screens/score.h"
#include "tools/process/process.h"

namespace replay {

// What a run of one recording gives, and what it is expected to give.
struct Result {
    std::string scores_before;  // the scores.bin the run starts with; empty: none
    uint32_t state_pass = 0;    // the pass whose end the state dump shows
    std::vector<std::pair<uint32_t, uint64_t>> screens;  // pass, hash of the screen dump
    std::string state;                                   // the state dump
    std::string scores_after;  // the scores.bin the run leaves; empty: none
    int status = 0;            // the game's exit status
    std::string messages;      // what the game wrote to stderr
};

// FNV-1a, 64 bits: a screen dump (pixels and palette) comes down to one number.
inline uint64_t fnv1a64(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return bool(out);
}

inline std::string to_hex(const std::string& bytes) {
    std::string hex;
    char pair[3];
    for (unsigned char c : bytes) snprintf(pair, sizeof pair, "%02x", c), hex += pair;
    return hex;
}

inline std::string from_hex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The ten scores of a table, for the comments that make a changed table readable in a diff.
inline std::string score_list(const std::string& bytes) {
    if (bytes.size() != SCORE_FILE_BYTES) return "(" + std::to_string(bytes.size()) + " bytes)";
    ScoreTable table{};
    score_table_decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &table);
    std::string list;
    for (int rank = 0; rank < SCORE_RANKS; ++rank)
        list += (rank ? " " : "") + std::to_string(table.scores[rank]);
    return list;
}

// The expectation file: everything but the state dump, which sits beside it as NAME.state.
inline std::string format_expected(const Result& r) {
    std::ostringstream out;
    out << "# Written by make_replays --update (docs/replays.md); a changed line needs a reason.\n";
    if (!r.scores_before.empty()) out << "# scores before: " << score_list(r.scores_before) << "\n";
    out << "scores-before " << (r.scores_before.empty() ? "none" : to_hex(r.scores_before)) << "\n";
    out << "state-pass " << r.state_pass << "\n";
    for (auto [pass, hash] : r.screens) {
        char text[17];
        snprintf(text, sizeof text, "%016" PRIx64, hash);
        out << "screen " << pass << " " << text << "\n";
    }
    if (!r.scores_after.empty()) out << "# scores after: " << score_list(r.scores_after) << "\n";
    out << "scores-after " << (r.scores_after.empty() ? "none" : to_hex(r.scores_after)) << "\n";
    return out.str();
}

// False with *error naming the line when the text is not an expectation file.
inline bool parse_expected(const std::string& text, Result* r, std::string* error) {
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::string key, value;
        if (!(words >> key) || key[0] == '#') continue;
        words >> value;
        if (key == "scores-before" || key == "scores-after") {
            (key == "scores-before" ? r->scores_before : r->scores_after) =
                value == "none" ? "" : from_hex(value);
        } else if (key == "state-pass") {
            r->state_pass = uint32_t(std::stoul(value));
        } else if (key == "screen") {
            std::string hash;
            words >> hash;
            r->screens.push_back({uint32_t(std::stoul(value)), std::stoull(hash, nullptr, 16)});
        } else {
            *error = "line " + std::to_string(number) + ": unknown entry '" + key + "'";
            return false;
        }
    }
    return true;
}

// The exit status of a run that did not end within its time limit.
constexpr int HUNG_STATUS = PROCESS_HUNG_STATUS;

// Runs the game headless on the script in a fresh directory (with r->scores_before as its
// scores.bin), dumping the state and the screens that r names; fills in the rest of r. A run
// still going after limit_seconds (0: no limit) is ended with HUNG_STATUS.
inline bool run(const std::string& exe, const std::filesystem::path& script,
                const std::filesystem::path& dir, Result* r, std::string* error,
                unsigned limit_seconds = 0) {
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (!r->scores_before.empty()) write_file(dir / "scores.bin", r->scores_before);
    std::vector<std::string> args = {exe,
                                     "--data-dir",
                                     dir.string(),
                                     "--headless",
                                     "--play",
                                     fs::absolute(script).string(),
                                     "--dump-state",
                                     std::to_string(r->state_pass) + ":state.txt"};
    for (auto [pass, hash] : r->screens) {
        args.push_back("--dump-screen");
        args.push_back(std::to_string(pass) + ":screen" + std::to_string(pass) + ".bmp");
    }
    r->status =
        process_run({args, dir.string(), "", (dir / "messages.txt").string(), {}, limit_seconds});
    if (r->status < 0) {
        *error = "cannot run " + exe;
        return false;
    }
    r->messages = read_file(dir / "messages.txt");
    r->state = read_file(dir / "state.txt");
    for (auto& [pass, hash] : r->screens)
        hash = fnv1a64(read_file(dir / ("screen" + std::to_string(pass) + ".bmp")));
    r->scores_after = fs::exists(dir / "scores.bin") ? read_file(dir / "scores.bin") : "";
    return true;
}

}  // namespace replay
