// Bitmap resources and .BMP files: top-down rows, converted colour tables, ownership of the
// pixels, and damaged files turned away; image buffers cut from a cell grid.
#include "gfx/image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/display.h"
#include "platform/resources.h"

namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    std::memcpy(&out[at], &v, 2);
}
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    std::memcpy(&out[at], &v, 4);
}

// Byte b of stored (bottom-up) row r.
uint8_t stored(int r, int b) {
    return uint8_t(r * 40 + b);
}

// A .BMP file: 8-bit with `colours` table entries (blue i, green i ^ 0x55, red 255 - i), or
// 24-bit; rows padded to 4 bytes. Without its first 14 bytes it is a bitmap resource.
std::vector<uint8_t> make_file(int width, int height, int bits, int colours = 256) {
    const int table = bits == 8 ? 4 * colours : 0;
    const int stride = (width * bits / 8 + 3) / 4 * 4;
    const int offset = 14 + 40 + table;
    std::vector<uint8_t> file(offset + stride * height);
    put16(file, 0, 0x4D42);
    put32(file, 2, uint32_t(file.size()));
    put32(file, 10, uint32_t(offset));
    put32(file, 14, 40);
    put32(file, 18, uint32_t(width));
    put32(file, 22, uint32_t(height));
    put16(file, 26, 1);
    put16(file, 28, uint16_t(bits));
    put32(file, 34, uint32_t(stride * height));
    put32(file, 46, uint32_t(colours == 256 ? 0 : colours));
    for (int i = 0; i < table / 4; ++i) {
        const uint8_t quad[4] = {uint8_t(i), uint8_t(i ^ 0x55), uint8_t(255 - i), 0xEE};
        std::memcpy(&file[54 + 4 * i], quad, 4);
    }
    for (int r = 0; r < height; ++r) {
        for (int b = 0; b < stride; ++b) file[offset + r * stride + b] = stored(r, b);
    }
    return file;
}

TEST(ImageResource, LoadsRowsTopDownIntoItsOwnStorageWithTheColourTableConverted) {
    const std::vector<uint8_t> file = make_file(12, 5, 8);
    const std::vector<uint8_t> dib(file.begin() + 14, file.end());
    resource_override("BITMAP", "4242", dib.data(), dib.size());
    ASSERT_EQ(1, img_load_resource(4242));
    ASSERT_EQ(1, img_load_resource(4242));  // the first copy is given up, not leaked
    EXPECT_EQ(12, bitmap_image.info_header.biWidth);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 12; ++x) ASSERT_EQ(stored(4 - y, x), bitmap_image.pixels[y * 12 + x]);
    }
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = bitmap_image.palette[i];
        ASSERT_EQ((std::vector<int>{255 - i, i ^ 0x55, i, PC_NOCOLLAPSE}),
                  (std::vector<int>{e.peRed, e.peGreen, e.peBlue, e.peFlags}))
            << i;
    }
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 14, file.end()), dib) << "resource unchanged";

    EXPECT_EQ(1, img_release(&bitmap_image));
    EXPECT_EQ(nullptr, bitmap_image.pixels);
    EXPECT_EQ(1, img_release(&bitmap_image));
    EXPECT_EQ(255, bitmap_image.palette[0].peRed) << "the palette stays after a release";

    // A missing or short resource leaves the record empty.
    ASSERT_EQ(1, img_load_resource(4242));
    EXPECT_EQ(0, img_load_resource(4245));
    EXPECT_EQ(nullptr, bitmap_image.pixels);
    EXPECT_EQ(0, bitmap_image.info_header.biWidth);
    resource_override("BITMAP", "4246", dib.data(), dib.size() - 1);
    EXPECT_EQ(0, img_load_resource(4246));
    EXPECT_EQ(nullptr, bitmap_image.pixels);
    resource_clear_overrides();
}

TEST(ImageFlip, ReversesRowsAndTwiceGivesTheBlockBack) {
    std::vector<uint8_t> block(7 * 5);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i);
    const std::vector<uint8_t> original = block;
    ASSERT_EQ(1, img_flip_rows(block.data(), 7, 5));
    EXPECT_EQ(0, std::memcmp(&block[0], &original[28], 7));
    EXPECT_EQ(0, std::memcmp(&block[14], &original[14], 7));
    ASSERT_EQ(1, img_flip_rows(block.data(), 7, 5));
    EXPECT_EQ(original, block);
    ASSERT_EQ(1, img_flip_rows(block.data(), 35, 1));
    EXPECT_EQ(original, block);
}

class ImageFileTest : public ::testing::Test {
  protected:
    void TearDown() override {
        img_release(&image);
        std::remove(path.c_str());
    }
    int load(const std::vector<uint8_t>& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return -1;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return img_load_file(path.c_str(), &image);
    }
    int parse(const std::vector<uint8_t>& bytes) {
        return img_load_memory(bytes.data(), bytes.size(), &image);
    }
    std::string path = testing::TempDir() + "gnatrix_image_test.bmp";
    BitmapImage image{};
};

TEST_F(ImageFileTest, EightBitFileLoadsPackedTopDownRows) {
    ASSERT_EQ(1, load(make_file(5, 3, 8, 2)));  // stored rows padded to 8 bytes
    EXPECT_EQ(0x4D42, image.file_header.bfType);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) ASSERT_EQ(stored(2 - y, x), image.pixels[y * 5 + x]);
    }
    EXPECT_EQ(254, image.palette[1].peRed);
    EXPECT_EQ(1, image.palette[1].peBlue);
    EXPECT_EQ(PC_NOCOLLAPSE, image.palette[1].peFlags);
    EXPECT_EQ(0, image.palette[2].peRed) << "entries past the table stay empty";
}

