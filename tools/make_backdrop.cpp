// Composes the title picture resources/backdrop.dib (640x480, 8 bits per pixel) and its preview
// docs/title.png from the scene description resources/src/backdrop.txt: the scene is painted in
// true colour, element by element, then reduced to the palette entries the art may use.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "tools/resgen.h"

using namespace resgen;

namespace {

const int W = 640, H = 480;

struct Colour {
    double r = 0, g = 0, b = 0;
};
Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Colour scaled(Colour a, double k) {
    return {a.r * k, a.g * k, a.b * k};
}
Colour plus(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
double smooth(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

struct Canvas {
    std::vector<Colour> px = std::vector<Colour>(size_t(W) * H);
    std::vector<int> forced = std::vector<int>(size_t(W) * H, -1);  // palette index, or -1
    Colour& at(int x, int y) { return px[size_t(y) * W + x]; }
    void blend(int x, int y, Colour c, double alpha) {
        if (x < 0 || y < 0 || x >= W || y >= H || alpha <= 0) return;
        at(x, y) = mix(at(x, y), c, clamp01(alpha));
    }
    void force(int x, int y, int index) {
        if (x >= 0 && y >= 0 && x < W && y < H) forced[size_t(y) * W + x] = index;
    }
};

// --- Deterministic noise and random numbers ------------------------------------------------

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

double value_noise(double x, double y, uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    double fx = x - ix, fy = y - iy;
    auto v = [&](int dx, int dy) { return (hash3(ix + dx, iy + dy, seed) & 0xFFFF) / 65535.0; };
    double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    double top = v(0, 0) + (v(1, 0) - v(0, 0)) * sx, bottom = v(0, 1) + (v(1, 1) - v(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

double fbm(double x, double y, uint32_t seed) {
    double sum = 0, amp = 0.5;
    for (int octave = 0; octave < 6; ++octave) {
        sum += amp * value_noise(x, y, seed + uint32_t(octave) * 101);
        x *= 2.03, y *= 2.03, amp *= 0.5;
    }
    return sum;
}

struct Random {
    uint32_t state;
    uint32_t next() { return state = state * 1103515245u + 12345u, (state >> 8) & 0xFFFFFF; }
    double unit() { return next() / double(0x1000000); }
};

// --- The small bitmap font ----------------------------------------------------------------

struct Glyph {
    int width = 0;
    std::vector<std::string> rows;  // 9 rows
};
struct Font {
    std::map<char, Glyph> glyphs;
    int space = 3;
    const Glyph* find(char c) const {
        auto it = glyphs.find(c);
        return it == glyphs.end() ? nullptr : &it->second;
    }
    int width(const std::string& text) const {  // in font units, one unit between glyphs
        int w = 0;
        for (char c : text) w += (c == ' ' ? space : find(c) ? find(c)->width : 0) + 1;
        return text.empty() ? 0 : w - 1;
    }
};
const int GLYPH_ROWS = 9;

// Calls ink(x, y) for every ink pixel of the text in font units, from (0, 0).
template <typename Ink>
void each_ink(const Font& font, const std::string& text, Ink ink) {
    int pen = 0;
    for (char c : text) {
        if (c == ' ') {
            pen += font.space + 1;
            continue;
        }
        const Glyph* g = font.find(c);
        if (!g) fail(std::string("backdrop.txt: the font has no glyph for '") + c + "'");
        for (int y = 0; y < GLYPH_ROWS; ++y)
            for (int x = 0; x < g->width; ++x)
                if (g->rows[y][x] == 'X') ink(pen + x, y);
        pen += g->width + 1;
    }
}

// --- Scene elements -------------------------------------------------------------------------

struct Scene {
    Canvas canvas;
    Font font;
    uint32_t seed = 1;
    Palette palette{};
    std::vector<bool> reserved = std::vector<bool>(256, false);
    double dither = 0;
    std::map<char, Colour> inks;            // colours of the characters of picture rows
    std::vector<std::array<int, 4>> marks;  // rectangles left in colour 0
};

void paint_sky(Scene& s, Colour top, Colour bottom) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) s.canvas.at(x, y) = mix(top, bottom, double(y) / (H - 1));
}

// A cloud of glowing gas: fractal noise, strongest near (cx, cy), fading out at `radius`.
void paint_nebula(Scene& s, Colour tint, double scale, double strength, double cx, double cy,
                  double radius, uint32_t salt) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double n = fbm(x / scale, y / scale, s.seed + salt);
            double fall = 1 - smooth(0, radius, std::hypot(x - cx, y - cy));
            double density = smooth(0.35, 0.85, n) * fall * strength;
            s.canvas.at(x, y) = plus(s.canvas.at(x, y), scaled(tint, density));
        }
}

void paint_stars(Scene& s, int count, uint32_t salt) {
    Random rnd{s.seed * 7919 + salt};
    for (int i = 0; i < count; ++i) {
        int x = int(rnd.next() % W), y = int(rnd.next() % H);
        double bright = 0.25 + 0.75 * std::pow(rnd.unit(), 3.0);
        double hue = rnd.unit();
        Colour c = hue < 0.2   ? Colour{255, 220, 180}
                   : hue < 0.5 ? Colour{190, 210, 255}
                               : Colour{255, 255, 255};
        s.canvas.blend(x, y, c, bright);
        if (bright > 0.8) {  // the brightest get a small cross of light
            for (int d = 1; d <= 2; ++d) {
                double a = bright * (d == 1 ? 0.55 : 0.2);
                s.canvas.blend(x - d, y, c, a), s.canvas.blend(x + d, y, c, a);
                s.canvas.blend(x, y - d, c, a), s.canvas.blend(x, y + d, c, a);
            }
        }
    }
}

// A banded gas giant lit from the upper left, with a tilted ring (back half behind it).
void paint_planet(Scene& s, double cx, double cy, double radius, Colour light, Colour dark,
                  Colour ring) {
    const double lx = -0.62, ly = -0.5, lz = 0.6;
    auto ring_alpha = [&](int x, int y, bool front) {
        double dx = (x - cx) / radius, dy = (y - cy) / radius;
        double u = dx * 0.96 + dy * 0.28, v = (-dx * 0.28 + dy * 0.96) / 0.22;
        double d = std::hypot(u, v);
        if ((v > 0) != front || d < 1.25 || d > 1.95) return 0.0;
        double bands = 0.55 + 0.45 * std::sin(d * 40) * std::sin(d * 13);
        return bands * smooth(1.25, 1.32, d) * (1 - smooth(1.85, 1.95, d)) * 0.8;
    };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            s.canvas.blend(x, y, ring, ring_alpha(x, y, false));
            double nx = (x - cx) / radius, ny = (y - cy) / radius, rr = nx * nx + ny * ny;
            if (rr < 1) {
                double nz = std::sqrt(1 - rr);
                double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
                double band = 0.5 + 0.5 * std::sin(ny * 19 + 3 * fbm(nx * 3, ny * 12, s.seed));
                Colour c = scaled(mix(dark, light, band), 0.08 + 0.92 * diffuse);
                double rim = std::pow(1 - nz, 3) * diffuse;  // thin atmosphere on the lit edge
                c = plus(c, scaled(Colour{120, 160, 255}, rim));
                s.canvas.blend(x, y, c, smooth(1.0, 0.985, rr));
            }
            s.canvas.blend(x, y, ring, ring_alpha(x, y, true));
        }
}

// The logo: glyphs enlarged, rounded by a blur, slanted, bevelled, outlined and glowing.
void paint_logo(Scene& s, int ox, int oy, int scale, double skew, const std::string& text) {
    int gw = s.font.width(text) * scale, gh = GLYPH_ROWS * scale;
    int pad = scale * 2, fw = gw + 2 * pad, fh = gh + 2 * pad;
    std::vector<double> mask(size_t(fw) * fh, 0.0), field(mask.size(), 0.0);
    each_ink(s.font, text, [&](int x, int y) {
        for (int j = 0; j < scale; ++j)
            for (int i = 0; i < scale; ++i)
                mask[size_t(pad + y * scale + j) * fw + pad + x * scale + i] = 1;
    });
    // Two box blurs in each direction come close to a Gaussian and round the block corners.
    int r = std::max(1, scale * 3 / 8);
    auto box = [&](std::vector<double>& src, std::vector<double>& dst, int dx, int dy) {
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x) {
                double sum = 0;
                for (int k = -r; k <= r; ++k) {
                    int sx = x + k * dx, sy = y + k * dy;
                    if (sx >= 0 && sy >= 0 && sx < fw && sy < fh) sum += src[size_t(sy) * fw + sx];
                }
                dst[size_t(y) * fw + x] = sum / (2 * r + 1);
            }
    };
    for (int pass = 0; pass < 2; ++pass) box(mask, field, 1, 0), box(field, mask, 0, 1);
    auto f = [&](double x, double y) {
        int ix = std::clamp(int(x), 0, fw - 1), iy = std::clamp(int(y), 0, fh - 1);
        return mask[size_t(iy) * fw + ix];
    };
    const Colour top{255, 250, 190}, middle{255, 168, 30}, bottom{190, 40, 20};
    const Colour outline{30, 8, 40}, glow{90, 150, 255};
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw + int(skew * fh); ++x) {
            double fx = x - skew * (fh - y);  // slant: the top leans right
            double v = f(fx, y);
            int px = ox - pad + x, py = oy - pad + y;
            double shadow = f(fx - 5, y - 5);
            s.canvas.blend(px, py, Colour{0, 0, 0}, smooth(0.1, 0.4, shadow) * 0.7);
            s.canvas.blend(px, py, glow, smooth(0.01, 0.2, v) * (1 - smooth(0.2, 0.3, v)) * 0.7);
            s.canvas.blend(px, py, outline, smooth(0.2, 0.27, v));
            if (v < 0.33) continue;
            double nx = f(fx - 1, y) - f(fx + 1, y), ny = f(fx, y - 1) - f(fx, y + 1);
            double light = std::clamp((nx * -0.6 + ny * -0.8) * scale * 0.9, -1.0, 1.0);
            double t = double(y - pad) / gh;
            Colour face = t < 0.45 ? mix(top, middle, clamp01(t / 0.45))
                                   : mix(middle, bottom, clamp01((t - 0.45) / 0.55));
            face = light > 0 ? mix(face, Colour{255, 255, 255}, light * 0.8)
                             : mix(face, Colour{60, 10, 30}, -light * 0.7);
            s.canvas.blend(px, py, face, smooth(0.33, 0.4, v));
        }
}

