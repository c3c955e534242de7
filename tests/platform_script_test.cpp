// Input scripts: parsing, rejection of malformed lines, and recording a live run, playing it
// back and recording again with identical results.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/input.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "platform/script.h"
#include "screens/panel.h"
#include "tests/game_run.h"

namespace {

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string parse_error(const std::string& text) {
    Script script;
    std::string error;
    EXPECT_FALSE(script_parse(text, "bad.txt", &script, &error)) << text;
    return error;
}

TEST(ScriptParse, ReadsEveryKindOfItem) {
    const std::string text =
        "gnatrix-input 1\n"
        "seed 4711\n"
        "# a comment\n"
        "\n"
        "@118 key f2 down\n"
        "@120 key f2 up   # trailing comment\r\n"
        "@300 mouse -12 4\n"
        "@300 button down\n"
        "@450 key f3 down\n"
        "@450 panel bugs down\n"
        "@450 panel volume up\n"
        "@450 panel ok\n"
        "@900 close\n";
    Script script;
    std::string error;
    ASSERT_TRUE(script_parse(text, "demo.txt", &script, &error)) << error;
    EXPECT_TRUE(script.has_seed);
    EXPECT_EQ(script.seed, 4711u);
    ASSERT_EQ(script.items.size(), 9u);
    EXPECT_EQ(script.items[0].vk, VK_F2);
    EXPECT_TRUE(script.items[0].down);
    EXPECT_EQ(script.items[0].line, 5);
    EXPECT_FALSE(script.items[1].down);
    EXPECT_EQ(script.items[2].dx, -12);
    EXPECT_EQ(script.items[2].dy, 4);
    EXPECT_EQ(script.items[3].kind, ScriptItemKind::Button);
    EXPECT_EQ(script.items[5].panel.control, PANEL_BUGS_BAR);
    EXPECT_FALSE(script.items[5].panel.up);
    EXPECT_TRUE(script.items[6].panel.up);
    EXPECT_EQ(script.items[7].panel.control, IDOK);
    EXPECT_EQ(script.items[8].kind, ScriptItemKind::Close);
    EXPECT_EQ(script.items[8].pass, 900u);

    Script again;
    ASSERT_TRUE(script_parse(script_format(script), "formatted", &again, &error)) << error;
    EXPECT_EQ(script_format(again), script_format(script));
}

TEST(ScriptParse, RejectsMalformedLinesNamingFileAndLine) {
    const std::string head = "gnatrix-input 1\n# fine\n";
    struct Case {
        std::string body;
        std::string expected;
    } cases[] = {
        {"@1 key f13 down\n", "bad.txt:3: unknown key name 'f13'"},
        {"@1 key f2 sideways\n", "bad.txt:3:"},
        {"@1 key f2\n", "bad.txt:3:"},
        {"@5 close\n@4 close\n", "bad.txt:4: pass 4 comes after pass 5"},
        {"@x close\n", "bad.txt:3:"},
        {"@-1 close\n", "bad.txt:3:"},
        {"@4294967296 close\n", "bad.txt:3:"},
        {"@1\n", "bad.txt:3:"},
        {"@1 mouse 3\n", "bad.txt:3:"},
        {"@1 mouse 3 4x\n", "bad.txt:3:"},
        {"@1 mouse 2000000 0\n", "bad.txt:3:"},
        {"@1 button left\n", "bad.txt:3:"},
        {"@1 jump\n", "bad.txt:3: unknown item 'jump'"},
        {"@1 close now\n", "bad.txt:3:"},
        {"seed -3\n", "bad.txt:3:"},
        {"seed 1\nseed 2\n", "bad.txt:4: a second seed line"},
        {"@1 panel sound up\n", "bad.txt:3:"},
        {"@1 panel ok now\n", "bad.txt:3:"},
        {"@1 panel bugs\n", "bad.txt:3:"},
        {"key f2 down\n", "bad.txt:3:"},
        {"@1 panel bugs up\n@2 panel ok\n", "bad.txt:3: panel items of pass 1 do not end"},
        {"@1 panel ok\n@1 panel bugs up\n", "bad.txt:4: panel item after panel ok"},
        {"@1 close\n@7 panel speed down\n", "bad.txt:4: panel items of pass 7 do not end"},
    };
    for (const Case& c : cases) {
        std::string error = parse_error(head + c.body);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << c.body << " gave: " << error;
    }
    EXPECT_EQ(parse_error(""), "bad.txt:1: empty file (the first line must be 'gnatrix-input 1')");
    EXPECT_EQ(parse_error("gnatrix-input 2\n").rfind("bad.txt:1: input script version 2", 0), 0u);
    EXPECT_EQ(parse_error("hello\n@1 close\n").rfind("bad.txt:1: not an input script", 0), 0u);
}

TEST(ScriptParse, MissingFileIsReportedByName) {
    Script script;
    std::string error;
    EXPECT_FALSE(script_load(temp_path("does-not-exist"), &script, &error));
    EXPECT_NE(error.find("does-not-exist: cannot open"), std::string::npos);
}

// One run over a number of passes: live events from `feed` (or a script playing), each pass's
// key states and mouse read written into a trace, the game seeding its generator at pass 0.
std::string run_passes(const std::string& play, const std::string& record, uint32_t passes,
                       const std::function<void(uint32_t)>& feed, double mouse_speed = 0) {
    Options options;
    options.play_file = play;
    options.record_file = record;
    options.mouse_speed = mouse_speed;
    EXPECT_TRUE(input_platform_init(options)) << platform_error();
    show_cursor(false);  // as the game does at its start
    InputSystem* system = InputSystem::create();
    InputDevice* mouse = system->create_device(DeviceType::Mouse);
    mouse->set_data_format(DataFormat::Mouse);
    mouse->acquire();
    std::ostringstream trace;
    for (uint32_t pass = 0; pass < passes; ++pass) {
        feed(pass);
        input_begin_pass(pass);
        if (pass == 0) random_seed(1000 + SDL_GetTicks());
        DIMOUSESTATE state{};
        mouse->get_device_state(sizeof state, &state);
        trace << pass << ":" << key_state(VK_F2) << "," << key_state(VK_SPACE) << ","
              << key_state(VK_UP) << "," << state.lX << "," << state.lY << ","
              << int(state.rgbButtons[0]) << "\n";
    }
    mouse->release();
    system->release();
    EXPECT_TRUE(input_platform_finish()) << platform_error();
    random_fix_seed(false, 0);
    return trace.str();
}

void live_player(uint32_t pass) {
    SDL_Event e{};
    if (pass == 2 || pass == 6) {
        e.type = pass == 2 ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.sym = SDLK_F2;
        input_handle_event(&e);
    }
    if (pass == 3) {  // a tap between two samples
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = SDLK_SPACE;
        input_handle_event(&e);
        e.type = SDL_KEYUP;
        input_handle_event(&e);
    }
    if (pass >= 4 && pass < 9) {
        e = SDL_Event{};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = int(pass) - 6;
        e.motion.yrel = 2;
        input_handle_event(&e);
        input_handle_event(&e);
    }
    if (pass == 5 || pass == 7) {
        e = SDL_Event{};
        e.type = pass == 5 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = SDL_BUTTON_LEFT;
        input_handle_event(&e);
    }
    if (pass == 10) {
        e = SDL_Event{};
        e.type = SDL_QUIT;
        input_handle_event(&e);
    }
}

// A slow mouse: a count of motion every other pass, none lost; the recording holds the scaled
// motion, so that it replays the same without the setting.
TEST(ScriptRun, MouseSpeedScalesLiveMotionBeforeItIsRecorded) {
    auto one_count_right = [](uint32_t pass) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = pass < 6 ? 1 : 0;
        e.motion.yrel = pass < 6 ? -3 : 0;
        input_handle_event(&e);
    };
    std::string slow = temp_path("slow.txt"), again = temp_path("slow-again.txt");
    std::string live_trace = run_passes("", slow, 8, one_count_right, 0.5);
    EXPECT_EQ(live_trace.substr(0, 45), "0:0,0,0,0,-1,0\n1:0,0,0,1,-2,0\n2:0,0,0,0,-1,0\n")
        << live_trace;
    EXPECT_EQ(run_passes(slow, again, 8, one_count_right), live_trace);
    EXPECT_EQ(run_passes("", again, 3, one_count_right, 4).substr(0, 15), "0:0,0,0,4,-12,0")
        << "faster";
}

