// The game against what it cannot trust: missing and damaged resources, malformed command
// lines, and a close request at any pass; and the inputs the fuzzers found, kept as tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "game/keys.h"
#include "game/state.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/music.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "screens/score.h"
#include "tests/game_harness.h"
#include "tests/game_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Missing and damaged resources: the game run in this process on a changed resource ----

struct ResourceCase {
    const char* type;
    const char* name;
    long keep;           // bytes kept; -1: the resource is hidden
    const char* expect;  // what the one message says; null: the game runs on
};

void PrintTo(const ResourceCase& c, std::ostream* out) {
    *out << c.type << " " << c.name << " keeping " << c.keep;
}

class BadResource : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(BadResource, EndsWithOneMessageNamingItOrRunsOn) {
    const ResourceCase& c = GetParam();
    ResourceData original{};
    ASSERT_TRUE(find_resource(c.type, c.name, &original));
    game_reset_state();  // whatever an earlier test in this process left
    Options options;
    options.headless = true;
    options.frames = 40;
    ASSERT_TRUE(platform_init(options));
    const Bytes kept(original.data, original.data + (c.keep < 0 ? 0 : c.keep));
    resource_override(c.type, c.name, c.keep < 0 ? nullptr : kept.data(), kept.size());
    testing::internal::CaptureStderr();
    const int result = WinMain();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string error = platform_error();
    resource_clear_overrides();
    platform_shutdown();
    // A failure must not end with the status of a normal quit.
    EXPECT_EQ(result != 0, c.expect != nullptr);
    if (!c.expect) {
        EXPECT_EQ(err, "");
        EXPECT_EQ(error, "");
        return;
    }
    EXPECT_EQ(lines(err), 1) << err;
    EXPECT_NE(err.find(c.expect), std::string::npos) << err;
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    DisplayCounts display = display_live_counts();
    EXPECT_EQ(display.displays + display.surfaces + display.palettes + display.clippers, 0);
}

INSTANTIATE_TEST_SUITE_P(Resources, BadResource,
                         ::testing::Values(ResourceCase{"BITMAP", "147", -1, "BITMAP 147"},
                                           ResourceCase{"BITMAP", "147", 1000, "BITMAP 147"},
                                           ResourceCase{"BITMAP", "147", 10, "BITMAP 147"},
                                           ResourceCase{"BITMAP", "171", -1, "BITMAP 171"},
                                           ResourceCase{"BITMAP", "171", 2000, "BITMAP 171"},
                                           ResourceCase{"WAVE", "BONUS_WAV", -1, "WAVE BONUS_WAV"},
                                           // A damaged sound only makes the game silent.
                                           ResourceCase{"WAVE", "BONUS_WAV", 30, nullptr},
                                           ResourceCase{"DIALOG", "172", -1, "DIALOG 172"}));

// ---- Malformed command lines, against the built program ----

TEST(CommandLine, EveryMalformedLineGivesOneMessageAndFails) {
    const ScratchDir scratch("reliability");
    const std::string dir = scratch.str();
    const char* const malformed[] = {"--bogus",
                                     "-x",
                                     "play",
                                     "--window extra",
                                     "--headless=1",
                                     "--help=now",
                                     "--scale",
                                     "--scale 0",
                                     "--scale 17",
                                     "--scale -2",
                                     "--scale two",
                                     "--scale 2x",
                                     "--scale=",
                                     "--scale-mode",
                                     "--scale-mode blurry",
                                     "--frames",
                                     "--frames -1",
                                     "--frames 4294967296",
                                     "--frames 1e3",
                                     "--frames 99999999999999999999",
                                     "--seed",
                                     "--seed 4294967296",
                                     "--seed -5",
                                     "--seed 0x10",
                                     "--play",
                                     "--play=",
                                     "--record",
                                     "--record=",
                                     "--dump-screen",
                                     "--dump-screen shot.bmp",
                                     "--dump-screen 3:",
                                     "--dump-screen :a.bmp",
                                     "--dump-screen x:a.bmp",
                                     "--dump-state",
                                     "--dump-state 4294967296:s",
                                     "--dump-state=-1:s.txt",
                                     "--play /nonexistent/script.txt --headless",
                                     "--play malformed.txt --headless",
                                     "--headless --frames 1 --record /nonexistent/dir/r.txt"};
    std::ofstream(dir + "/malformed.txt") << "gnatrix-input 1\n@1 key f13 down\n";
    for (const char* args : malformed) {
        const GameOutput run = run_game(args, "", dir);
        EXPECT_NE(run.status, 0) << args;
        EXPECT_EQ(lines(run.err), 1) << args << ": " << run.err;
        EXPECT_EQ(run.err.rfind("gnatrix: ", 0), 0u) << args << ": " << run.err;
        EXPECT_EQ(run.out, "") << args;
    }
}

