// The replay regression suite: every recording in tests/replays is played by the built game,
// headless, and must give exactly the state, screens and high-score table recorded beside it.
// When a change alters a result on purpose, regenerate them (docs/replays.md) and say why.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/replay_files.h"

namespace fs = std::filesystem;

namespace {

fs::path replays_dir() {
    return fs::path(GNATRIX_SOURCE_DIR) / "tests" / "replays";
}

std::vector<std::string> recording_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(replays_dir()))
        if (entry.path().extension() == ".gxi") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A hung run fails well before the old 300 s and names itself, before ctest's own limit for the
// test; a replay takes a few seconds, up to about 40 in the sanitizer build under load.
constexpr unsigned RUN_LIMIT_SECONDS = 100;

// The field a state dump's line is about: its name, or "bug I" for a bug's line.
std::string field_of(const std::string& line) {
    std::istringstream words(line);
    std::string name, index;
    words >> name;
    if (name == "bug" && words >> index) name += " " + index;
    return name;
}

// The first field of the state that differs, and how, for a message that names what changed.
std::string first_difference(const std::string& want, const std::string& got) {
    if (got.empty()) return "no state dump: the run ended before that pass";
    std::istringstream a(want), b(got);
    std::string la, lb;
    for (int line = 1;; ++line) {
        bool more_a = bool(std::getline(a, la)), more_b = bool(std::getline(b, lb));
        if (!more_a && !more_b) return "";
        if (la == lb && more_a == more_b) continue;
        const std::string field = field_of(la);
        if (more_a && more_b && field == field_of(lb)) {
            return "first field that differs: " + field + ", expected '" +
                   la.substr(std::min(la.size(), field.size() + 1)) + "', got '" +
                   lb.substr(std::min(lb.size(), field.size() + 1)) + "'";
        }
        return "line " + std::to_string(line) + ": expected '" + la + "', got '" + lb + "'";
    }
}

class Replay : public testing::TestWithParam<std::string> {};

TEST_P(Replay, GivesTheRecordedStateScreensAndScores) {
    fs::path base = replays_dir() / GetParam();
    replay::Result expected;
    std::string error;
    ASSERT_TRUE(
        replay::parse_expected(replay::read_file(base.string() + ".expected"), &expected, &error))
        << error;
    ASSERT_FALSE(expected.screens.empty());
    replay::Result got = expected;
    fs::path dir = fs::path(GNATRIX_BINARY_DIR) /
                   ("replay_" + GetParam() + "_" + std::to_string(process_id()));
    ASSERT_TRUE(
        replay::run(GNATRIX_EXE, base.string() + ".gxi", dir, &got, &error, RUN_LIMIT_SECONDS))
        << error;
    ASSERT_NE(got.status, replay::HUNG_STATUS)
        << "the game did not end within " << RUN_LIMIT_SECONDS << " s; " << got.messages;
    EXPECT_EQ(got.status, 0) << got.messages;
    EXPECT_EQ(got.messages, "");
    std::string want_state = replay::read_file(base.string() + ".state");
    ASSERT_FALSE(want_state.empty());
    EXPECT_TRUE(got.state == want_state) << "state dump of pass " << expected.state_pass << ", "
                                         << first_difference(want_state, got.state);
    for (size_t i = 0; i < expected.screens.size(); ++i) {
        EXPECT_EQ(got.screens[i].second, expected.screens[i].second)
            << "screen of pass " << expected.screens[i].first;
    }
    EXPECT_EQ(replay::to_hex(got.scores_after), replay::to_hex(expected.scores_after))
        << "scores.bin: expected " << replay::score_list(expected.scores_after) << ", got "
        << replay::score_list(got.scores_after);
    if (!HasFailure()) fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Recordings, Replay, testing::ValuesIn(recording_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
