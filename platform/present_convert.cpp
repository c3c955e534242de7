// Palette lookup from 8-bit indices to 32-bit XRGB pixels, and the letterbox arithmetic.
#include "platform/present_convert.h"

#include <immintrin.h>

#include <algorithm>

void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]) {
    for (int i = 0; i < 256; ++i) {
        table[i] = uint32_t(palette[i].peRed) << 16 | uint32_t(palette[i].peGreen) << 8 |
                   palette[i].peBlue;
    }
}

namespace {

using RowConverter = void (*)(const uint8_t* in, int w, const uint32_t* table, uint32_t* out);

void convert_row(const uint8_t* in, int w, const uint32_t* table, uint32_t* out) {
    int x = 0;
    // Four pixels per step keeps the table loads and stores independent of each other.
    for (; x + 4 <= w; x += 4) {
        const uint32_t a = table[in[x]], b = table[in[x + 1]];
        const uint32_t c = table[in[x + 2]], d = table[in[x + 3]];
        out[x] = a;
        out[x + 1] = b;
        out[x + 2] = c;
        out[x + 3] = d;
    }
    for (; x < w; ++x) out[x] = table[in[x]];
}

// Eight lookups per instruction where the processor can gather: close to a plain copy.
__attribute__((target("avx2"))) void convert_row_avx2(const uint8_t* in, int w,
                                                      const uint32_t* table, uint32_t* out) {
    const auto* base = reinterpret_cast<const int*>(table);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m256i index =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_i32gather_epi32(base, index, 4));
    }
    for (; x < w; ++x) out[x] = table[in[x]];
}

RowConverter row_converter() {
    static const RowConverter chosen =
        __builtin_cpu_supports("avx2") ? convert_row_avx2 : convert_row;
    return chosen;
}

}  // namespace

void present_convert(const uint8_t* src, int src_pitch, int w, int h, const uint32_t table[256],
                     uint32_t* dst, int dst_pitch) {
    const RowConverter convert = row_converter();
    for (int y = 0; y < h; ++y) {
        convert(src + y * src_pitch, w, table,
                reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dst) + y * dst_pitch));
    }
}

Letterbox present_letterbox(int out_w, int out_h, int w, int h, bool whole_multiples) {
    int dw = out_w, dh = int(int64_t(out_w) * h / w);
    if (dh > out_h) {
        dh = out_h;
        dw = int(int64_t(out_h) * w / h);
    }
    const int n = std::min(out_w / w, out_h / h);
    if (whole_multiples && n >= 1) {
        dw = n * w;
        dh = n * h;
    }
    return Letterbox{(out_w - dw) / 2, (out_h - dh) / 2, dw, dh};
}