// Raised metal: a face gradient with light top-left and dark bottom-right edges.
void paint_bevel(Scene& s, int x0, int y0, int x1, int y1, int edge, Colour face_top,
                 Colour face_bottom) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            Colour c = mix(face_top, face_bottom, double(y - y0) / std::max(1, y1 - y0));
            int in = std::min({x - x0, y - y0, x1 - x, y1 - y});
            if (in < edge) {
                bool lit =
                    (x - x0) + (y - y0) < (x1 - x) + (y1 - y) && (x - x0 == in || y - y0 == in);
                c = lit ? mix(c, Colour{255, 255, 255}, 0.55) : mix(c, Colour{0, 0, 0}, 0.55);
            }
            s.canvas.blend(x, y, c, 1);
        }
}

// A sunken black opening in a bevelled frame; the opening is forced to palette entry 0.
void paint_window(Scene& s, int x0, int y0, int x1, int y1, int border) {
    paint_bevel(s, x0 - border, y0 - border, x1 + border, y1 + border, 3, Colour{150, 160, 185},
                Colour{70, 76, 100});
    for (int d = 1; d <= 2; ++d)  // sunken inner edge
        for (int x = x0 - d; x <= x1 + d; ++x)
            for (int y = y0 - d; y <= y1 + d; ++y)
                if (x == x0 - d || y == y0 - d)
                    s.canvas.blend(x, y, Colour{20, 20, 35}, 1);
                else if (x == x1 + d || y == y1 + d)
                    s.canvas.blend(x, y, Colour{210, 215, 235}, 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) s.canvas.at(x, y) = {}, s.canvas.force(x, y, 0);
    for (int cx : {x0 - border / 2 - 1, x1 + border / 2 + 1})  // rivets
        for (int cy : {y0 - border / 2 - 1, y1 + border / 2 + 1})
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (dx * dx + dy * dy <= 5)
                        s.canvas.blend(cx + dx, cy + dy,
                                       dx + dy < 0 ? Colour{235, 240, 255} : Colour{40, 44, 60}, 1);
}

