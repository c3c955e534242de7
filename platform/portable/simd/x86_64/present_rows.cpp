// The palette lookup's row converters for x86-64 processors: AVX2 gathers and AVX-512 VBMI
// byte permutes, each used only where the processor has it.
#include "platform/portable/present_rows.h"

#include <immintrin.h>

namespace {

// Eight lookups per instruction: close to a plain copy where gathers are fast (Intel), slower
// than the plain loop where they are not (AMD).
__attribute__((target("avx2"))) __m256i gather8(const uint8_t* in, const uint32_t* table) {
    const __m256i index =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
}

__attribute__((target("avx2"))) void convert_row_gather(const uint8_t* in, int w,
                                                        const Lookup& lookup, uint32_t* out) {
    int x = 0;
    for (; x + 8 <= w; x += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), gather8(in + x, lookup.table));
    for (; x < w; ++x) out[x] = lookup.table[in[x]];
}

// The same, each pixel written twice side by side: the first line of a 2x block.
__attribute__((target("avx2"))) void convert_row_doubled_gather(const uint8_t* in, int w,
                                                                const Lookup& lookup,
                                                                uint32_t* out) {
    const __m256i low = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i high = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m256i pixels = gather8(in + x, lookup.table);
        auto* o = reinterpret_cast<__m256i*>(out + 2 * x);
        _mm256_storeu_si256(o, _mm256_permutevar8x32_epi32(pixels, low));
        _mm256_storeu_si256(o + 1, _mm256_permutevar8x32_epi32(pixels, high));
    }
    for (; x < w; ++x) out[2 * x] = out[2 * x + 1] = lookup.table[in[x]];
}

#define PERMUTE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// GCC 12's own AVX-512 intrinsics trip its uninitialised-value warnings (its bug 105593).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__  // clang has no such warning, and -Werror refuses the unknown name
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Where byte permutes are fast (AVX-512 VBMI): each colour is a 256-byte table looked up 64
// pixels at a time in registers, without a gather.
PERMUTE_TARGET void split_planes(Lookup* lookup) {
    for (int i = 0; i < 256; i += 16) {
        const __m512i entries = _mm512_loadu_si512(lookup->table + i);
        for (int c = 0; c < 3; ++c) {
            _mm_store_si128(reinterpret_cast<__m128i*>(&lookup->planes[c][i]),
                            _mm512_cvtepi32_epi8(_mm512_srli_epi32(entries, 8 * c)));
        }
    }
}

struct PermutePixels {
    __m512i quarter[4];  // pixels 0-15, 16-31, 32-47, 48-63
};

PERMUTE_TARGET __m512i look_up_plane(const uint8_t* plane, __m512i index) {
    const auto* p = reinterpret_cast<const __m512i*>(plane);
    const __m512i low = _mm512_permutex2var_epi8(p[0], index, p[1]);
    const __m512i high = _mm512_permutex2var_epi8(p[2], index, p[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// 64 pixels. The unpacks below work within 128-bit lanes, so the indices are first put in the
// order that makes them come out in a row: byte 4k + j of lane l is pixel 16k + 4l + j.
PERMUTE_TARGET PermutePixels permute64(const uint8_t* in, const Lookup& lookup) {
    alignas(64) static const uint8_t order[64] = {
        0,  1,  2,  3,  16, 17, 18, 19, 32, 33, 34, 35, 48, 49, 50, 51, 4,  5,  6,  7,  20, 21,
        22, 23, 36, 37, 38, 39, 52, 53, 54, 55, 8,  9,  10, 11, 24, 25, 26, 27, 40, 41, 42, 43,
        56, 57, 58, 59, 12, 13, 14, 15, 28, 29, 30, 31, 44, 45, 46, 47, 60, 61, 62, 63};
    const __m512i index = _mm512_permutexvar_epi8(_mm512_load_si512(order), _mm512_loadu_si512(in));
    const __m512i blue = look_up_plane(lookup.planes[0], index);
    const __m512i green = look_up_plane(lookup.planes[1], index);
    const __m512i red = look_up_plane(lookup.planes[2], index);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i gb_low = _mm512_unpacklo_epi8(blue, green),
                  gb_high = _mm512_unpackhi_epi8(blue, green);
    const __m512i r_low = _mm512_unpacklo_epi8(red, zero), r_high = _mm512_unpackhi_epi8(red, zero);
    return PermutePixels{
        {_mm512_unpacklo_epi16(gb_low, r_low), _mm512_unpackhi_epi16(gb_low, r_low),
         _mm512_unpacklo_epi16(gb_high, r_high), _mm512_unpackhi_epi16(gb_high, r_high)}};
}

PERMUTE_TARGET void convert_row_permute(const uint8_t* in, int w, const Lookup& lookup,
                                        uint32_t* out) {
    int x = 0;
    for (; x + 64 <= w; x += 64) {
        const PermutePixels p = permute64(in + x, lookup);
        for (int q = 0; q < 4; ++q) _mm512_storeu_si512(out + x + 16 * q, p.quarter[q]);
    }
    for (; x < w; ++x) out[x] = lookup.table[in[x]];
}

PERMUTE_TARGET void convert_row_doubled_permute(const uint8_t* in, int w, const Lookup& lookup,
                                                uint32_t* out) {
    const __m512i low = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
    const __m512i high =
        _mm512_setr_epi32(8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15);
    int x = 0;
    for (; x + 64 <= w; x += 64) {
        const PermutePixels p = permute64(in + x, lookup);
        for (int q = 0; q < 4; ++q) {
            uint32_t* o = out + 2 * (x + 16 * q);
            _mm512_storeu_si512(o, _mm512_permutexvar_epi32(low, p.quarter[q]));
            _mm512_storeu_si512(o + 16, _mm512_permutexvar_epi32(high, p.quarter[q]));
        }
    }
    for (; x < w; ++x) out[2 * x] = out[2 * x + 1] = lookup.table[in[x]];
}

#pragma GCC diagnostic pop

}  // namespace

PresentRows present_gather_rows() {
    return {bool(__builtin_cpu_supports("avx2")), convert_row_gather, convert_row_doubled_gather,
            nullptr};
}

PresentRows present_permute_rows() {
    return {__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                __builtin_cpu_supports("avx512vbmi"),
            convert_row_permute, convert_row_doubled_permute, split_planes};
}
