// The control panel: its procedure's answers to each message (limits, immediate actions, OK,
// the field colours), and whole games driven through it by scripts.
#include "screens/panel.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "audio/sound.h"
#include "game/state.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "tests/game_run.h"

namespace {

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
        game_reset_state();
        game_state = STATE_PLAY;
        ResourceData data;
        ASSERT_TRUE(find_resource("DIALOG", 172, &data));
        std::string error;
        dialog = dialog_create(std::string(reinterpret_cast<const char*>(data.data), data.size),
                               panel_dialog_proc, &error);
        ASSERT_NE(dialog, nullptr) << error;
    }
    void TearDown() override {
        dialog_destroy(dialog);
        delete_object(panel_brush);
        panel_brush = nullptr;
        game_reset_state();
        platform_shutdown();
    }
    // One message of a scroll bar; the field it writes.
    std::string scroll(int bar, int code, int field) {
        EXPECT_EQ(dialog_send(dialog, WM_VSCROLL, uintptr_t(code), dialog_item(dialog, bar)), TRUE);
        return dialog_item_text(dialog, field);
    }
    Dialog* dialog = nullptr;
};

TEST_F(PanelTest, OpensWithTheSettingsWhiteOnBlackWithOneBrush) {
    EXPECT_EQ(dialog_item_text(dialog, 1030), "10");
    EXPECT_EQ(dialog_item_text(dialog, 1031), "10");
    EXPECT_EQ(dialog_item_text(dialog, 1032), "1");
    EXPECT_EQ(dialog_item_text(dialog, 1034), "10");
    ASSERT_TRUE(dialog_item_has_colors(dialog, 1034));
    EXPECT_EQ(dialog_item_colors(dialog, 1034).text_color(), RGB(255, 255, 255));
    EXPECT_EQ(dialog_item_colors(dialog, 1034).bk_color(), RGB(0, 0, 0));
    int brushes = brush_live_count();
    for (int i = 0; i < 20; ++i) scroll(1048, SB_LINEDOWN, 1031);  // each repaints the fields
    EXPECT_EQ(brush_live_count(), brushes) << "no brush made per colour message";
}

TEST_F(PanelTest, BugCountStaysWithinItsLimitsAndEveryMessageRestarts) {
    EXPECT_EQ(scroll(1044, SB_LINEUP, 1030), "10");
    EXPECT_EQ(bug_count, 10);
    EXPECT_EQ(game_state, STATE_START) << "restarts even when the value stays";
    game_state = STATE_PLAY;
    EXPECT_EQ(scroll(1044, SB_ENDSCROLL, 1030), "10");
    EXPECT_EQ(game_state, STATE_START);
    bug_count = 1;
    EXPECT_EQ(scroll(1044, SB_LINEDOWN, 1030), "1");
    game_state = 0;  // before the game ran there is nothing to restart
    EXPECT_EQ(scroll(1044, SB_LINEUP, 1030), "2");
    EXPECT_EQ(game_state, 0);
}

TEST_F(PanelTest, MissedLimitStaysWithin1To99) {
    missed_limit = 99;
    EXPECT_EQ(scroll(1048, SB_LINEUP, 1031), "99");
    missed_limit = 1;
    EXPECT_EQ(scroll(1048, SB_LINEDOWN, 1031), "1");
    EXPECT_EQ(scroll(1048, SB_LINEUP, 1031), "2");
    EXPECT_EQ(game_state, STATE_PLAY);
}

TEST_F(PanelTest, SpeedStaysWithin1To2AndEachMessageRecomputesThePace) {
    speed_level = 3, frame_count = 200;
    EXPECT_EQ(scroll(1046, SB_LINEUP, 1032), "2");
    EXPECT_EQ(speed_level, 3) << "lowered, then raised again by the step during play";
    EXPECT_EQ(frame_count, 0);
    EXPECT_FLOAT_EQ(frame_delay, 21 - 2 * 3);
    EXPECT_EQ(scroll(1046, SB_LINEUP, 1032), "2");
    EXPECT_EQ(scroll(1046, SB_LINEDOWN, 1032), "1");
    EXPECT_FLOAT_EQ(frame_delay, 35 - 2 * 3);
    EXPECT_EQ(scroll(1046, SB_LINEDOWN, 1032), "1");
    // Outside play the step does not raise the level, so each message lowers it for good.
    game_state = STATE_START;
    EXPECT_EQ(scroll(1046, SB_PAGEUP, 1032), "1");
    EXPECT_EQ(speed_level, 2);
    EXPECT_FLOAT_EQ(frame_delay, 35 - 2 * 2);
}