// A smoked-glass panel with a thin light frame.
void paint_panel(Scene& s, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            bool edge = x == x0 || y == y0 || x == x1 || y == y1;
            bool corner = (x - x0 < 2 || x1 - x < 2) && (y - y0 < 2 || y1 - y < 2);
            if (corner) continue;
            if (edge)
                s.canvas.blend(x, y, Colour{120, 150, 230}, 0.9);
            else
                s.canvas.blend(x, y, Colour{6, 8, 30}, 0.72);
        }
}

void paint_text(Scene& s, int x, int y, int scale, Colour c, const std::string& text,
                bool shadow = true) {
    if (shadow)
        each_ink(s.font, text, [&](int gx, int gy) {
            for (int j = 0; j < scale; ++j)
                for (int i = 0; i < scale; ++i)
                    s.canvas.blend(x + gx * scale + i + 1, y + gy * scale + j + 1, Colour{}, 0.85);
        });
    each_ink(s.font, text, [&](int gx, int gy) {
        double shade = 1 - 0.25 * gy / GLYPH_ROWS;  // a little darker towards the foot
        for (int j = 0; j < scale; ++j)
            for (int i = 0; i < scale; ++i)
                s.canvas.blend(x + gx * scale + i, y + gy * scale + j, scaled(c, shade), 1);
    });
}

