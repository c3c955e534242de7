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

    // 7 x 2 pixels in rows of 9 bytes, into rows of 8 words: the tail of each row converts too.
    const uint8_t src[18] = {1, 0, 0, 0, 0, 0, 255, 9, 9, 0, 0, 0, 0, 0, 0, 1, 9, 9};
    std::vector<uint32_t> dst(16, 0xDEADBEEF);
    present_convert(src, 9, 7, 2, table, dst.data(), 8 * 4);
    EXPECT_EQ(0x123456u, dst[0]);
    EXPECT_EQ(0xFF0001u, dst[6]);
    EXPECT_EQ(0xDEADBEEFu, dst[7]);
    EXPECT_EQ(0x123456u, dst[8 + 6]);
    EXPECT_EQ(0xDEADBEEFu, dst[15]);
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
