// Loading bitmaps from the executable's resources and from .BMP files, and cutting cells out.
#include "gfx/image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "gfx/display.h"
#include "platform/resources.h"

BitmapImage bitmap_image;

namespace {

// A packed bitmap resource: the info header, 256 colour-table entries, then the rows.
constexpr size_t COLOUR_TABLE_BYTES = 256 * 4;
constexpr size_t RESOURCE_PIXEL_OFFSET = sizeof(BITMAPINFOHEADER) + COLOUR_TABLE_BYTES;
// Larger pictures than this are not ours; the bound also keeps every size product in range.
constexpr int32_t MAX_DIMENSION = 16384;
constexpr long MAX_FILE_BYTES = 256L << 20;

bool sane_dimensions(const BITMAPINFOHEADER& header) {
    return header.biWidth > 0 && header.biWidth <= MAX_DIMENSION && header.biHeight > 0 &&
           header.biHeight <= MAX_DIMENSION;
}

// Colour-table entries are blue, green, red, reserved; the palette wants red first.
void convert_colour_table(const uint8_t* table, size_t count, PALETTEENTRY palette[256]) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* quad = table + 4 * i;
        palette[i] = {quad[2], quad[1], quad[0], PC_NOCOLLAPSE};
    }
}

// Writes the rows of src to dst in reverse order, each through copy_row(dst_row, src_row).
template <typename CopyRow>
void copy_rows_reversed(uint8_t* dst, size_t dst_row_bytes, const uint8_t* src,
                        size_t src_row_bytes, size_t rows, CopyRow copy_row) {
    for (size_t i = 0; i < rows; ++i) {
        copy_row(dst + (rows - 1 - i) * dst_row_bytes, src + i * src_row_bytes);
    }
}

void set_pixels(BitmapImage* image, uint8_t* pixels) {
    image->pixels = pixels;
    image->owns_pixels = pixels != nullptr;
}

std::vector<uint8_t> read_file(const char* path, bool* ok) {
    std::vector<uint8_t> bytes;
    *ok = false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return bytes;
    const long size = std::ftell(file.get());
    if (size < 0 || size > MAX_FILE_BYTES || std::fseek(file.get(), 0, SEEK_SET) != 0) return bytes;
    bytes.resize(size_t(size));
    *ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return bytes;
}

uint16_t to_16_bit(uint8_t red, uint8_t green, uint8_t blue) {
    if (pixel_format == 15) return uint16_t(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
    return uint16_t(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

// Checks an uncompressed 8- or 24-bit file against its own size; on success gives where the
// rows start and how long a stored (4-byte padded) row is.
bool check_file_layout(size_t file_size, const BITMAPFILEHEADER& file_header,
                       const BITMAPINFOHEADER& header, size_t* stride) {
    const uint64_t size = file_size;
    if (file_header.bfType != BITMAP_SIGNATURE || file_header.bfSize > size) return false;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1) return false;
    if (header.biCompression != 0 || (header.biBitCount != 8 && header.biBitCount != 24)) {
        return false;
    }
    if (!sane_dimensions(header)) return false;
    *stride = (uint64_t(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    const uint64_t data_bytes = uint64_t(*stride) * uint64_t(header.biHeight);
    const uint64_t offset = file_header.bfOffBits;
    const uint64_t table_start = sizeof(BITMAPFILEHEADER) + uint64_t(header.biSize);
    if (offset < table_start || offset > size) return false;
    if (header.biSizeImage != 0 && header.biSizeImage < data_bytes) return false;
    if (header.biSizeImage > size - offset || data_bytes > size - offset) return false;
    if (header.biBitCount == 8) {
        const uint64_t colours = header.biClrUsed ? header.biClrUsed : 256;
        if (colours > 256 || table_start + 4 * colours > offset) return false;
    }
    return true;
}

// Turns the stored rows of a checked file into packed top-down rows of the image's own.
uint8_t* decode_rows(const uint8_t* rows, size_t stride, BITMAPINFOHEADER* header) {
    const size_t width = size_t(header->biWidth), height = size_t(header->biHeight);
    const bool true_colour = header->biBitCount == 24;
    const size_t row_bytes = width * (true_colour ? 2 : 1);
    uint8_t* pixels = new (std::nothrow) uint8_t[row_bytes * height];
    if (!pixels) return nullptr;
    if (true_colour) {
        copy_rows_reversed(
            pixels, row_bytes, rows, stride, height, [&](uint8_t* d, const uint8_t* s) {
                for (size_t x = 0; x < width; ++x) {
                    const uint16_t pixel = to_16_bit(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
                    std::memcpy(d + 2 * x, &pixel, 2);
                }
            });
        header->biBitCount = 16;
    } else {
        copy_rows_reversed(pixels, row_bytes, rows, stride, height,
                           [&](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, row_bytes); });
    }
    header->biSizeImage = uint32_t(row_bytes * height);
    return pixels;
}

}  // namespace

int img_load_resource(uint16_t number) {
    img_release(&bitmap_image);
    bitmap_image.info_header = {};
    ResourceData resource{};
    if (!find_resource("BITMAP", number, &resource) || resource.size < RESOURCE_PIXEL_OFFSET) {
        return 0;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, resource.data, sizeof(header));
    const size_t row_bytes = size_t(header.biBitCount / 8) * size_t(header.biWidth);
    if (!sane_dimensions(header) || row_bytes == 0 ||
        resource.size - RESOURCE_PIXEL_OFFSET < row_bytes * size_t(header.biHeight)) {
        return 0;
    }
    convert_colour_table(resource.data + sizeof(header), 256, bitmap_image.palette);
    // The resource is read-only, so the rows are turned into storage of the image's own.
    const size_t rows = size_t(header.biHeight);
    uint8_t* pixels = new (std::nothrow) uint8_t[row_bytes * rows];
    if (!pixels) return 0;
    copy_rows_reversed(pixels, row_bytes, resource.data + RESOURCE_PIXEL_OFFSET, row_bytes, rows,
                       [&](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, row_bytes); });
    bitmap_image.info_header = header;
    set_pixels(&bitmap_image, pixels);
    return 1;
}

int img_flip_rows(uint8_t* block, int32_t row_bytes, int32_t rows) {
    if (!block || row_bytes < 0 || rows < 0) return 0;
    const size_t size = size_t(row_bytes) * size_t(rows);
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size]);
    if (!copy) return 0;
    std::memcpy(copy.get(), block, size);
    copy_rows_reversed(block, size_t(row_bytes), copy.get(), size_t(row_bytes), size_t(rows),
                       [&](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, size_t(row_bytes)); });
    return 1;
}