// A key cap with its name, and the key's meaning beside it.
void paint_key(Scene& s, int x, int y, int width, const std::string& key, const std::string& text,
               Colour text_colour) {
    const int h = 24;
    paint_bevel(s, x, y, x + width, y + h, 2, Colour{235, 235, 225}, Colour{150, 150, 160});
    int label = s.font.width(key) * 2;
    paint_text(s, x + (width - label) / 2 + 1, y + 5, 2, Colour{40, 40, 60}, key, false);
    paint_text(s, x + width + 16, y + 5, 2, text_colour, text);
}

// The caption: text in one fixed palette entry, centred in a black box with a frame.
void paint_caption(Scene& s, int x0, int y0, int x1, int y1, int index, const std::string& text) {
    paint_bevel(s, x0 - 6, y0 - 6, x1 + 6, y1 + 6, 2, Colour{120, 130, 160}, Colour{60, 66, 90});
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) s.canvas.at(x, y) = {}, s.canvas.force(x, y, 0);
    int tx = x0 + (x1 - x0 + 1 - s.font.width(text) * 2) / 2, ty = y0 + (y1 - y0 + 1 - 14) / 2;
    each_ink(s.font, text, [&](int gx, int gy) {
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) s.canvas.force(tx + gx * 2 + i, ty + gy * 2 + j, index);
    });
}

