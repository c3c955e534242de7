// The dialog manager: templates (the shipped one and broken ones), controls and their handles,
// brushes, dialogs answered by a script, and the live dialog on SDL's dummy display.
#include "platform/dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/screenshot.h"
#include "platform/script.h"
#include "platform/window.h"
#include "tests/game_harness.h"
#include "tests/scratch_dir.h"
#include "tests/test_window.h"

namespace {

struct Message {
    uint32_t message;
    uintptr_t wParam;
    int control;  // id of the control in lParam, 0 for none
};
std::vector<Message> received;

// Keeps what it gets; ends the dialog with 7 on OK and handles nothing else.
intptr_t recording_proc(Dialog* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_CTLCOLOREDIT) return FALSE;
    received.push_back({message, wParam, get_dlg_ctrl_id(lParam)});
    if (message == WM_COMMAND && (wParam & 0xFFFF) == IDOK) return end_dialog(dialog, 7);
    return FALSE;
}

std::string shipped_template() {
    ResourceData data;
    EXPECT_TRUE(find_resource("DIALOG", 172, &data));
    return std::string(reinterpret_cast<const char*>(data.data), data.size);
}

const char* const SMALL =
    "dialog 5\nsize 100 50\ntitle \"T\"\n"
    "control 1 button 10 10 30 14 default \"OK\"\n"
    "control 1044 scrollbar 50 10 10 14 vertical \"\"\n";

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
        received.clear();
    }
    void TearDown() override {
        resource_clear_overrides();
        script_reset();
        platform_shutdown();
    }
};

TEST_F(DialogTest, ShippedTemplateHasTheControlPanelLayout) {
    std::string text = shipped_template();
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(dialog_parse_template(text.data(), text.size(), &t, &error)) << error;
    EXPECT_EQ(t.id, 172);
    EXPECT_EQ(t.title, "Control Panel");
    EXPECT_EQ(t.width, 203);
    EXPECT_EQ(t.height, 127);
    ASSERT_EQ(t.controls.size(), 16u);
    EXPECT_EQ(t.controls[0].id, IDOK);
    EXPECT_EQ(t.controls[0].flags, CONTROL_DEFAULT | CONTROL_TABSTOP);
    EXPECT_EQ(t.controls[8].id, 1046);
    EXPECT_EQ(t.controls[8].kind, ControlKind::ScrollBar);
    EXPECT_EQ(t.controls[15].text, "Changing this number will cause the game to restart");
    EXPECT_EQ(t.controls[15].width, 129);
}

