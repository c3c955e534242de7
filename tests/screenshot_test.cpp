// Screenshots: PrintScreen through the event hook writes the screen through the palette as a
// PNG, numbers a second shot in the same second, and leaves the game's input and time alone.
#include "platform/screenshot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "tests/scratch_dir.h"
#include "tests/test_window.h"

namespace {

namespace fs = std::filesystem;

class Screenshot : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::current_path();
        fs::current_path(dir);
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options)) << platform_error();
        ASSERT_NE(nullptr, open_test_window("SHOTTEST"));
        ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
        // A picture whose every index and row differ: columns by index, a palette per index.
        for (int i = 0; i < 256; ++i)
            palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), PC_NOCOLLAPSE};
        pal_apply(palette);
        uint8_t* p = gfx_lock_primary();
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) p[y * primary_pitch + x] = uint8_t(x + y * 3);
        gfx_unlock_primary();
    }
    void TearDown() override {
        gfx_shutdown();
        platform_shutdown();
        fs::current_path(home);
    }
    std::vector<fs::path> shots() {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir)) found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }
    const ScratchDir scratch{"shots"};
    const fs::path dir = scratch.path();
    fs::path home;
    PALETTEENTRY palette[256];
};

TEST_F(Screenshot, PrintScreenSavesTheScreenThroughThePaletteAndTheGameNeverSeesIt) {
    MSG msg{};
    peek_message(&msg);
    const uint32_t ticks = clock_ticks();
    input_queue_key(VK_SNAPSHOT, true);
    input_queue_key(VK_SNAPSHOT, false);
    peek_message(&msg);  // the next pass takes the key
    EXPECT_EQ(0, key_state(VK_SNAPSHOT));
    EXPECT_EQ(ticks, clock_ticks());

    std::vector<fs::path> files = shots();
    ASSERT_EQ(1u, files.size());
    const std::string name = files[0].filename().string();
    EXPECT_TRUE(name.starts_with("gnatrix-") && name.ends_with(".png")) << name;
    EXPECT_EQ(std::string("gnatrix-YYYYMMDD-HHMMSS.png").size(), name.size()) << name;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb = screenshot_read_rgb(files[0].string(), &w, &h);
    ASSERT_EQ(640, w);
    ASSERT_EQ(480, h);
    const uint8_t* p = gfx_lock_primary();
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const PALETTEENTRY& c = palette[p[y * primary_pitch + x]];
            const uint8_t* q = &rgb[size_t(y * 640 + x) * 3];
            ASSERT_TRUE(q[0] == c.peRed && q[1] == c.peGreen && q[2] == c.peBlue)
                << "pixel " << x << "," << y;
        }
    }
    gfx_unlock_primary();

    // Other keys still reach the game in the same way.
    input_queue_key(VK_F2, true);
    peek_message(&msg);
    EXPECT_NE(0, key_state(VK_F2));
}

TEST_F(Screenshot, TwoShotsInOneSecondKeepBothWithACounter) {
    const time_t when = 1700000000;
    const std::string first = screenshot_take(when);
    const std::string second = screenshot_take(when);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(first.substr(0, first.size() - 4) + "-2.png", second);
    EXPECT_EQ(2u, shots().size());
}

}  // namespace