// Pixel art from the scene file, enlarged SCALE times, over a soft shadow; '.' is clear.
void paint_picture(Scene& s, int x0, int y0, int scale, const std::vector<std::string>& rows) {
    for (int pass = 0; pass < 2; ++pass)
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x) {
                if (rows[y][x] == '.') continue;
                auto ink = s.inks.find(rows[y][x]);
                if (ink == s.inks.end())
                    fail(std::string("backdrop.txt: no ink for '") + rows[y][x] + "'");
                for (int j = 0; j < scale; ++j)
                    for (int i = 0; i < scale; ++i) {
                        int px = x0 + int(x) * scale + i, py = y0 + int(y) * scale + j;
                        if (pass == 0)
                            s.canvas.blend(px + scale, py + scale, Colour{}, 0.6);
                        else
                            s.canvas.blend(px, py, ink->second, 1);
                    }
            }
}

// --- Reading the scene ----------------------------------------------------------------------

void read_font(Scene& s, const std::vector<std::string>& lines, size_t& n) {
    std::string chars = lines[n].substr(lines[n].find(' ') + 1);
    std::vector<Glyph> glyphs(chars.size());
    for (int row = 0; row < GLYPH_ROWS; ++row) {
        if (++n >= lines.size()) fail("backdrop.txt: glyph rows are cut short");
        auto words = split_words(lines[n]);
        if (words.size() != chars.size())
            fail("backdrop.txt:" + std::to_string(n + 1) + ": one word per glyph expected");
        for (size_t k = 0; k < chars.size(); ++k) {
            if (row > 0 && int(words[k].size()) != glyphs[k].width)
                fail("backdrop.txt:" + std::to_string(n + 1) + ": glyph rows differ in width");
            glyphs[k].width = int(words[k].size());
            glyphs[k].rows.push_back(words[k]);
        }
    }
    for (size_t k = 0; k < chars.size(); ++k) s.font.glyphs[chars[k]] = glyphs[k];
}

