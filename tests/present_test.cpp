// Presentation arithmetic: the palette table and conversion with a wide pitch, and the 4:3
// letterbox in outputs of other shapes.
#include <gtest/gtest.h>

#include <vector>

#include "platform/present_convert.h"

namespace {

std::vector<int> box(const Letterbox& b) {
    return {b.x, b.y, b.w, b.h};
}

TEST(Present, ConversionFollowsThePaletteAndBothPitches) {
    PALETTEENTRY palette[256] = {};
    palette[1] = {0x12, 0x34, 0x56, PC_NOCOLLAPSE};
    palette[255] = {255, 0, 1, 0};
    uint32_t table[256];
    present_build_table(palette, table);
    EXPECT_EQ(0x123456u, table[1]);
    EXPECT_EQ(0xFF0001u, table[255]);

    // 13 x 2 pixels (a block of eight and a tail) in rows of 16 bytes, into rows of 14 words.
    std::vector<uint8_t> src(32, 9);
    for (int x = 0; x < 13; ++x) src[x] = src[16 + x] = uint8_t(x % 2 ? 255 : 1);
    std::vector<uint32_t> dst(28, 0xDEADBEEF);
    present_convert(src.data(), 16, 13, 2, table, dst.data(), 14 * 4);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 13; ++x) EXPECT_EQ(x % 2 ? 0xFF0001u : 0x123456u, dst[y * 14 + x]);
        EXPECT_EQ(0xDEADBEEFu, dst[y * 14 + 13]);
    }
}

TEST(Present, LetterboxKeepsTheScreensShapeCentred) {
    EXPECT_EQ((std::vector<int>{240, 0, 1440, 1080}),
              box(present_letterbox(1920, 1080, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{0, 0, 640, 480}),
              box(present_letterbox(640, 480, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{0, 100, 800, 600}),
              box(present_letterbox(800, 800, 640, 480, false)));
    EXPECT_EQ((std::vector<int>{320, 60, 1280, 960}),
              box(present_letterbox(1920, 1080, 640, 480, true)));
    // Smaller than the screen: whole multiples cannot fit, so it shrinks to fit.
    EXPECT_EQ((std::vector<int>{33, 0, 533, 400}),
              box(present_letterbox(600, 400, 640, 480, true)));
}

}  // namespace