TEST_F(ImageFileTest, TrueColourBecomesSixteenBitByPixelFormat) {
    std::vector<uint8_t> file = make_file(3, 2, 24);
    const uint8_t bgr[3] = {0x08, 0x84, 0xF8};  // top row's first pixel (stored last)
    std::memcpy(&file[54 + 12], bgr, 3);
    const int32_t saved_format = pixel_format;
    uint16_t pixel[2];
    for (int32_t format : {16, 15}) {
        pixel_format = format;
        ASSERT_EQ(1, parse(file));
        EXPECT_EQ(16, image.info_header.biBitCount);
        std::memcpy(&pixel[format - 15], image.pixels, 2);
    }
    pixel_format = saved_format;
    EXPECT_EQ((0x1F << 11) | (0x21 << 5) | 0x01, pixel[1]);
    EXPECT_EQ((0x1F << 10) | (0x10 << 5) | 0x01, pixel[0]);
}

TEST_F(ImageFileTest, DamagedFilesAreTurnedAwayAndLeaveTheImageAlone) {
    const std::vector<uint8_t> good = make_file(6, 4, 8, 2);
    ASSERT_EQ(1, parse(good));
    uint8_t* const held = image.pixels;
    auto damaged = [&](std::vector<std::pair<size_t, uint32_t>> fields) {
        std::vector<uint8_t> file = good;
        for (auto [at, value] : fields) {
            if (at == 26 || at == 28)
                put16(file, at, uint16_t(value));
            else
                put32(file, at, value);
        }
        return file;
    };
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"signature", damaged({{0, 0x4D41}})},
        {"file size above the file", damaged({{2, uint32_t(good.size() + 1)}})},
        {"pixel offset past the end", damaged({{10, 0xFFFFFFF0u}})},
        {"pixel offset inside the header", damaged({{10, 20}})},
        {"image size above the file", damaged({{34, 0x7FFFFFFFu}})},
        {"image size below the rows", damaged({{34, 8}})},
        {"info header size huge", damaged({{14, 0xFFFFFFF0u}})},
        {"info header size short", damaged({{14, 12}})},
        {"zero width", damaged({{18, 0}})},
        {"negative width", damaged({{18, uint32_t(-6)}})},
        {"huge width", damaged({{18, 0x7FFFFFFFu}})},
        {"zero height", damaged({{22, 0}})},
        {"negative height", damaged({{22, uint32_t(-4)}})},
        {"huge height", damaged({{22, 0x40000000u}})},
        {"more rows than stored", damaged({{22, 5}})},
        {"more rows than stored, no image size", damaged({{22, 5}, {34, 0}})},
        {"4 bits per pixel", damaged({{28, 4}})},
        {"compressed", damaged({{30, 1}})},
        {"too many colours", damaged({{46, 257}})},
        {"empty", {}},
    };
    for (const auto& [what, file] : cases) {
        EXPECT_EQ(0, parse(file)) << what;
        EXPECT_EQ(held, image.pixels) << what;
    }
    EXPECT_EQ(0, load(cases[0].second)) << "the file reader turns them away alike";
    // Every truncation, with the size fields telling the truth about it or not.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> file(good.begin(), good.begin() + cut);
        ASSERT_EQ(0, parse(file)) << cut;
        if (cut >= 6) put32(file, 2, uint32_t(cut));
        if (cut >= 38) put32(file, 34, 0);  // a zero image size means "work it out"
        ASSERT_EQ(0, parse(file)) << cut;
    }
    EXPECT_EQ(0, img_load_file((testing::TempDir() + "no_such_file.bmp").c_str(), &image));
    EXPECT_EQ(held, image.pixels);
}

TEST(ImageBuffer, CopiesOneCellOfABorderedGrid) {
    std::vector<uint8_t> pixels(40 * 30);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i % 251);
    BitmapImage sheet{};
    sheet.info_header.biWidth = 40;
    sheet.info_header.biHeight = 30;
    sheet.info_header.biBitCount = 8;
    sheet.pixels = pixels.data();

    ImageBuffer cell{};
    ASSERT_EQ(1, img_buffer_create(&cell, 0, 0, 8, 6, 8));
    ASSERT_EQ(1, img_buffer_load_cell(&cell, &sheet, 2, 1, 0));  // from column 19, row 8
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(pixels[(8 + y) * 40 + 19 + x], cell.buffer[y * 8 + x]);
    }
    EXPECT_EQ(0, img_buffer_load_cell(&cell, &sheet, 4, 0, 0)) << "cell past the right edge";
    EXPECT_EQ(0, img_buffer_load_cell(&cell, &sheet, 33, 0, 1)) << "block past the right edge";
    EXPECT_EQ(1, img_buffer_load_cell(&cell, &sheet, 32, 24, 1));
    EXPECT_EQ(1, img_buffer_destroy(&cell));
    EXPECT_EQ(nullptr, cell.buffer);
    EXPECT_EQ(0, img_buffer_create(&cell, 0, 0, 0, 6, 8));
    EXPECT_EQ(0, img_buffer_create(&cell, 0, 0, 8, 6, 24));
}

}  // namespace