// The font comes first wherever it stands in the file, since elements before it may use it.
Scene read_scene(const std::string& text) {
    Scene s;
    auto lines = split_lines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        auto w = split_words(lines[n]);
        if (!w.empty() && w[0] == "glyphs")
            read_font(s, lines, n);
        else if (!w.empty() && w[0] == "space" && w.size() == 2)
            s.font.space = to_int(w[1], "backdrop.txt");
    }
    // How many words each element takes, its name included ("reserve" takes any number).
    static const std::map<std::string, size_t> WORDS = {
        {"seed", 2},    {"dither", 2}, {"colour", 5},  {"sky", 7},   {"nebula", 9}, {"stars", 2},
        {"planet", 13}, {"logo", 6},   {"window", 6},  {"panel", 5}, {"key", 9},    {"text", 8},
        {"caption", 7}, {"ink", 5},    {"picture", 5}, {"mark", 5},  {"glyphs", 2}, {"reserve", 0}};
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string where = "backdrop.txt:" + std::to_string(n + 1);
        auto w = split_words(lines[n]);
        if (w.empty() || w[0] == "space") continue;
        auto words = WORDS.find(w[0]);
        if (words == WORDS.end()) fail(where + ": cannot read: " + lines[n]);
        if (words->second && w.size() != words->second && w[0] != "glyphs")
            fail(where + ": " + w[0] + " takes " + std::to_string(words->second - 1) + " values");
        auto num = [&](size_t k) { return to_int(w[k], where); };
        auto real = [&](size_t k) { return to_real(w[k], where); };
        auto colour = [&](size_t k) { return Colour{real(k), real(k + 1), real(k + 2)}; };
        auto entry = [&](size_t k) {
            int i = num(k);
            if (i < 0 || i > 255) fail(where + ": palette entries are 0 to 255");
            return size_t(i);
        };
        if (w[0] == "glyphs")
            n += GLYPH_ROWS;
        else if (w[0] == "seed")
            s.seed = uint32_t(num(1));
        else if (w[0] == "dither")
            s.dither = real(1);
        else if (w[0] == "colour") {
            s.palette[entry(1)] = {uint8_t(num(2)), uint8_t(num(3)), uint8_t(num(4))};
            s.reserved[entry(1)] = true;
        } else if (w[0] == "reserve") {
            for (size_t k = 1; k < w.size(); ++k) s.reserved[entry(k)] = true;
        } else if (w[0] == "sky")
            paint_sky(s, colour(1), colour(4));
        else if (w[0] == "nebula")
            paint_nebula(s, colour(1), real(4), real(5), real(6), real(7), real(8), uint32_t(n));
        else if (w[0] == "stars")
            paint_stars(s, num(1), uint32_t(n));
        else if (w[0] == "planet")
            paint_planet(s, real(1), real(2), real(3), colour(4), colour(7), colour(10));
        else if (w[0] == "logo")
            paint_logo(s, num(1), num(2), num(3), real(4), w[5]);
        else if (w[0] == "window")
            paint_window(s, num(1), num(2), num(3), num(4), num(5));
        else if (w[0] == "panel")
            paint_panel(s, num(1), num(2), num(3), num(4));
        else if (w[0] == "key")
            paint_key(s, num(1), num(2), num(3), w[4], w[5], colour(6));
        else if (w[0] == "text")
            paint_text(s, num(1), num(2), num(3), colour(4), w[7]);
        else if (w[0] == "caption")
            paint_caption(s, num(1), num(2), num(3), num(4), num(5), w[6]);
        else if (w[0] == "ink")
            s.inks[w[1][0]] = colour(2);
        else if (w[0] == "picture") {
            std::vector<std::string> rows(size_t(std::max(0, num(4))));
            for (std::string& row : rows) {
                if (++n >= lines.size()) fail(where + ": picture rows are cut short");
                row = lines[n];
            }
            paint_picture(s, num(1), num(2), num(3), rows);
        } else if (w[0] == "mark")
            s.marks.push_back({num(1), num(2), num(3), num(4)});
    }
    return s;
}

// --- Palette reduction ----------------------------------------------------------------------

struct Box {
    std::vector<std::array<int, 4>> colours;  // r, g, b (5 bits each), count
};

// Median cut over a 15-bit histogram: the box with the widest channel range is split until
// there are as many boxes as free palette entries.
std::vector<Rgb> median_cut(const std::vector<Colour>& px, size_t wanted) {
    std::vector<int> histogram(32768, 0);
    for (const Colour& c : px) {
        int r = int(clamp01(c.r / 255) * 31 + 0.5), g = int(clamp01(c.g / 255) * 31 + 0.5),
            b = int(clamp01(c.b / 255) * 31 + 0.5);
        ++histogram[(r << 10) | (g << 5) | b];
    }
    std::vector<Box> boxes(1);
    for (int k = 0; k < 32768; ++k)
        if (histogram[k])
            boxes[0].colours.push_back({k >> 10, (k >> 5) & 31, k & 31, histogram[k]});
    auto range = [](const Box& b, int ch) {
        int lo = 99, hi = -1;
        for (auto& c : b.colours) lo = std::min(lo, c[ch]), hi = std::max(hi, c[ch]);
        return hi - lo;
    };
    while (boxes.size() < wanted) {
        size_t best = 0;
        int best_range = -1, best_channel = 0;
        for (size_t i = 0; i < boxes.size(); ++i)
            for (int ch = 0; ch < 3; ++ch)
                if (boxes[i].colours.size() > 1 && range(boxes[i], ch) > best_range)
                    best = i, best_range = range(boxes[i], ch), best_channel = ch;
        if (best_range <= 0) break;
        auto& cs = boxes[best].colours;
        std::sort(cs.begin(), cs.end(), [&](auto& a, auto& b) {
            return a[best_channel] != b[best_channel] ? a[best_channel] < b[best_channel] : a < b;
        });
        long total = 0, half = 0;
        for (auto& c : cs) total += c[3];
        size_t cut = 1;
        for (; cut < cs.size() - 1; ++cut)
            if ((half += cs[cut - 1][3]) * 2 >= total) break;
        Box upper{std::vector<std::array<int, 4>>(cs.begin() + long(cut), cs.end())};
        cs.resize(cut);
        boxes.push_back(upper);
    }
    std::vector<Rgb> colours;
    for (auto& b : boxes) {
        double r = 0, g = 0, bl = 0, n = 0;
        for (auto& c : b.colours) r += c[0] * c[3], g += c[1] * c[3], bl += c[2] * c[3], n += c[3];
        auto to8 = [&](double v) { return uint8_t(std::lround(v / n * 255 / 31)); };
        colours.push_back({to8(r), to8(g), to8(bl)});
    }
    return colours;
}

