// Palette lookup from 8-bit indices to 32-bit XRGB pixels, and the letterbox arithmetic.
#include "platform/present_convert.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

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

// The same, each pixel written twice side by side: the first line of a 2x block.
__attribute__((target("avx2"))) void convert_row_doubled_avx2(const uint8_t* in, int w,
                                                              const uint32_t* table,
                                                              uint32_t* out) {
    const auto* base = reinterpret_cast<const int*>(table);
    const __m256i low = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i high = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m256i index =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x)));
        const __m256i pixels = _mm256_i32gather_epi32(base, index, 4);
        auto* o = reinterpret_cast<__m256i*>(out + 2 * x);
        _mm256_storeu_si256(o, _mm256_permutevar8x32_epi32(pixels, low));
        _mm256_storeu_si256(o + 1, _mm256_permutevar8x32_epi32(pixels, high));
    }
    for (; x < w; ++x) out[2 * x] = out[2 * x + 1] = table[in[x]];
}

void convert_row_multiplied(const uint8_t* in, int w, const uint32_t* table, int n, uint32_t* out) {
    if (n == 2 && __builtin_cpu_supports("avx2")) {
        convert_row_doubled_avx2(in, w, table, out);
        return;
    }
    for (int x = 0; x < w; ++x) std::fill_n(out + x * n, n, table[in[x]]);
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

void present_convert_scaled(const uint8_t* src, int src_pitch, int w, int h,
                            const uint32_t table[256], int n, uint32_t* dst, int dst_pitch) {
    if (n <= 1) {
        present_convert(src, src_pitch, w, h, table, dst, dst_pitch);
        return;
    }
    auto* out = reinterpret_cast<uint8_t*>(dst);
    for (int y = 0; y < h; ++y) {
        auto* first = reinterpret_cast<uint32_t*>(out);
        convert_row_multiplied(src + y * src_pitch, w, table, n, first);
        // The other n - 1 lines of the block are copies of the first.
        for (int k = 1; k < n; ++k) std::memcpy(out + k * dst_pitch, first, size_t(w) * n * 4);
        out += size_t(n) * dst_pitch;
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

bool present_is_software_rasteriser(const char* gl_renderer) {
    if (!gl_renderer) return true;  // a renderer that cannot name itself is not trusted
    static const char* const software[] = {"llvmpipe", "softpipe", "Software Rasterizer", "SWR",
                                           "swrast",   "lavapipe", "Microsoft Basic"};
    for (const char* name : software)
        if (std::strstr(gl_renderer, name)) return true;
    return false;
}
