// Builds the sprite sheet (resources/sprites.dib), the window icons (resources/icon*.png, and
// resources/gnatrix.ico for the Windows executable) and the enlarged preview docs/sprites.png
// from the ASCII-art source resources/src/sprites.txt.
#include <cmath>
#include <map>
#include <utility>

#include "tools/resgen.h"

using namespace resgen;

namespace {

struct Frame {
    std::string name;
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<std::string> rows;
};

struct SpriteSource {
    Palette palette{};
    std::map<char, int> legend;
    int width = 400, height = 400, fill = 0, border = -1;
    std::vector<Frame> frames;
    std::string icon_frame;
    Rgb icon_top, icon_bottom;
};

void apply_ramp(Palette& pal, const std::vector<std::string>& w, const std::string& where) {
    if (w.size() != 9) fail(where + ": ramp FIRST LAST R G B R G B");
    int first = to_int(w[1], where), last = to_int(w[2], where);
    if (first < 0 || last > 255 || last <= first) fail(where + ": bad ramp range");
    for (int i = first; i <= last; ++i) {
        double t = double(i - first) / (last - first);
        auto mix = [&](int k) {
            double a = to_int(w[3 + k], where), b = to_int(w[6 + k], where);
            return uint8_t(std::lround(a + (b - a) * t));
        };
        pal[i] = {mix(0), mix(1), mix(2)};
    }
}

void apply_cube(Palette& pal, int first) {
    for (int i = 0; i < 216 && first + i < 256; ++i)
        pal[first + i] = {uint8_t(i / 36 * 51), uint8_t(i / 6 % 6 * 51), uint8_t(i % 6 * 51)};
}

Rgb to_rgb(const std::vector<std::string>& w, size_t at, const std::string& where) {
    auto c = [&](size_t k) {
        int v = to_int(w[at + k], where);
        if (v < 0 || v > 255) fail(where + ": colour out of range");
        return uint8_t(v);
    };
    return {c(0), c(1), c(2)};
}

SpriteSource parse(const std::string& text) {
    SpriteSource src;
    auto lines = split_lines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string where = "sprites.txt:" + std::to_string(n + 1);
        const std::string& line = lines[n];
        auto w = split_words(line);
        if (w.empty()) continue;
        if (w[0] == "colour" && w.size() == 5) {
            src.palette.at(size_t(to_int(w[1], where))) = to_rgb(w, 2, where);
        } else if (w[0] == "ramp") {
            apply_ramp(src.palette, w, where);
        } else if (w[0] == "cube" && w.size() == 2) {
            apply_cube(src.palette, to_int(w[1], where));
        } else if (w[0] == "key" && w.size() == 3 && w[1].size() == 1) {
            src.legend[w[1][0]] = to_int(w[2], where);
        } else if (w[0] == "sheet" && w.size() == 5) {
            src.width = to_int(w[1], where), src.height = to_int(w[2], where);
            src.fill = to_int(w[3], where), src.border = to_int(w[4], where);
        } else if (w[0] == "icon" && w.size() == 8) {
            src.icon_frame = w[1];
            src.icon_top = to_rgb(w, 2, where);
            src.icon_bottom = to_rgb(w, 5, where);
        } else if (w[0] == "frame" && w.size() == 6) {
            Frame f{w[1],
                    to_int(w[2], where),
                    to_int(w[3], where),
                    to_int(w[4], where),
                    to_int(w[5], where),
                    {}};
            for (int r = 0; r < f.h; ++r) {
                if (++n >= lines.size()) fail(where + ": frame " + f.name + " is cut short");
                std::string row = lines[n];
                if (int(row.size()) != f.w)
                    fail("sprites.txt:" + std::to_string(n + 1) + ": row of " + f.name +
                         " must be " + std::to_string(f.w) + " characters wide");
                f.rows.push_back(row);
            }
            src.frames.push_back(f);
        } else {
            fail(where + ": cannot read: " + lines[n]);
        }
    }
    return src;
}

Picture draw_sheet(const SpriteSource& src) {
    Picture sheet(src.width, src.height, uint8_t(src.fill));
    for (const Frame& f : src.frames) {
        if (src.border < 0) break;
        for (int x = f.x - 1; x <= f.x + f.w; ++x)
            for (int y : {f.y - 1, f.y + f.h})
                if (sheet.inside(x, y)) sheet.at(x, y) = uint8_t(src.border);
        for (int y = f.y - 1; y <= f.y + f.h; ++y)
            for (int x : {f.x - 1, f.x + f.w})
                if (sheet.inside(x, y)) sheet.at(x, y) = uint8_t(src.border);
    }
    for (const Frame& f : src.frames) {
        if (!sheet.inside(f.x, f.y) || !sheet.inside(f.x + f.w - 1, f.y + f.h - 1))
            fail("sprites.txt: frame " + f.name + " lies outside the sheet");
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                auto it = src.legend.find(f.rows[y][x]);
                if (it == src.legend.end())
                    fail("sprites.txt: frame " + f.name + " uses '" + f.rows[y][x] +
                         "', which has no key");
                sheet.at(f.x + x, f.y + y) = uint8_t(it->second);
            }
    }
    return sheet;
}