// ---- A close request at any pass of a scripted run ----

// The script: the title's first passes, F2 into a game (the fade), play with a shot, help
// opened, scrolled and closed, a pause, the control panel (the volume a step down), then the
// bugs run out the missed limit; the score table's wait ends with Esc.
struct TimedLine {
    uint32_t pass;
    const char* item;
};
const TimedLine CLOSE_RUN_ITEMS[] = {
    {12, "key f2 down"},        {13, "key f2 up"},      {40, "mouse 30 0"},
    {41, "button down"},        {42, "button up"},      {60, "key f1 down"},
    {61, "key f1 up"},          {62, "key down down"},  {66, "key down up"},
    {67, "key up down"},        {68, "key up up"},      {70, "key escape down"},
    {71, "key escape up"},      {80, "key space down"}, {81, "key space up"},
    {90, "key space down"},     {91, "key space up"},   {100, "key f3 down"},
    {100, "panel volume down"}, {100, "panel ok"},      {101, "key f3 up"},
    {700, "key escape down"}};

// The script, with a close request at close_pass (none when 0).
std::string close_run_script(uint32_t close_pass) {
    std::string text = "gnatrix-input 1\nseed 4711\n";
    bool closed = close_pass == 0;
    for (const TimedLine& line : CLOSE_RUN_ITEMS) {
        if (!closed && line.pass > close_pass) {
            text += "@" + std::to_string(close_pass) + " close\n";
            closed = true;
        }
        text += "@" + std::to_string(line.pass) + " " + line.item + "\n";
    }
    if (!closed) text += "@" + std::to_string(close_pass) + " close\n";
    return text;
}

enum class Phase { Title, Start, Play, Help, Paused, Panel, ScoreWait, Quit };
const char* const PHASE_NAMES[] = {"title",  "start", "play",       "help",
                                   "paused", "panel", "score wait", "quit"};
constexpr int PHASES = 8;

std::vector<Phase> phase_at_pass;

Phase current_phase() {
    if (game_state == STATE_TITLE) return Phase::Title;
    if (game_state == STATE_START) return Phase::Start;
    if (game_state != STATE_PLAY) return Phase::Quit;
    // The panel opens and closes within its pass; F3 is still down at its end.
    if (panel_latch == 0) return Phase::Panel;
    if (help_shown) return Phase::Help;
    if (missed_count >= missed_limit) return Phase::ScoreWait;
    return paused ? Phase::Paused : Phase::Play;
}

// At the start of pass p: what pass p - 1 left.
void note_phase(uint32_t pass) {
    if (pass > 0) phase_at_pass.push_back(current_phase());
}

// Every pass of each phase's first and last three, and about `spread` passes evenly between.
std::vector<uint32_t> sample_passes(const std::vector<Phase>& phases, size_t spread) {
    std::vector<uint32_t> chosen;
    for (size_t a = 0; a < phases.size();) {
        size_t b = a;
        while (b + 1 < phases.size() && phases[b + 1] == phases[a]) ++b;
        const size_t step = std::max<size_t>(1, (b - a) / spread);
        for (size_t p = a; p <= b; ++p) {
            if (p < a + 3 || p + 3 > b || (p - a) % step == 0) chosen.push_back(uint32_t(p));
        }
        a = b + 1;
    }
    return chosen;
}