TEST_F(DialogTest, MalformedTemplatesAreRejectedWithTheirLine) {
    const std::string head = "dialog 5\nsize 100 50\ntitle \"T\"\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + "control 1 button 1 1 10 10 - \"OK", "line 4: text without its closing quote"},
        {head + "control 1 knob 1 1 10 10 - \"\"", "line 4: unknown control kind 'knob'"},
        {head + "control 1 button 95 1 10 10 - \"\"", "line 4: the control lies outside"},
        {head + "control 1 button 1 1 10 10 shiny \"\"", "line 4: unknown control flag 'shiny'"},
        {head + "control 1 button 1 1 99999999999 10 - \"\"", "line 4: the position and size"},
        {head + "control 1 button 1 1 10 10 -", "line 4: expected: control"},
        {head + "control 3 button 1 1 9 9 - \"\"\ncontrol 3 edit 1 20 9 9 - \"\"",
         "line 5: control id 3 is used twice"},
        {head + "control 1 button 1 1 10 10 - \"a\\q\"", "line 4: only"},
        {head + "size 10 10", "line 4: 'size' is given twice"},
        {head + "wobble", "line 4: unknown item 'wobble'"},
        {"size 100 50\ncontrol 1 button 1 1 10 10 - \"\"", "no 'dialog' line"},
        {head, "the template has no controls"},
        {std::string("dialog 5\0\x01\x02", 11), "line 1: the template is not text"},
        {"", "no 'dialog' line"},
    };
    for (const auto& [text, expected] : cases) {
        DialogTemplate t;
        std::string error;
        EXPECT_FALSE(dialog_parse_template(text.data(), text.size(), &t, &error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

TEST_F(DialogTest, MalformedResourceGivesMinusOneWithoutCallingTheProcedure) {
    static const char broken[] = "dialog 172\nsize 10 10\ntitle \"unterminated\n";
    resource_override("DIALOG", "172", reinterpret_cast<const uint8_t*>(broken), sizeof broken - 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dialog_box(172, recording_proc, nullptr), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "gnatrix: DIALOG 172: line 3: text without its closing quote\n");
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(dialog_box("NOSUCH", recording_proc, nullptr), -1);
}

TEST_F(DialogTest, ControlsAreFoundByHandleOnlyWhileTheirDialogIsOpen) {
    std::string error;
    Dialog* dialog = dialog_create(SMALL, recording_proc, &error);
    ASSERT_NE(dialog, nullptr) << error;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_INITDIALOG);
    intptr_t bar = dialog_item(dialog, 1044);
    EXPECT_EQ(get_dlg_ctrl_id(bar), 1044);
    EXPECT_EQ(get_dlg_ctrl_id(12345), 0);
    EXPECT_EQ(dialog_item(dialog, 99), 0);
    EXPECT_FALSE(set_dlg_item_int(dialog, 99, 3));
    dialog_destroy(dialog);
    EXPECT_EQ(get_dlg_ctrl_id(bar), 0) << "a closed dialog's control is no control";
    EXPECT_FALSE(end_dialog(dialog, 1));
}

TEST_F(DialogTest, BrushesAreCountedAndDeletedOnce) {
    int before = brush_live_count();
    Brush* brush = create_solid_brush(RGB(1, 2, 3));
    EXPECT_EQ(brush_live_count(), before + 1);
    // The release check at exit counts them among the platform's objects.
    EXPECT_NE(platform_live_objects().find("brushes " + std::to_string(before + 1)),
              std::string::npos);
    EXPECT_TRUE(delete_object(brush));
    EXPECT_FALSE(delete_object(brush));
    EXPECT_FALSE(delete_object(nullptr));
    EXPECT_EQ(brush_live_count(), before);
}

// Plays a script whose pass 0 holds these lines, with pass 0 started.
void play_pass0(const std::string& lines) {
    std::string path = temp_path("dialog_test.txt");
    std::ofstream(path) << "gnatrix-input 1\n" << lines;
    std::string error;
    ASSERT_TRUE(script_start(path, "", false, 0, &error)) << error;
    script_begin_pass(0);
    std::remove(path.c_str());
}

TEST_F(DialogTest, ScriptItemsBecomeTheirControlsMessages) {
    resource_override("DIALOG", "5", reinterpret_cast<const uint8_t*>(SMALL), strlen(SMALL));
    play_pass0("@0 panel bugs up\n@0 panel bugs down\n@0 panel ok\n");
    EXPECT_EQ(dialog_box(5, recording_proc, nullptr), 7);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[1].message, WM_VSCROLL);
    EXPECT_EQ(received[1].wParam, uintptr_t(SB_LINEUP));
    EXPECT_EQ(received[1].control, 1044);
    EXPECT_EQ(received[2].wParam, uintptr_t(SB_LINEDOWN));
    EXPECT_EQ(received[3].message, WM_COMMAND);
    EXPECT_EQ(received[3].wParam, uintptr_t(IDOK));
    EXPECT_EQ(script_error(), "");
}

TEST_F(DialogTest, ScriptWithoutItemsForAnOpenDialogEndsItWithAnError) {
    resource_override("DIALOG", "5", reinterpret_cast<const uint8_t*>(SMALL), strlen(SMALL));
    play_pass0("@0 key f3 down\n");
    EXPECT_EQ(dialog_box(5, recording_proc, nullptr), 7) << "closed as OK would close it";
    EXPECT_NE(script_error().find("no panel item left"), std::string::npos);
    // Without a window nor a script nothing could answer: an error, never a wait.
    script_reset();
    received.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(dialog_box(5, recording_proc, nullptr), 7);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("needs a window or a script"),
              std::string::npos);
}

// The live dialog on the dummy display, answering pushed key events.
class LiveDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Options options;
        options.window = true;
        ASSERT_TRUE(platform_init(options));
        clock_set_virtual(true);  // the dialog's frames wait on the clock
        window = open_test_window("DIALOGTEST", CS_OWNDC);
        ASSERT_NE(window, nullptr);
        display = Display::create();
        ASSERT_NE(display, nullptr);
        display->set_cooperative_level(window, false);
        display->set_display_mode(640, 480, 8);
        primary = display->create_primary_surface(false);
        ASSERT_NE(primary, nullptr);
        resource_override("DIALOG", "5", reinterpret_cast<const uint8_t*>(SMALL), strlen(SMALL));
        received.clear();
    }
    void TearDown() override {
        primary->release();
        display->release();
        resource_clear_overrides();
        platform_shutdown();
    }
    static void keystroke(int vk, bool with_alt = false, bool with_shift = false) {
        input_queue_key(vk, true, with_alt, with_shift);
        input_queue_key(vk, false, with_alt, with_shift);
    }
    Window* window = nullptr;
    Display* display = nullptr;
    Surface* primary = nullptr;
};

TEST_F(LiveDialogTest, EscapeIsCancelAltEnterIsNoOkAndEnterIsOk) {
    keystroke(VK_RETURN, true);
    keystroke(VK_ESCAPE);
    keystroke(VK_RETURN);
    EXPECT_EQ(dialog_box(5, recording_proc, window), 7);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].message, WM_COMMAND);
    EXPECT_EQ(received[1].wParam, uintptr_t(IDCANCEL));
    EXPECT_EQ(received[2].wParam, uintptr_t(IDOK));
    EXPECT_TRUE(window_full_screen()) << "Alt+Enter still switched the screen mode";
    // Esc pressed in the dialog does not reach the game afterwards.
    MSG msg;
    peek_message(&msg);
    EXPECT_EQ(key_state(VK_ESCAPE), 0);
}

