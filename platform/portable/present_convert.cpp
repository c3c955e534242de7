// Palette lookup from 8-bit indices to 32-bit XRGB pixels, and the letterbox arithmetic.
#include "platform/present_convert.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/portable/present_rows.h"

void present_build_table(const PALETTEENTRY palette[256], uint32_t table[256]) {
    for (int i = 0; i < 256; ++i) {
        table[i] = uint32_t(palette[i].peRed) << 16 | uint32_t(palette[i].peGreen) << 8 |
                   palette[i].peBlue;
    }
}

namespace {

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

struct ConverterInfo {
    const char* name;
    PresentRows rows;
};

const ConverterInfo& info(PresentConverter c) {
    static const ConverterInfo converters[] = {
        {"plain", {true, convert_row, convert_row_doubled, nullptr}},
        {"gather", present_gather_rows()},
        {"permute", present_permute_rows()}};
    return converters[int(c)];
}

bool chosen = false;
PresentConverter in_use = PresentConverter::Plain;
double timings_us[PRESENT_CONVERTERS];

void prepare(PresentConverter c, const uint32_t table[256], Lookup* lookup) {
    lookup->table = table;
    if (info(c).rows.prepare) info(c).rows.prepare(lookup);
}

void convert_with(PresentConverter c, const uint8_t* src, int src_pitch, int w, int h,
                  const uint32_t table[256], uint32_t* dst, int dst_pitch) {
    Lookup lookup;
    prepare(c, table, &lookup);
    for (int y = 0; y < h; ++y) {
        info(c).rows.row(
            src + y * src_pitch, w, lookup,
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
        if (!info(PresentConverter(c)).rows.available) continue;
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
        if (candidate.rows.available && std::strcmp(wanted, candidate.name) == 0)
            return PresentConverter(c);
    }
    return fastest();
}

PresentConverter present_converter() {
    if (!chosen) present_use_converter(present_choose_converter());
    return in_use;
}

bool present_use_converter(PresentConverter c) {
    if (int(c) < 0 || int(c) >= PRESENT_CONVERTERS || !info(c).rows.available) return false;
    in_use = c;
    chosen = true;
    return true;
}

const char* present_converter_name(PresentConverter c) {
    return info(c).name;
}

bool present_converter_available(PresentConverter c) {
    return info(c).rows.available;
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
            info(c).rows.doubled(in, w, lookup, first);
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