// The icon: the chosen frame on a round badge, drawn at 4x4 samples per pixel and averaged.
Bytes icon_png(const SpriteSource& src, const Picture& sheet, int size) {
    const Frame* bug = nullptr;
    for (const Frame& f : src.frames)
        if (f.name == src.icon_frame) bug = &f;
    if (!bug) fail("sprites.txt: the icon frame " + src.icon_frame + " does not exist");
    const int ss = 4, n = size * ss;
    Bytes rgba(size_t(size) * size * 4);
    const double scale = 30.0 / bug->w;  // the frame fills 30 of the badge's 32 units
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double acc[4] = {0, 0, 0, 0};
            for (int sy = 0; sy < ss; ++sy)
                for (int sx = 0; sx < ss; ++sx) {
                    double u = (px * ss + sx + 0.5) / n * 32, v = (py * ss + sy + 0.5) / n * 32;
                    double d = std::hypot(u - 16, v - 16);
                    Rgb c{};
                    double a = 0;
                    if (d < 15.5) {  // badge: a light rim round a darker gradient
                        const Rgb &top = src.icon_top, &bottom = src.icon_bottom;
                        double t = v / 32;
                        auto mix = [&](uint8_t p, uint8_t q) {
                            return uint8_t(p * 0.4 * (1 - t) + q * t);
                        };
                        c = d > 13.8 ? top
                                     : Rgb{mix(top.r, bottom.r), mix(top.g, bottom.g),
                                           mix(top.b, bottom.b)};
                        a = 1;
                    }
                    int fx = int((u - 1) / scale), fy = int((v - 16 + bug->h * scale / 2) / scale);
                    if (u >= 1 && fx < bug->w && fy >= 0 && fy < bug->h) {
                        uint8_t index = sheet.at(bug->x + fx, bug->y + fy);
                        if (index != 0) c = src.palette[index], a = 1;
                    }
                    acc[0] += c.r * a, acc[1] += c.g * a, acc[2] += c.b * a, acc[3] += a;
                }
            uint8_t* p = &rgba[(size_t(py) * size + px) * 4];
            for (int k = 0; k < 3; ++k)
                p[k] = uint8_t(acc[3] > 0 ? std::lround(acc[k] / acc[3]) : 0);
            p[3] = uint8_t(std::lround(acc[3] * 255 / (ss * ss)));
        }
    return png_encode(size, size, 6, rgba);
}

// The Windows executable's icon: the same pictures, each stored as its PNG.
Bytes icon_file(const std::vector<std::pair<int, Bytes>>& icons) {
    Bytes ico;
    put16(ico, 0);
    put16(ico, 1);  // an icon, not a cursor
    put16(ico, uint32_t(icons.size()));
    uint32_t offset = uint32_t(6 + 16 * icons.size());
    for (const auto& [size, png] : icons) {
        ico.push_back(uint8_t(size & 0xFF));  // 256 is written as 0
        ico.push_back(uint8_t(size & 0xFF));
        put16(ico, 0);   // no palette; reserved
        put16(ico, 1);   // planes
        put16(ico, 32);  // bits per pixel
        put32(ico, uint32_t(png.size()));
        put32(ico, offset);
        offset += uint32_t(png.size());
    }
    for (const auto& icon : icons) ico.insert(ico.end(), icon.second.begin(), icon.second.end());
    return ico;
}

}  // namespace

int main(int argc, char** argv) {
    Roots roots = parse_roots(argc, argv, "sprite sheet and icons");
    SpriteSource src = parse(read_text(roots.source / "resources/src/sprites.txt"));
    Picture sheet = draw_sheet(src);
    write_file(roots.output / "resources/sprites.dib", packed_dib(sheet, src.palette));
    std::vector<std::pair<int, Bytes>> icons;
    for (int size : {16, 32, 48, 256}) {
        icons.push_back({size, icon_png(src, sheet, size)});
        write_file(roots.output / ("resources/icon" + std::to_string(size) + ".png"),
                   icons.back().second);
    }
    write_file(roots.output / "resources/gnatrix.ico", icon_file(icons));
    write_file(roots.output / "docs/sprites.png", png_of_picture(sheet, src.palette, 3));
    return 0;
}