TEST(ScriptRun, RecordPlayRecordGivesTheSameScriptAndTheSameInput) {
    std::string first = temp_path("first.txt"), second = temp_path("second.txt");
    std::string live_trace = run_passes("", first, 12, live_player);
    std::string recorded = slurp(first);
    EXPECT_NE(recorded.find("@2 key f2 down\n@3 key space down\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("@4 key space up\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("@6 mouse 0 4\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("@10 close\n"), std::string::npos) << recorded;

    auto no_live_input = [](uint32_t pass) { live_player(pass); };  // ignored while playing
    std::string played_trace = run_passes(first, second, 12, no_live_input);
    EXPECT_EQ(played_trace, live_trace);
    EXPECT_EQ(slurp(second), recorded);

    std::string third = temp_path("third.txt");
    run_passes(second, third, 12, [](uint32_t) {});
    EXPECT_EQ(slurp(third), recorded);
}

TEST(ScriptRun, TheScriptsSeedFixesTheGamesSeedUnlessTheCommandLineGivesOne) {
    std::string path = temp_path("seeded.txt"), out = temp_path("seeded-out.txt");
    write_file(path, "gnatrix-input 1\nseed 4711\n@1 key up down\n");
    run_passes(path, out, 3, [](uint32_t) {});
    EXPECT_EQ(slurp(out), "gnatrix-input 1\nseed 4711\n@1 key up down\n");

    Options options;
    options.play_file = path;
    options.has_seed = true;
    options.seed = 99;
    ASSERT_TRUE(input_platform_init(options));
    random_seed(5);
    EXPECT_EQ(random_last_seed(), 99u);
    random_fix_seed(false, 0);
    script_reset();
}

TEST(ScriptRun, AMalformedScriptOrAnUnwritableRecordingStopsTheStart) {
    std::string path = temp_path("bad.txt");
    write_file(path, "gnatrix-input 1\n@3 key f2 down\n@2 key f2 up\n");
    Options options;
    options.play_file = path;
    EXPECT_FALSE(input_platform_init(options));
    EXPECT_EQ(std::string(platform_error()), path + ":3: pass 2 comes after pass 3");

    Options recording;
    recording.record_file = temp_path("no-such-folder/out.txt");
    EXPECT_FALSE(input_platform_init(recording));
    EXPECT_NE(std::string(platform_error()).find("cannot write the recording"), std::string::npos);
    script_reset();
}

TEST(ScriptRun, ThePanelTakesTheItemsOfItsPassAndAnEmptyQueueIsAnError) {
    std::string path = temp_path("panel.txt"), out = temp_path("panel-out.txt");
    write_file(path,
               "gnatrix-input 1\n@2 key f3 down\n@2 panel speed up\n@2 panel ok\n"
               "@5 panel missed down\n@5 panel ok\n");
    std::string error;
    ASSERT_TRUE(script_start(path, out, false, 0, &error)) << error;
    PanelItem item{};
    for (uint32_t pass = 0; pass < 2; ++pass) script_begin_pass(pass);
    EXPECT_TRUE(script_begin_pass(2).size() == 1) << "panel items are not given out as input";
    ASSERT_TRUE(script_next_panel_item(&item));
    EXPECT_EQ(item.control, PANEL_SPEED_BAR);
    EXPECT_TRUE(item.up);
    ASSERT_TRUE(script_next_panel_item(&item));
    EXPECT_EQ(item.control, IDOK);
    EXPECT_TRUE(script_error().empty());

    script_begin_pass(3);
    EXPECT_FALSE(script_next_panel_item(&item)) << "the next items belong to pass 5";
    EXPECT_NE(script_error().find("the control panel is open in pass 3"), std::string::npos);
    EXPECT_FALSE(script_finish(&error));
    EXPECT_EQ(error, script_error());
    script_reset();
}

// A replay that has gone its own way says so; a close in the panel's pass is no such news.
TEST(ScriptRun, PanelItemsLeftOverAreReportedUnlessACloseCameInTheirPass) {
    std::string path = temp_path("left.txt");
    write_file(path,
               "gnatrix-input 1\n@2 key f3 down\n@2 panel speed up\n@2 panel ok\n"
               "@4 key f3 down\n@4 panel volume up\n@4 panel ok\n@4 close\n");
    std::string error;
    ASSERT_TRUE(script_start(path, "", false, 0, &error)) << error;
    for (uint32_t pass = 0; pass <= 2; ++pass) script_begin_pass(pass);
    testing::internal::CaptureStderr();
    script_begin_pass(3);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("did not open in pass 2"),
              std::string::npos);
    script_begin_pass(4);
    testing::internal::CaptureStderr();
    script_begin_pass(5);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(script_finish(&error)) << error;
    script_reset();
}

// The replay generator steers a run by adding items for the passes to come.
TEST(ScriptRun, ItemsAppendedWhilePlayingArriveInTheirPassOnly) {
    std::string path = temp_path("append.txt");
    write_file(path, "gnatrix-input 1\nseed 3\n@1 key f2 down\n");
    std::string error;
    ScriptItem item;
    item.kind = ScriptItemKind::Button;
    item.down = true;
    item.pass = 1;
    EXPECT_FALSE(script_play_append(item)) << "not playing yet";
    ASSERT_TRUE(script_start(path, "", false, 0, &error)) << error;
    script_begin_pass(0);
    item.pass = 3;
    EXPECT_TRUE(script_play_append(item));
    item.pass = 2;
    EXPECT_FALSE(script_play_append(item)) << "before the last item";
    EXPECT_EQ(script_begin_pass(1).size(), 1u);
    EXPECT_TRUE(script_begin_pass(2).empty());
    item.pass = 2;
    EXPECT_FALSE(script_play_append(item)) << "the current pass has been given out";
    std::vector<ScriptItem> third = script_begin_pass(3);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].kind, ScriptItemKind::Button);
    EXPECT_TRUE(script_finish(&error)) << error;
    script_reset();
}

