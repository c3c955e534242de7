// Palette lookup from 8-bit indices to 32-bit XRGB pixels, and the letterbox arithmetic.
#include "platform/present_convert.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]) {
    for (int i = 0; i < 256; ++i) {
        table[i] = uint32_t(palette[i].peRed) << 16 | uint32_t(palette[i].peGreen) << 8 |
                   palette[i].peBlue;
    }
}

namespace {

// What a row converter reads: the table, and for the permuting converter the same table as
// three planes of bytes (blue, green, red), made once per conversion.
struct Lookup {
    const uint32_t* table;
    alignas(64) uint8_t planes[3][256];
};

using RowConverter = void (*)(const uint8_t* in, int w, const Lookup& lookup, uint32_t* out);

void convert_row(const uint8_t* in, int w, const Lookup& lookup, uint32_t* out) {
    const uint32_t* table = lookup.table;
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

void convert_row_doubled(const uint8_t* in, int w, const Lookup& lookup, uint32_t* out) {
    for (int x = 0; x < w; ++x) out[2 * x] = out[2 * x + 1] = lookup.table[in[x]];
}

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

struct ConverterInfo {
    const char* name;
    bool available;
    RowConverter row, doubled;
    void (*prepare)(Lookup*);
};

const ConverterInfo& info(PresentConverter c) {
    static const ConverterInfo converters[] = {
        {"plain", true, convert_row, convert_row_doubled, nullptr},
        {"gather", bool(__builtin_cpu_supports("avx2")), convert_row_gather,
         convert_row_doubled_gather, nullptr},
        {"permute",
         __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi"),
         convert_row_permute, convert_row_doubled_permute, split_planes}};
    return converters[int(c)];
}

bool chosen = false;
PresentConverter in_use = PresentConverter::Plain;
double timings_us[PRESENT_CONVERTERS];

void prepare(PresentConverter c, const uint32_t table[256], Lookup* lookup) {
    lookup->table = table;
    if (info(c).prepare) info(c).prepare(lookup);
}

void convert_with(PresentConverter c, const uint8_t* src, int src_pitch, int w, int h,
                  const uint32_t table[256], uint32_t* dst, int dst_pitch) {
    Lookup lookup;
    prepare(c, table, &lookup);
    for (int y = 0; y < h; ++y) {
        info(c).row(src + y * src_pitch, w, lookup,
                    reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dst) + y * dst_pitch));
    }
}

// The fastest converter on a quarter of a frame of varied pixels, best of three runs each:
// under half a millisecond in all.
PresentConverter fastest() {
    constexpr int W = 640, H = 120;
    std::vector<uint8_t> src(W * H);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 2654435761u >> 13);
    std::vector<uint32_t> dst(W * H), table(256);
    for (int i = 0; i < 256; ++i) table[size_t(i)] = 0x010203u * uint32_t(i);
    PresentConverter best = PresentConverter::Plain;
    for (int c = 0; c < PRESENT_CONVERTERS; ++c) {
        timings_us[c] = 0;
        if (!info(PresentConverter(c)).available) continue;
        double shortest = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            convert_with(PresentConverter(c), src.data(), W, W, H, table.data(), dst.data(), W * 4);
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            shortest = std::min(shortest, took.count());
        }
        timings_us[c] = shortest * 480 / H;  // per whole frame
        if (timings_us[c] < timings_us[int(best)]) best = PresentConverter(c);
    }
    return best;
}

}  // namespace

PresentConverter present_choose_converter() {
    const char* wanted = std::getenv("GNATRIX_CONVERTER");
    for (int c = 0; wanted && c < PRESENT_CONVERTERS; ++c) {
        const ConverterInfo& candidate = info(PresentConverter(c));
        if (candidate.available && std::strcmp(wanted, candidate.name) == 0)
            return PresentConverter(c);
    }
    return fastest();
}

PresentConverter present_converter() {
    if (!chosen) present_use_converter(present_choose_converter());
    return in_use;
}

bool present_use_converter(PresentConverter c) {
    if (int(c) < 0 || int(c) >= PRESENT_CONVERTERS || !info(c).available) return false;
    in_use = c;
    chosen = true;
    return true;
}

const char* present_converter_name(PresentConverter c) {
    return info(c).name;
}

bool present_converter_available(PresentConverter c) {
    return info(c).available;
}

double present_converter_timing(PresentConverter c) {
    return timings_us[int(c)];
}

void present_convert(const uint8_t* src, int src_pitch, int w, int h, const uint32_t table[256],
                     uint32_t* dst, int dst_pitch) {
    convert_with(present_converter(), src, src_pitch, w, h, table, dst, dst_pitch);
}

void present_convert_scaled(const uint8_t* src, int src_pitch, int w, int h,
                            const uint32_t table[256], int n, uint32_t* dst, int dst_pitch) {
    if (n <= 1) {
        present_convert(src, src_pitch, w, h, table, dst, dst_pitch);
        return;
    }
    const PresentConverter c = present_converter();
    Lookup lookup;
    prepare(c, table, &lookup);
    auto* out = reinterpret_cast<uint8_t*>(dst);
    for (int y = 0; y < h; ++y) {
        auto* first = reinterpret_cast<uint32_t*>(out);
        const uint8_t* in = src + y * src_pitch;
        if (n == 2)
            info(c).doubled(in, w, lookup, first);
        else
            for (int x = 0; x < w; ++x) std::fill_n(first + x * n, n, table[in[x]]);
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