TEST_F(PanelTest, VolumeStaysWithin0To10AndSetsTheBonusSound) {
    sound_capture_mode(true);
    sound_first_init = 1;
    ASSERT_EQ(snd_init(), 1);
    bonus_sound = snd_load_wave("BONUS_WAV");
    ASSERT_GE(bonus_sound, 0);
    volume = 0;
    EXPECT_EQ(scroll(1049, SB_LINEDOWN, 1034), "0");
    EXPECT_EQ(sound_table[bonus_sound].buffer->volume(), -3000);
    EXPECT_EQ(scroll(1049, SB_LINEUP, 1034), "1");
    EXPECT_EQ(sound_table[bonus_sound].buffer->volume(), -2700);
    volume = 10;
    EXPECT_EQ(scroll(1049, SB_LINEUP, 1034), "10");
    EXPECT_EQ(sound_table[bonus_sound].buffer->volume(), 0);
    snd_shutdown();
    sound_capture_mode(false);
}

TEST_F(PanelTest, OnlyOkClosesAndItUnpauses) {
    paused = 1;
    EXPECT_EQ(dialog_send(dialog, WM_COMMAND, IDCANCEL, 0), FALSE);
    EXPECT_EQ(dialog_send(dialog, WM_COMMAND, 1030, dialog_item(dialog, 1030)), FALSE);
    EXPECT_EQ(dialog_send(dialog, WM_VSCROLL, SB_LINEUP, dialog_item(dialog, 1030)), FALSE);
    EXPECT_EQ(dialog_send(dialog, WM_VSCROLL, SB_LINEUP, 0), FALSE);
    EXPECT_FALSE(dialog_ended(dialog, nullptr));
    EXPECT_EQ(paused, 1);
    intptr_t result = 0;
    EXPECT_EQ(dialog_send(dialog, WM_COMMAND, IDOK, dialog_item(dialog, IDOK)), TRUE);
    ASSERT_TRUE(dialog_ended(dialog, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(paused, 0);
}

// ---- Whole games ----

using State = std::map<std::string, long>;

State read_state(const std::string& path) {
    State state;
    std::istringstream in(slurp(path));
    std::string name;
    long value;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        if (words >> name >> value) state[name] = value;
    }
    return state;
}

struct ScriptRun {
    GameOutput output;
    std::map<int, State> states;
};

// Plays a script headless and dumps the state at the end of each of these passes.
ScriptRun play(const std::string& name, const std::string& items, std::vector<int> passes,
               int frames) {
    std::string base = temp_path(name);
    std::ofstream(base + ".txt") << "gnatrix-input 1\nseed 1\n" << items;
    std::string args = "--headless --play " + base + ".txt --frames " + std::to_string(frames);
    for (int p : passes)
        args += " --dump-state " + std::to_string(p) + ":" + base + "_" + std::to_string(p);
    ScriptRun run{run_game(args), {}};
    for (int p : passes) {
        run.states[p] = read_state(base + "_" + std::to_string(p));
        std::remove((base + "_" + std::to_string(p)).c_str());
    }
    std::remove((base + ".txt").c_str());
    return run;
}

// Fires and sweeps from pass 100 to 488, so that the game has a score when bugs get past.
std::string shooting() {
    std::string items;
    for (int p = 100; p < 488; p += 4) {
        int dx = (p / 80) % 2 == 0 ? 40 : -40;
        items += "@" + std::to_string(p) + " button down\n@" + std::to_string(p + 1) + " mouse " +
                 std::to_string(dx) + " 0\n@" + std::to_string(p + 2) + " button up\n";
    }
    return items;
}

TEST(PanelGame, LoweringTheLimitBelowTheMissesStartsANewGame) {
    ScriptRun run = play("lower",
                         shooting() +
                             "@490 key f3 down\n@490 panel missed down\n@490 panel missed "
                             "down\n@490 panel missed down\n@490 panel missed down\n@490 "
                             "panel missed down\n@490 panel missed down\n@490 panel missed "
                             "down\n@490 panel ok\n@491 key f3 up\n",
                         {489, 490, 495}, 500);
    ASSERT_EQ(run.output.status, 0) << run.output.err;
    EXPECT_EQ(run.states[489]["missed_count"], 5);
    EXPECT_GT(run.states[489]["score"], 0);
    EXPECT_EQ(run.states[490]["missed_limit"], 3);
    EXPECT_EQ(run.states[490]["missed_count"], 0);
    EXPECT_EQ(run.states[490]["game_state"], STATE_START);
    EXPECT_EQ(run.states[495]["score"], 0) << "a new game";
    EXPECT_EQ(run.states[495]["game_state"], STATE_PLAY);
}

TEST(PanelGame, RaisingTheLimitOfAnEndedGamePlaysOnWithTheSameScore) {
    // The limit goes down to 6 while 5 are missed; the sixth miss ends the game.
    std::string items = shooting() + "@490 key f3 down\n";
    for (int i = 0; i < 4; ++i) items += "@490 panel missed down\n";
    items +=
        "@490 panel ok\n@491 key f3 up\n@600 key f3 down\n@600 panel missed up\n"
        "@600 panel ok\n@601 key f3 up\n";
    ScriptRun run = play("raise", items, {599, 600, 640}, 650);
    ASSERT_EQ(run.output.status, 0) << run.output.err;
    State ended = run.states[599];
    ASSERT_EQ(ended["paused"], 1);
    ASSERT_EQ(ended["missed_count"], 6);
    EXPECT_GT(ended["score"], 0);
    EXPECT_EQ(run.states[600]["paused"], 0);
    EXPECT_EQ(run.states[600]["missed_limit"], 7);
    EXPECT_EQ(run.states[600]["score"], ended["score"]);
    EXPECT_EQ(run.states[600]["game_state"], STATE_PLAY);
    // Frames run again: the count moved on (past a speed step, which restarts it).
    EXPECT_EQ(run.states[640]["paused"], 0);
    EXPECT_NE(run.states[640]["frame_count"], ended["frame_count"]);
    EXPECT_EQ(run.states[640]["speed_level"], ended["speed_level"] + 1);
}

TEST(PanelGame, BugCountStepRestartsWithTheNewCount) {
    ScriptRun run = play("bugs",
                         "@300 key f3 down\n@300 panel bugs down\n@300 panel bugs down\n"
                         "@300 panel ok\n@301 key f3 up\n",
                         {300, 310}, 320);
    ASSERT_EQ(run.output.status, 0) << run.output.err;
    EXPECT_EQ(run.states[300]["bug_count"], 8);
    EXPECT_EQ(run.states[300]["game_state"], STATE_START);
    EXPECT_EQ(run.states[300]["panel_latch"], 0);
    EXPECT_EQ(run.states[310]["game_state"], STATE_PLAY);
}

TEST(PanelGame, HeldF3OpensOnceAndAgainAfterARelease) {
    // Had the panel opened again while F3 stayed down, it would find no items: an error.
    ScriptRun run = play("held",
                         "@300 key f3 down\n@300 panel volume down\n@300 panel ok\n"
                         "@320 key f3 up\n@330 key f3 down\n@330 panel volume down\n"
                         "@330 panel ok\n",
                         {319, 320, 335}, 340);
    ASSERT_EQ(run.output.status, 0) << run.output.err;
    EXPECT_EQ(run.states[319]["volume"], 9);
    EXPECT_EQ(run.states[319]["panel_latch"], 0);
    EXPECT_EQ(run.states[320]["panel_latch"], 1);
    EXPECT_EQ(run.states[335]["volume"], 8);
}

TEST(PanelGame, ScriptLeavingThePanelWithoutItemsIsAnError) {
    ScriptRun run = play("empty", "@300 key f3 down\n", {}, 100000);
    EXPECT_NE(run.output.status, 0);
    EXPECT_NE(run.output.err.find("_empty.txt: the control panel is open in pass 300 and the "
                                  "script has no panel item left"),
              std::string::npos)
        << run.output.err;
}

}  // namespace