Picture reduce(Scene& s) {
    std::vector<Colour> art;
    for (size_t i = 0; i < s.canvas.px.size(); ++i)
        if (s.canvas.forced[i] < 0) art.push_back(s.canvas.px[i]);
    std::vector<int> free_entries;
    for (int i = 0; i < 256; ++i)
        if (!s.reserved[i]) free_entries.push_back(i);
    auto colours = median_cut(art, free_entries.size());
    for (size_t k = 0; k < colours.size(); ++k) s.palette[size_t(free_entries[k])] = colours[k];
    std::vector<int> usable = {0, 14};  // black and white keep their colours in the title palette
    usable.insert(usable.end(), free_entries.begin(), free_entries.begin() + long(colours.size()));
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    Picture pic(W, H);
    std::map<uint32_t, uint8_t> nearest;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int forced = s.canvas.forced[size_t(y) * W + x];
            if (forced >= 0) {
                pic.at(x, y) = uint8_t(forced);
                continue;
            }
            double d = (bayer[y & 3][x & 3] / 16.0 - 0.47) * s.dither;
            Colour c = s.canvas.at(x, y);
            auto q = [&](double v) { return uint32_t(std::clamp(std::lround(v + d), 0L, 255L)); };
            uint32_t key = (q(c.r) << 16) | (q(c.g) << 8) | q(c.b);
            auto it = nearest.find(key);
            if (it == nearest.end()) {
                int best = 0;
                long best_d = std::numeric_limits<long>::max();  // long is 32 bits on Windows
                for (int i : usable) {
                    const Rgb& p = s.palette[size_t(i)];
                    long dr = long(key >> 16) - p.r, dg = long((key >> 8) & 255) - p.g,
                         db = long(key & 255) - p.b;
                    long dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                    if (dist < best_d) best_d = dist, best = i;
                }
                it = nearest.emplace(key, uint8_t(best)).first;
            }
            pic.at(x, y) = it->second;
        }
    for (auto [x0, y0, x1, y1] : s.marks)
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) pic.at(x, y) = 0;
    return pic;
}

// The palette as the title screen shows it: entries 1 to 9 darkened in ten steps of 3.
Palette title_palette(Palette pal) {
    for (int step = 0; step < 10; ++step)
        for (int i = 1; i <= 9; ++i)
            for (uint8_t* c : {&pal[i].r, &pal[i].g, &pal[i].b}) *c = *c > 4 ? uint8_t(*c - 3) : 0;
    return pal;
}

}  // namespace

int main(int argc, char** argv) {
    Roots roots = parse_roots(argc, argv, "title picture");
    Scene scene = read_scene(read_text(roots.source / "resources/src/backdrop.txt"));
    Picture pic = reduce(scene);
    write_file(roots.output / "resources/backdrop.dib", packed_dib(pic, scene.palette));
    write_file(roots.output / "docs/title.png", png_of_picture(pic, title_palette(scene.palette)));
    return 0;
}