int img_release(BitmapImage* image) {
    if (!image) return 0;
    if (image->owns_pixels) delete[] image->pixels;
    set_pixels(image, nullptr);
    return 1;
}

int img_load_file(const char* path, BitmapImage* image) {
    if (!path || !image) return 0;
    bool read_ok = false;
    const std::vector<uint8_t> file = read_file(path, &read_ok);
    return read_ok ? img_load_memory(file.data(), file.size(), image) : 0;
}

int img_load_memory(const uint8_t* bytes, size_t size, BitmapImage* image) {
    if (!bytes || !image || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return 0;
    BITMAPFILEHEADER file_header;
    BITMAPINFOHEADER header;
    std::memcpy(&file_header, bytes, sizeof(file_header));
    std::memcpy(&header, bytes + sizeof(file_header), sizeof(header));
    size_t stride = 0;
    if (!check_file_layout(size, file_header, header, &stride)) return 0;
    PALETTEENTRY palette[256] = {};
    if (header.biBitCount == 8) {
        const uint8_t* table = bytes + sizeof(file_header) + header.biSize;
        convert_colour_table(table, header.biClrUsed ? header.biClrUsed : 256, palette);
    }
    uint8_t* pixels = decode_rows(bytes + file_header.bfOffBits, stride, &header);
    if (!pixels) return 0;
    img_release(image);
    image->file_header = file_header;
    image->info_header = header;
    std::memcpy(image->palette, palette, sizeof(palette));
    set_pixels(image, pixels);
    return 1;
}

void img_cell_origin(int32_t cx, int32_t cy, int32_t width, int32_t height, int32_t mode,
                     int32_t* column, int32_t* row) {
    *column = mode == 0 ? cx * (width + 1) + 1 : cx;
    *row = mode == 0 ? cy * (height + 1) + 1 : cy;
}

int img_copy_block(const BitmapImage* image, int32_t column, int32_t row, int32_t width,
                   int32_t height, uint8_t* dst, int32_t dst_pitch) {
    if (!image || !image->pixels || !dst) return 0;
    const BITMAPINFOHEADER& header = image->info_header;
    const int64_t bytes_per_pixel = header.biBitCount / 8;
    const int64_t row_bytes = int64_t(width) * bytes_per_pixel;
    if (bytes_per_pixel == 0 || width <= 0 || height <= 0 || column < 0 || row < 0 ||
        int64_t(column) + width > header.biWidth || int64_t(row) + height > header.biHeight ||
        dst_pitch < row_bytes) {
        return 0;
    }
    const int64_t stride = int64_t(header.biWidth) * bytes_per_pixel;
    const uint8_t* src = image->pixels + row * stride + column * bytes_per_pixel;
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(dst + int64_t(y) * dst_pitch, src + y * stride, size_t(row_bytes));
    }
    return 1;
}

int img_buffer_create(ImageBuffer* image, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t bits_per_pixel) {
    if (!image || width <= 0 || height <= 0 || width > MAX_DIMENSION || height > MAX_DIMENSION ||
        (bits_per_pixel != 8 && bits_per_pixel != 16)) {
        return 0;
    }
    const int32_t byte_size = width * height * (bits_per_pixel / 8);
    uint8_t* buffer = new (std::nothrow) uint8_t[size_t(byte_size)]();
    if (!buffer) return 0;
    *image = {IMAGE_STATE_ALIVE, 0, x, y, width, height, byte_size, bits_per_pixel, buffer};
    return 1;
}

int img_buffer_destroy(ImageBuffer* image) {
    if (!image) return 0;
    delete[] image->buffer;
    *image = {};
    return 1;
}

int img_buffer_load_cell(ImageBuffer* image, const BitmapImage* source, int32_t cx, int32_t cy,
                         int32_t mode) {
    if (!image || !image->buffer || !source ||
        source->info_header.biBitCount != image->bits_per_pixel) {
        return 0;
    }
    int32_t column = 0, row = 0;
    img_cell_origin(cx, cy, image->width, image->height, mode, &column, &row);
    return img_copy_block(source, column, row, image->width, image->height, image->buffer,
                          image->width * (image->bits_per_pixel / 8));
}
