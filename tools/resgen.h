// Shared helpers of the resource generators: files, palettes, packed DIBs, PNG and source parsing.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace resgen {

using Bytes = std::vector<uint8_t>;

[[noreturn]] inline void fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(1);
}

inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) fail("cannot write " + path.string());
}

// Every generator is called as: tool SOURCE_ROOT OUTPUT_ROOT (both repository-shaped trees).
struct Roots {
    std::filesystem::path source, output;
};

inline Roots parse_roots(int argc, char** argv, const char* what) {
    if (argc != 3)
        fail(std::string("usage: ") + argv[0] + " SOURCE_ROOT OUTPUT_ROOT  (" + what + ")");
    return {argv[1], argv[2]};
}

// --- Little-endian byte output -------------------------------------------------------------

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void put_be32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
inline void put_tag(Bytes& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}

// --- Colours --------------------------------------------------------------------------------

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
using Palette = std::array<Rgb, 256>;

// An 8-bit picture, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    Picture() = default;
    Picture(int w, int h, uint8_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint8_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    uint8_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Packed DIB as a BITMAP resource holds it: info header, 256 BGRA entries, bottom-up rows.
inline Bytes packed_dib(const Picture& pic, const Palette& pal) {
    Bytes b;
    put32(b, 40);
    put32(b, uint32_t(pic.width));
    put32(b, uint32_t(pic.height));
    put16(b, 1);  // planes
    put16(b, 8);  // bits per pixel
    put32(b, 0);  // no compression
    put32(b, uint32_t(pic.width * pic.height));
    put32(b, 2835);  // 72 dpi
    put32(b, 2835);
    put32(b, 0);  // every entry of the table is used
    put32(b, 0);
    for (const Rgb& c : pal) {
        b.push_back(c.b);
        b.push_back(c.g);
        b.push_back(c.r);
        b.push_back(0);
    }
    for (int y = pic.height - 1; y >= 0; --y)
        b.insert(b.end(), pic.pixels.begin() + size_t(y) * pic.width,
                 pic.pixels.begin() + size_t(y + 1) * pic.width);
    return b;
}

// --- PNG: zlib stream of one fixed-Huffman deflate block with greedy LZ77 -------------------

class BitWriter {
  public:
    Bytes out;
    void bits(uint32_t value, int count) {  // least significant bit first
        for (int i = 0; i < count; ++i) {
            if (fill_ == 0) out.push_back(0);
            out.back() |= uint8_t(((value >> i) & 1) << fill_);
            fill_ = (fill_ + 1) & 7;
        }
    }
    void code(uint32_t value, int count) {  // Huffman codes go most significant bit first
        for (int i = count - 1; i >= 0; --i) bits((value >> i) & 1, 1);
    }

  private:
    int fill_ = 0;
};

inline void fixed_literal(BitWriter& w, int v) {
    if (v < 144)
        w.code(0x30 + v, 8);
    else if (v < 256)
        w.code(0x190 + v - 144, 9);
    else if (v < 280)
        w.code(v - 256, 7);
    else
        w.code(0xC0 + v - 280, 8);
}

inline void fixed_match(BitWriter& w, int length, int distance) {
    static const int len_base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int len_extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int dist_base[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int li = 28;
    while (len_base[li] > length) --li;
    fixed_literal(w, 257 + li);
    w.bits(uint32_t(length - len_base[li]), len_extra[li]);
    int di = 29;
    while (dist_base[di] > distance) --di;
    w.code(uint32_t(di), 5);
    w.bits(uint32_t(distance - dist_base[di]), di < 4 ? 0 : di / 2 - 1);
}

inline Bytes zlib_compress(const Bytes& data) {
    BitWriter w;
    w.out = {0x78, 0x01};
    w.bits(1, 1);  // final block
    w.bits(1, 2);  // fixed Huffman codes
    const int window = 32768, max_len = 258, hash_size = 1 << 15, max_chain = 48;
    std::vector<int> head(hash_size, -1), prev(data.size(), -1);
    auto hash = [&](size_t i) {
        return int(((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (hash_size - 1));
    };
    auto insert = [&](size_t i) {
        if (i + 2 >= data.size()) return;
        int h = hash(i);
        prev[i] = head[h];
        head[h] = int(i);
    };
    size_t i = 0;
    while (i < data.size()) {
        int best_len = 0, best_dist = 0;
        if (i + 2 < data.size()) {
            int limit = int(std::min<size_t>(max_len, data.size() - i));
            int chain = max_chain;
            for (int j = head[hash(i)]; j >= 0 && int(i) - j <= window && chain-- > 0;
                 j = prev[j]) {
                int n = 0;
                while (n < limit && data[j + n] == data[i + n]) ++n;
                if (n > best_len) best_len = n, best_dist = int(i) - j;
                if (n == limit) break;
            }
        }
        if (best_len >= 3) {
            fixed_match(w, best_len, best_dist);
            for (int k = 0; k < best_len; ++k) insert(i + k);
            i += size_t(best_len);
        } else {
            fixed_literal(w, data[i]);
            insert(i);
            ++i;
        }
    }
    fixed_literal(w, 256);
    uint32_t a = 1, b = 0;
    for (uint8_t c : data) a = (a + c) % 65521, b = (b + a) % 65521;
    Bytes out = std::move(w.out);
    put_be32(out, (b << 16) | a);
    return out;
}

inline uint32_t crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

inline void png_chunk(Bytes& png, const char* tag, const Bytes& data) {
    put_be32(png, uint32_t(data.size()));
    size_t start = png.size();
    put_tag(png, tag);
    png.insert(png.end(), data.begin(), data.end());
    put_be32(png, crc32(png.data() + start, png.size() - start));
}

// colour_type 3: indexed with palette; 6: RGBA. rows: top-down, unfiltered.
inline Bytes png_encode(int width, int height, int colour_type, const Bytes& rows,
                        const Palette* pal = nullptr) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    put_be32(ihdr, uint32_t(width));
    put_be32(ihdr, uint32_t(height));
    ihdr.insert(ihdr.end(), {8, uint8_t(colour_type), 0, 0, 0});
    png_chunk(png, "IHDR", ihdr);
    if (pal) {
        Bytes plte;
        for (const Rgb& c : *pal) plte.insert(plte.end(), {c.r, c.g, c.b});
        png_chunk(png, "PLTE", plte);
    }
    int row_bytes = width * (colour_type == 6 ? 4 : 1);
    Bytes raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rows.begin() + size_t(y) * row_bytes,
                   rows.begin() + size_t(y + 1) * row_bytes);
    }
    png_chunk(png, "IDAT", zlib_compress(raw));
    png_chunk(png, "IEND", {});
    return png;
}

// The picture enlarged by an integer factor, as an indexed PNG.
inline Bytes png_of_picture(const Picture& pic, const Palette& pal, int scale = 1) {
    int w = pic.width * scale, h = pic.height * scale;
    Bytes rows(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rows[size_t(y) * w + x] = pic.at(x / scale, y / scale);
    return png_encode(w, h, 3, rows, &pal);
}

// --- Source files ----------------------------------------------------------------------

// Words split by blanks; a "quoted text" is one word (without its quotes); a '#' that starts a
// word outside quotes starts a comment.
inline std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else if (line[i] == '"') {
            size_t close = std::min(line.find('"', i + 1), line.size());
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = std::min(line.find_first_of(" \t", i), line.size());
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline int to_int(const std::string& word, const std::string& where) {
    char* end = nullptr;
    long v = std::strtol(word.c_str(), &end, 0);
    if (word.empty() || *end) fail(where + ": not a number: " + word);
    return int(v);
}

inline double to_real(const std::string& word, const std::string& where) {
    char* end = nullptr;
    double v = std::strtod(word.c_str(), &end);
    if (word.empty() || *end) fail(where + ": not a number: " + word);
    return v;
}

}  // namespace resgen
