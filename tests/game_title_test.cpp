// The title sequence's first pass: palettes, backdrop and its mark, the caption, the Esc
// checkpoint, a missing resource or device; and the picture whatever the screen's pitch.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "game/state.h"
#include "game/title.h"
#include "game_harness.h"
#include "gfx/display.h"
#include "gfx/image.h"
#include "gfx/palette.h"
#include "input/input.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/resources.h"

namespace {

// The sprite sheet's own colour table, straight from the resource (blue, green, red, spare).
PALETTEENTRY sheet_colour(int index) {
    ResourceData data;
    EXPECT_TRUE(find_resource("BITMAP", 171, &data));
    const uint8_t* quad = data.data + 40 + 4 * index;
    return {quad[2], quad[1], quad[0], PC_NOCOLLAPSE};
}

void expect_colour(const PALETTEENTRY& entry, int r, int g, int b, int index) {
    EXPECT_EQ(entry.peRed, r) << "entry " << index;
    EXPECT_EQ(entry.peGreen, g) << "entry " << index;
    EXPECT_EQ(entry.peBlue, b) << "entry " << index;
}

}  // namespace

TEST(GameTitle, FirstPassPreparesPalettesBackdropAndCaption) {
    GameHarness game;
    game.pass();
    ASSERT_EQ(title_init_pending, 0);

    for (int i = 0; i < 256; i++) {
        PALETTEENTRY sheet = sheet_colour(i);
        if (i == 0 || i == 4 || i == 7 || i == 255) continue;
        expect_colour(game_palette[i], sheet.peRed, sheet.peGreen, sheet.peBlue, i);
    }
    expect_colour(game_palette[0], 0, 0, 0, 0);
    expect_colour(game_palette[4], 0, 0, 140, 4);
    expect_colour(game_palette[7], 175, 175, 175, 7);
    expect_colour(game_palette[255], 255, 255, 255, 255);

    // The title palette as applied: the darkened entries and the ones that keep their values.
    expect_colour(work_palette[1], 110, 110, 110, 1);
    expect_colour(work_palette[3], 140, 140, 0, 3);
    expect_colour(work_palette[4], 180, 0, 0, 4);
    expect_colour(work_palette[7], 145, 145, 145, 7);
    expect_colour(work_palette[14], 255, 255, 255, 14);
    expect_colour(work_palette[15], 175, 175, 175, 15);
    expect_colour(work_palette[22], 255, 255, 128, 22);
    expect_colour(work_palette[23], 0, 255, 148, 23);
    expect_colour(work_palette[25], 140, 140, 255, 25);
    expect_colour(work_palette[27], 255, 128, 64, 27);
    expect_colour(work_palette[255], 255, 255, 255, 255);

    std::vector<uint8_t> screen = game.screen();
    EXPECT_EQ(screen[40 * 640 + 40], 1) << "backdrop mark";
    for (int y = 380; y < 420; y++) {
        for (int x = 260; x < 360; x++) ASSERT_EQ(screen[y * 640 + x], 0) << x << "," << y;
    }
    ASSERT_NE(bitmap_image.pixels, nullptr);
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            if (outside_title_window(x, y)) {
                ASSERT_EQ(screen[y * 640 + x], bitmap_image.pixels[y * 640 + x]) << x << "," << y;
            }
        }
    }
}

TEST(GameTitle, BackdropIsCopiedAgainOnlyWhenTheMarkIsGone) {
    GameHarness game;
    game.pass();
    uint8_t original = bitmap_image.pixels[100 * 640 + 300];
    auto scribble_and_draw = [&](uint8_t mark) {
        gfx_lock_primary();
        primary_buffer[100 * primary_pitch + 300] = uint8_t(original + 1);
        primary_buffer[40 * primary_pitch + 40] = mark;
        game_draw_backdrop();
        gfx_unlock_primary();
        return game.pixel(300, 100);
    };
    EXPECT_EQ(scribble_and_draw(1), uint8_t(original + 1));
    EXPECT_EQ(scribble_and_draw(0), original);
    EXPECT_EQ(game.pixel(40, 40), 1);
}

TEST(GameTitle, WiderScreenPitchGivesTheSamePicture) {
    std::vector<uint8_t> natural, wide;
    {
        GameHarness game;
        ASSERT_TRUE(game.run_until(STATE_PLAY, 200));
        game.passes(2);
        natural = game.screen();
    }
    {
        GameSetup wide_pitch;
        wide_pitch.primary_pitch = 704;
        GameHarness game(wide_pitch);
        ASSERT_TRUE(game.run_until(STATE_PLAY, 200));
        game.passes(2);
        EXPECT_EQ(primary_pitch_words, 704 / 4);
        wide = game.screen();
    }
    EXPECT_EQ(natural, wide);
}

TEST(GameTitle, EscapeHeldAtStartUpQuitsBeforeTheMouseExists) {
    GameHarness game(with_script({"@0 key escape down"}));
    game.pass();
    EXPECT_EQ(game_state, STATE_QUIT);
    EXPECT_NE(keyboard_device, nullptr);
    EXPECT_EQ(mouse_device, nullptr);
}

// A device that cannot be had is named once and the game plays on: the keys come from the key
// state (F2 starts a game), and without a mouse the rocket stays where a game puts it.
TEST(GameTitle, MissingKeyboardOrMouseIsNamedAndPlayGoesOn) {
    for (DeviceType type : {DeviceType::Keyboard, DeviceType::Mouse}) {
        const bool mouse = type == DeviceType::Mouse;
        SCOPED_TRACE(mouse ? "mouse" : "keyboard");
        GameHarness game(with_script({"@3 key f2 down", "@4 key f2 up", "@12 mouse 30 -20"}));
        input_inject_fault(type, true);
        testing::internal::CaptureStderr();
        game.pass();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(mouse ? "the mouse" : "the keyboard device"), std::string::npos) << err;
        game.passes(15);
        EXPECT_EQ(game_state, STATE_PLAY);
        EXPECT_EQ(game.quit_code(), -1);
        EXPECT_EQ(rocket_x != 320 || rocket_y != 240, !mouse) << rocket_x << "," << rocket_y;
        input_inject_fault(type, false);
    }
}

TEST(GameTitle, MissingResourceEndsWithItsName) {
    GameHarness game;
    resource_override("BITMAP", "147", nullptr, 0);
    game.passes(2);
    EXPECT_EQ(game.quit_code(), 1);
    EXPECT_NE(std::string(platform_error()).find("BITMAP 147"), std::string::npos);
    EXPECT_EQ(rocket_bob.frames[0], nullptr) << "nothing is created";
}
