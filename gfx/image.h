// Bitmap images: the one staging image loaded from the executable's BITMAP resources (or a
// .BMP file), its palette converted to the display's layout and its rows top-down; and the
// small image buffers cut out of it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// The headers of a .BMP file, laid out as the format stores them (little-endian).
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};
#pragma pack(pop)
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr uint16_t BITMAP_SIGNATURE = 0x4D42;  // "BM"
constexpr uint16_t BITMAP_BACKDROP = 147;
constexpr uint16_t BITMAP_SPRITES = 171;

struct BitmapImage {
    BITMAPFILEHEADER file_header;
    BITMAPINFOHEADER info_header;
    PALETTEENTRY palette[256];
    uint8_t* pixels;  // top row first, rows packed; null when no image is held
    // Whether pixels is storage this record allocated (and img_release frees).
    bool owns_pixels;
};

extern BitmapImage bitmap_image;

// Loads BITMAP resource `number` into bitmap_image, rows turned top-down in storage of its own.
// 0 when the resource is missing, malformed or the copy cannot be allocated: the record is
// then empty (no pixels, zeroed info header; the palette stays).
int img_load_resource(uint16_t number);
// Reverses the order of `rows` rows of `row_bytes` bytes in place; 0 (block unchanged) when the
// temporary copy cannot be allocated.
int img_flip_rows(uint8_t* block, int32_t row_bytes, int32_t rows);
// Frees pixel storage the image owns and empties pixels. Always 1.
int img_release(BitmapImage* image);
// Reads an uncompressed 8- or 24-bit .BMP file; 24-bit pixels become 16-bit 5-5-5 (when the
// screen reports 15 bits) or 5-6-5, and the header then says 16 bits. 0 for a missing, damaged
// or unsupported file, which leaves the image as it was.
int img_load_file(const char* path, BitmapImage* image);
// The same for the bytes of a whole .BMP file held in memory.
int img_load_memory(const uint8_t* bytes, size_t size, BitmapImage* image);

// Where a frame's top-left pixel lies: cell mode (mode 0) counts cells of width x height with
// a one-pixel border around each; any other mode takes (cx, cy) as the pixel itself.
void img_cell_origin(int32_t cx, int32_t cy, int32_t width, int32_t height, int32_t mode,
                     int32_t* column, int32_t* row);
// Copies a width x height block whose top-left pixel is (column, row) out of the image into
// dst, stepping dst rows by dst_pitch bytes. 0 (nothing copied) when the block is not inside.
int img_copy_block(const BitmapImage* image, int32_t column, int32_t row, int32_t width,
                   int32_t height, uint8_t* dst, int32_t dst_pitch);

// A small picture of its own, cut out of a BitmapImage.
struct ImageBuffer {
    int32_t state;
    uint32_t attrs;
    int32_t x, y;
    int32_t width, height;
    int32_t byte_size;
    int32_t bits_per_pixel;
    uint8_t* buffer;
};

constexpr int32_t IMAGE_STATE_ALIVE = 1;

// Allocates width x height pixels of bits_per_pixel (8 or 16), cleared; 0 on bad sizes or
// when the storage cannot be allocated.
int img_buffer_create(ImageBuffer* image, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t bits_per_pixel);
int img_buffer_destroy(ImageBuffer* image);
// Copies one cell (or, mode not 0, the block at pixel cx, cy) of `source` into the buffer.
// 0 when the bit depths differ or the cell is not inside the source.
int img_buffer_load_cell(ImageBuffer* image, const BitmapImage* source, int32_t cx, int32_t cy,
                         int32_t mode);