// The keys of a system dialog: Tab and Shift+Tab move the focus between the scroll bar and OK;
// on the bar Up and Down are its arrows (and recorded as them), on OK Space is OK.
TEST_F(LiveDialogTest, TabMovesTheFocusUpAndDownStepTheBarSpaceIsOk) {
    const ScratchDir scratch("dialog_keys");
    const std::string recording = (scratch.path() / "keys.txt").string();
    std::string error;
    ASSERT_TRUE(script_start("", recording, false, 0, &error)) << error;
    keystroke(VK_UP);  // OK has the focus: no bar moves
    keystroke(VK_TAB);
    keystroke(VK_SPACE);  // the bar has it: Space does nothing
    keystroke(VK_UP);
    keystroke(VK_DOWN);
    keystroke(VK_TAB, false, true);
    keystroke(VK_SPACE);
    input_simulate_close();  // ends the dialog (with 0) should the keys above not
    EXPECT_EQ(dialog_box(5, recording_proc, window), 7);
    ASSERT_TRUE(script_finish(&error)) << error;
    script_reset();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].message, WM_INITDIALOG);
    for (int i : {1, 2}) {
        EXPECT_EQ(received[size_t(i)].message, WM_VSCROLL);
        EXPECT_EQ(received[size_t(i)].control, 1044);
        EXPECT_EQ(received[size_t(i)].wParam, uintptr_t(i == 1 ? SB_LINEUP : SB_LINEDOWN));
    }
    EXPECT_EQ(received[3].message, WM_COMMAND);
    EXPECT_EQ(received[3].wParam, uintptr_t(IDOK));
    std::ifstream in(recording);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t up = text.find("panel bugs up\n"), down = text.find("panel bugs down\n");
    EXPECT_TRUE(up < down && down < text.find("panel ok\n")) << text;
}

// The pad goes the keyboard's way: the d-pad's down and up are Tab and Shift+Tab, right and
// left the focused bar's arrows, A is Space.
TEST_F(LiveDialogTest, PadMovesTheSameFocusAndStepsTheBarAOnOkIsOk) {
    push_pad_press(PAD_DPAD_RIGHT);  // OK has the focus: no bar moves
    push_pad_press(PAD_DPAD_DOWN);
    push_pad_press(PAD_A);  // on the bar A does nothing
    push_pad_press(PAD_DPAD_RIGHT);
    push_pad_press(PAD_DPAD_LEFT);
    push_pad_press(PAD_DPAD_UP);
    push_pad_press(PAD_A);
    input_simulate_close();  // ends the dialog (with 0) should the presses above not
    EXPECT_EQ(dialog_box(5, recording_proc, window), 7);
    ASSERT_EQ(received.size(), 4u);
    for (int i : {1, 2}) {
        EXPECT_EQ(received[size_t(i)].message, WM_VSCROLL);
        EXPECT_EQ(received[size_t(i)].control, 1044);
        EXPECT_EQ(received[size_t(i)].wParam, uintptr_t(i == 1 ? SB_LINEUP : SB_LINEDOWN));
    }
    EXPECT_EQ(received[3].wParam, uintptr_t(IDOK));
    MSG msg;
    peek_message(&msg);
    EXPECT_EQ(key_state(VK_LBUTTON), 0) << "A pressed in the dialog is no shot afterwards";
}

// Pixels of the dialog face's grey in a PNG; -1 when it cannot be read.
int face_pixels(const std::string& path) {
    int width = 0, height = 0;
    const std::vector<uint8_t> rgb = screenshot_read_rgb(path, &width, &height);
    if (rgb.empty()) return -1;
    int grey = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        grey += rgb[i] == 192 && rgb[i + 1] == 192 && rgb[i + 2] == 192;
    return grey;
}

TEST_F(LiveDialogTest, PrintScreenSavesThePanelOverTheScreenAsShown) {
    namespace fs = std::filesystem;
    const ScratchDir scratch("dialog_shot");
    const fs::path& dir = scratch.path();
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    keystroke(VK_SNAPSHOT);
    keystroke(VK_RETURN);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dialog_box(5, recording_proc, window), 7);
    const std::string after = screenshot_take(0);
    testing::internal::GetCapturedStderr();
    fs::current_path(home);
    std::vector<std::string> during;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename() != after) during.push_back(entry.path().string());
    ASSERT_EQ(1u, during.size()) << "one shot in the dialog";
    EXPECT_GT(face_pixels(during[0]), 5000) << "the panel is in the picture";
    EXPECT_EQ(0, face_pixels((dir / after).string())) << "and gone with the panel";
}

TEST_F(LiveDialogTest, CloseRequestEndsTheDialogAndReachesTheWindow) {
    input_simulate_close();
    EXPECT_EQ(dialog_box(5, recording_proc, window), 0);
    MSG msg{};
    bool closed = false;
    for (int i = 0; i < 10 && peek_message(&msg); ++i) {
        closed |= msg.message == WM_CLOSE;
        dispatch_message(&msg);
    }
    EXPECT_TRUE(closed);
}

}  // namespace