TEST(ScriptRun, LiveRunsHaveNoPanelItemsButRecordTheClicks) {
    std::string out = temp_path("panel-live.txt");
    std::string error;
    ASSERT_TRUE(script_start("", out, false, 0, &error));
    script_begin_pass(7);
    PanelItem item{};
    EXPECT_FALSE(script_next_panel_item(&item));
    EXPECT_TRUE(script_error().empty());
    script_record_panel_item({PANEL_VOLUME_BAR, false});
    script_record_panel_item({IDOK, false});
    ASSERT_TRUE(script_finish(&error)) << error;
    std::string text = slurp(out);
    EXPECT_NE(text.find("@7 panel volume down\n@7 panel ok\n"), std::string::npos) << text;
    script_reset();
}

}  // namespace

namespace {

TEST(ScriptGame, APlayedScriptRecordsAgainIdenticallyAndItsCloseEndsTheRun) {
    std::string script = temp_path("e2e.txt"), again = temp_path("e2e-again.txt");
    std::string screen = temp_path("e2e-screen.bmp");
    const std::string text =
        "gnatrix-input 1\nseed 4711\n@1 key f12 down\n@2 key f12 up\n@2 mouse 5 -3\n"
        "@3 button down\n@4 button up\n@6 close\n";
    write_file(script, text);
    std::remove(screen.c_str());
    GameOutput run = run_game("--headless --play " + script + " --record " + again +
                              " --dump-screen 5:" + screen);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(again), text);
    EXPECT_FALSE(slurp(screen).empty()) << "the run lasted until the close at pass 6";
    EXPECT_NE(run_game("--headless --play " + script + " --dump-screen 7:" + screen).status, 0)
        << "and no longer";
}

TEST(ScriptGame, AMalformedScriptStopsTheGameWithOneMessage) {
    std::string script = temp_path("e2e-bad.txt");
    write_file(script, "gnatrix-input 1\n@1 key f2 down\n@2 key f2 upp\n");
    const GameOutput run = run_game("--headless --play " + script);
    const std::string& err = run.err;
    EXPECT_NE(run.status, 0);
    EXPECT_NE(err.find(script + ":3: expected down or up"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(ScriptGame, ARecordingOfFramesEndsWhereTheRunEnded) {
    std::string recorded = temp_path("e2e-frames.txt");
    GameOutput run = run_game("--headless --seed 12 --frames 3 --record " + recorded);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(recorded), "gnatrix-input 1\nseed 12\n@3 close\n");
}

}  // namespace