TEST(CloseAtAnyPass, EndsCleanlyWithTheScoresOldOrWhole) {
    const ScratchDir scratch("reliability");
    const std::string dir = scratch.str();
    const std::string script = dir + "/close_run.txt";
    std::ofstream(script) << close_run_script(0);
    // No table yet: the end of the game creates one.
    const std::string scores = dir + "/scores.bin";
    std::remove(scores.c_str());
    // The whole run once, in this process, to learn what each pass is doing.
    const ScoreFileAt score_file(scores);
    game_reset_state();
    Options options;
    options.headless = true;
    options.play_file = script;
    ASSERT_TRUE(platform_init(options)) << platform_error();
    platform_add_pass_hook(note_phase);
    EXPECT_EQ(WinMain(), 0);
    EXPECT_TRUE(input_platform_finish()) << platform_error();
    EXPECT_EQ(platform_live_objects(), "");
    platform_shutdown();
    const std::string whole_table = slurp(scores);
    ASSERT_EQ(whole_table.size(), size_t(SCORE_FILE_BYTES));
    ASSERT_FALSE(phase_at_pass.empty());
    ASSERT_EQ(phase_at_pass.back(), Phase::ScoreWait) << "the run reaches the score table's wait";
    EXPECT_EQ(volume, 9) << "the panel took its items";
    game_reset_state();
    size_t seen[PHASES] = {};
    for (Phase phase : phase_at_pass) ++seen[int(phase)];
    for (Phase phase :
         {Phase::Title, Phase::Play, Phase::Help, Phase::Paused, Phase::Panel, Phase::ScoreWait}) {
        EXPECT_GT(seen[int(phase)], 0u) << PHASE_NAMES[int(phase)];
    }
    for (int phase = 0; phase < PHASES; ++phase)
        std::printf("%s %zu, ", PHASE_NAMES[phase], seen[phase]);

    // Then the program, closed at each chosen pass.
    const std::vector<uint32_t> passes = sample_passes(phase_at_pass, 12);
    for (uint32_t after : passes) {
        const uint32_t pass = after + 1;
        std::ofstream(script) << close_run_script(pass);
        std::remove(scores.c_str());
        const GameOutput run =
            run_game("--headless --play close_run.txt", "GNATRIX_CHECK_RELEASES=1", dir);
        const std::string what = std::string("close at pass ") + std::to_string(pass) + " (" +
                                 PHASE_NAMES[int(phase_at_pass[after])] + ")";
        EXPECT_EQ(run.status, 0) << what << ": " << run.err;
        EXPECT_EQ(run.err, "") << what;
        const bool absent = !std::filesystem::exists(scores);
        const std::string table = slurp(scores);
        EXPECT_TRUE(absent || table == whole_table)
            << what << ": scores.bin holds " << table.size() << " bytes, not the whole table";
    }
    std::printf("closed at %zu of %zu passes\n", passes.size(), phase_at_pass.size());
}

// ---- A close request while the control panel is open, in a window ----

// Headless, a script's panel opens and closes within its pass; in a window (on the dummy
// display) the live dialog runs until the player answers it, and the close can come first.
struct PanelClose {
    const char* when;
    uint32_t f3_pass;      // F3 is down in this pass, and the close arrives while it runs
    int32_t missed_limit;  // 1: the game is over at its first miss, the table waiting
    uint32_t space_pass;   // Space down in this pass (0: none)
};

void PrintTo(const PanelClose& c, std::ostream* out) {
    *out << c.when;
}

const PanelClose* panel_close = nullptr;
bool panel_was_open = false, over_when_opened = false;

// Live input, as the window delivers it, at the start of each pass; what is given now is in
// the next pass's sample.
void panel_close_player(uint32_t pass) {
    const uint32_t next = pass + 1;
    input_simulate_key(VK_F2, next == 12);
    input_simulate_key(VK_SPACE, next == panel_close->space_pass);
    input_simulate_key(VK_F3, next == panel_close->f3_pass);
    if (pass == panel_close->f3_pass) {
        over_when_opened = missed_count >= missed_limit;
        input_simulate_close();
    }
    if (pass == panel_close->f3_pass + 1) panel_was_open = panel_latch == 0;
}

class ClosePanel : public ::testing::TestWithParam<PanelClose> {};

TEST_P(ClosePanel, EndsTheDialogAndTheGameWithNothingAlive) {
    panel_close = &GetParam();
    panel_was_open = over_when_opened = false;
    const ScratchDir scratch("reliability");
    const std::string dir = scratch.str();
    const std::string scores = dir + "/panel_close_scores.bin";
    std::remove(scores.c_str());
    const ScoreFileAt score_file(scores);
    game_reset_state();
    missed_limit = panel_close->missed_limit;
    Options options;
    options.window = true;
    options.has_seed = true;
    options.seed = 4711;
    ASSERT_TRUE(platform_init(options)) << platform_error();
    clock_set_virtual(true);  // the game's and the dialog's waits
    platform_add_pass_hook(panel_close_player);
    EXPECT_EQ(WinMain(), 0);
    // The close is taken in the next pass, the quit it leads to in the one after.
    EXPECT_EQ(platform_pass(), panel_close->f3_pass + 2);
    EXPECT_TRUE(panel_was_open);
    EXPECT_EQ(over_when_opened, panel_close->missed_limit == 1);
    EXPECT_EQ(platform_error(), std::string());
    EXPECT_EQ(platform_live_objects(), "");
    platform_shutdown();
    const std::string table = slurp(scores);
    EXPECT_TRUE(table.empty() || table.size() == size_t(SCORE_FILE_BYTES));
    std::remove(scores.c_str());
    game_reset_state();
}

INSTANTIATE_TEST_SUITE_P(Moments, ClosePanel,
                         ::testing::Values(PanelClose{"in play", 60, 10, 0},
                                           PanelClose{"paused", 80, 10, 70},
                                           PanelClose{"at the score table", 400, 1, 0}));

}  // namespace
