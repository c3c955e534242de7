// The game's resources: the generators in tools/ reproduce the committed files byte for byte,
// and the data meets everything the game's code relies on.
#include "platform/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/process/process.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path source_path(const std::string& relative) {
    return fs::path(GNATRIX_SOURCE_DIR) / relative;
}

Bytes read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_string(const fs::path& path) {
    Bytes b = read_bytes(path);
    return std::string(b.begin(), b.end());
}

uint32_t le32(const Bytes& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | uint32_t(b.at(at + 3)) << 24;
}
uint16_t le16(const Bytes& b, size_t at) {
    return uint16_t(b.at(at) | b.at(at + 1) << 8);
}
uint32_t be32(const Bytes& b, size_t at) {
    return uint32_t(b.at(at)) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

// Runs a generator; what it says on stderr goes to `messages`.
int run_tool(const std::string& tool, const fs::path& source_root, const fs::path& output_root,
             const fs::path& messages = "") {
    const std::string program = std::string(GNATRIX_BINARY_DIR) + "/" + tool + GNATRIX_EXE_SUFFIX;
    return process_run(
        {{program, source_root.string(), output_root.string()}, "", "", messages.string(), {}});
}

// --- Regeneration ---------------------------------------------------------------------------

struct Generator {
    const char* tool;
    std::vector<std::string> outputs;
};

const std::vector<Generator> GENERATORS = {
    {"make_sprites",
     {"resources/sprites.dib", "resources/icon16.png", "resources/icon32.png",
      "resources/icon48.png", "resources/icon256.png", "resources/gnatrix.ico",
      "docs/sprites.png"}},
    {"make_backdrop", {"resources/backdrop.dib", "docs/title.png"}},
    {"make_chime", {"resources/bonus.wav"}},
    {"make_help", {"resources/help.txt"}},
};

TEST(ResourceGenerators, ReproduceTheCommittedFilesByteForByte) {
    fs::path out = fs::path(GNATRIX_BINARY_DIR) / "regenerated";
    fs::remove_all(out);
    for (const Generator& g : GENERATORS) {
        ASSERT_EQ(run_tool(g.tool, GNATRIX_SOURCE_DIR, out), 0) << g.tool;
        for (const std::string& file : g.outputs) {
            Bytes made = read_bytes(out / file), committed = read_bytes(source_path(file));
            EXPECT_FALSE(made.empty()) << file;
            EXPECT_TRUE(made == committed)
                << file << " differs from what " << g.tool
                << " makes of resources/src: regenerate with the regenerate_resources target";
        }
    }
}

TEST(ResourceGenerators, RefuseBrokenSourcesNamingTheLineAndWriteNothing) {
    fs::path root = fs::path(GNATRIX_BINARY_DIR) / "broken_sources";
    fs::remove_all(root);
    fs::create_directories(root / "resources/src");
    std::ofstream(root / "resources/src/help.txt") << "^Heading\nA line with a \\ in it\n";
    std::ofstream(root / "resources/src/sprites.txt") << "frame rocket0 1 1 4 2\n....\n";
    std::ofstream(root / "resources/src/bonus.txt") << "length 100\npeak 1.5\n";
    std::ofstream(root / "resources/src/backdrop.txt") << "seed 1\nlogo 10 10 \"Gnatrix\"\n";
    const std::pair<const char*, const char*> cases[] = {{"make_help", "help.txt:2"},
                                                         {"make_sprites", "sprites.txt:1"},
                                                         {"make_chime", "bonus.txt"},
                                                         {"make_backdrop", "backdrop.txt:2"}};
    for (auto [tool, where] : cases) {
        fs::path said = root / (std::string(tool) + ".txt");
        EXPECT_NE(run_tool(tool, root, root / "out", said), 0) << tool;
        std::string message = read_string(said);
        EXPECT_NE(message.find(where), std::string::npos) << tool << " said: " << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
    EXPECT_FALSE(fs::exists(root / "out"));
}

// --- Bitmaps ----------------------------------------------------------------------------------

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// A packed DIB as the game loads it: header, 256 BGRA entries, rows bottom-up.
struct Dib {
    Bytes data;
    explicit Dib(const std::string& file) : data(read_bytes(source_path("resources/" + file))) {}
    int width() const { return int(le32(data, 4)); }
    int height() const { return int(le32(data, 8)); }
    Rgb colour(int i) const {
        return {data.at(42 + 4 * i), data.at(41 + 4 * i), data.at(40 + 4 * i)};
    }
    int at(int x, int y) const { return data.at(1064 + size_t(height() - 1 - y) * width() + x); }
    std::vector<int> cell(int x0, int y0, int w, int h) const {
        std::vector<int> pixels;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) pixels.push_back(at(x, y));
        return pixels;
    }
    std::set<int> colours_in(int x0, int y0, int w, int h) const {
        std::vector<int> pixels = cell(x0, y0, w, h);
        return std::set<int>(pixels.begin(), pixels.end());
    }
};

void expect_packed_8bit_header(const Dib& dib, int width, int height) {
    ASSERT_EQ(dib.data.size(), 1064u + size_t(width) * height);
    EXPECT_EQ(le32(dib.data, 0), 40u);
    EXPECT_EQ(dib.width(), width);
    EXPECT_EQ(dib.height(), height);  // positive: bottom-up
    EXPECT_EQ(le16(dib.data, 12), 1);
    EXPECT_EQ(le16(dib.data, 14), 8);
    EXPECT_EQ(le32(dib.data, 16), 0u);  // uncompressed
    EXPECT_EQ(le32(dib.data, 32), 0u);  // biClrUsed 0: the full table
}

// Entries that the title screen replaces with colours near the sprite sheet's own.
const std::set<int> SPRITE_ENTRIES = {0, 1, 3, 7, 14, 15, 22, 23, 25, 27, 255};

bool subset(const std::set<int>& part, const std::set<int>& whole) {
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

TEST(SpriteSheet, HeaderAndThePaletteOfPlay) {
    Dib sheet("sprites.dib");
    expect_packed_8bit_header(sheet, 400, 400);
    EXPECT_EQ(sheet.colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(sheet.colour(1), (Rgb{128, 128, 128}));
    EXPECT_EQ(sheet.colour(14), (Rgb{255, 255, 255}));
    EXPECT_EQ(sheet.colour(15), (Rgb{192, 192, 192}));
    EXPECT_EQ(sheet.colour(23), (Rgb{0, 255, 148}));
    EXPECT_EQ(sheet.colour(138), (Rgb{2, 226, 88}));
    EXPECT_EQ(sheet.colour(213), (Rgb{0, 251, 58}));
    // Text is drawn in the entry nearest its colour: the help hint's red must find pure red.
    int nearest = 0, best = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        Rgb c = sheet.colour(i);
        int d = (c.r - 213) * (c.r - 213) + c.g * c.g + c.b * c.b;
        if (d < best) best = d, nearest = i;
    }
    EXPECT_EQ(sheet.colour(nearest).g, 0);
    EXPECT_EQ(sheet.colour(nearest).b, 0);
    EXPECT_LE(best, 20 * 20);
}

TEST(SpriteSheet, RocketFramesHaveBodyNoseAndAFlickeringFlame) {
    Dib sheet("sprites.dib");
    std::set<std::vector<int>> flames;
    for (int k = 0; k < 4; ++k) {
        int x0 = 33 * k + 1, y0 = 1;
        std::set<int> used = sheet.colours_in(x0, y0, 24, 32);
        EXPECT_TRUE(subset(used, SPRITE_ENTRIES)) << "frame " << k;
        for (int c : {0, 15, 25, 22, 27})
            EXPECT_TRUE(used.count(c)) << "frame " << k << " colour " << c;
        // The ray leaves from the nose tip: the rocket's topmost pixel, in column 10.
        int top = 0;
        while (top < 32 && sheet.colours_in(x0, y0 + top, 24, 1) == std::set<int>{0}) ++top;
        ASSERT_LT(top, 32);
        for (int x = 0; x < 24; ++x) EXPECT_EQ(sheet.at(x0 + x, y0 + top) != 0, x == 10) << x;
        std::vector<int> flame = sheet.cell(x0, y0, 24, 32);
        for (int& c : flame) c = c == 22 || c == 27 ? c : 0;
        flames.insert(flame);
    }
    EXPECT_EQ(flames.size(), 4u) << "the flame must change from frame to frame";
}

TEST(SpriteSheet, BugFramesFlapInsideAnAllBlackBorder) {
    Dib sheet("sprites.dib");
    std::set<std::vector<int>> frames;
    for (int k = 0; k < 4; ++k) {
        int x0 = 33 * k + 1, y0 = 34;
        std::set<int> used = sheet.colours_in(x0, y0, 32, 16);
        EXPECT_TRUE(subset(used, SPRITE_ENTRIES)) << "frame " << k;
        for (int c : {23, 3, 1}) EXPECT_TRUE(used.count(c)) << "frame " << k << " colour " << c;
        // Falling bugs are copied opaquely one row lower each frame: the border erases the trail.
        EXPECT_EQ(sheet.colours_in(x0, y0, 32, 1), std::set<int>{0}) << "top row, frame " << k;
        EXPECT_EQ(sheet.colours_in(x0, y0 + 15, 32, 1), std::set<int>{0}) << "frame " << k;
        EXPECT_EQ(sheet.colours_in(x0, y0, 1, 16), std::set<int>{0}) << "frame " << k;
        EXPECT_EQ(sheet.colours_in(x0 + 31, y0, 1, 16), std::set<int>{0}) << "frame " << k;
        frames.insert(sheet.cell(x0, y0, 32, 16));
    }
    EXPECT_GE(frames.size(), 3u) << "the wings must move";
}

TEST(SpriteSheet, DigitsArePrintedOnTheStatusBarColour) {
    Dib sheet("sprites.dib");
    std::set<std::vector<int>> glyphs;
    for (int k = 0; k < 10; ++k) {
        int x0 = 17 * k + 1, y0 = 51;
        EXPECT_TRUE(subset(sheet.colours_in(x0, y0, 16, 16), {0, 1, 15})) << "digit " << k;
        EXPECT_EQ(sheet.colours_in(x0, y0, 16, 1), std::set<int>{15}) << "digit " << k;
        EXPECT_EQ(sheet.colours_in(x0, y0, 1, 16), std::set<int>{15}) << "digit " << k;
        std::vector<int> ink = sheet.cell(x0, y0, 16, 16);
        for (int& c : ink) c = c == 0;
        EXPECT_GE(std::count(ink.begin(), ink.end(), 1), 20) << "digit " << k;
        glyphs.insert(ink);
    }
    EXPECT_EQ(glyphs.size(), 10u);
}

TEST(TitlePicture, HeaderMarksWindowAndCaption) {
    Dib title("backdrop.dib");
    expect_packed_8bit_header(title, 640, 480);
    EXPECT_EQ(title.colour(138), (Rgb{0, 255, 153}));
    Rgb ray = title.colour(24);
    EXPECT_GE(std::max({ray.r, ray.g, ray.b}), 200) << "the demonstration's ray must show";
    EXPECT_EQ(title.at(40, 40), 0) << "the backdrop mark";
    EXPECT_EQ(title.colours_in(639, 0, 1, 480), std::set<int>{0});
    EXPECT_EQ(title.colours_in(76, 141, 99, 319), std::set<int>{0}) << "demonstration window";
    // The caption is erased to black once loading is done: nothing of it may lie outside.
    EXPECT_EQ(title.colours_in(260, 380, 100, 40), (std::set<int>{0, 4}));
    int caption_pixels = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            bool inside = x >= 260 && x <= 359 && y >= 380 && y <= 419;
            if (title.at(x, y) != 4) continue;
            EXPECT_TRUE(inside) << x << ", " << y;
            ++caption_pixels;
        }
    EXPECT_GE(caption_pixels, 50);
}

TEST(TitlePicture, ArtKeepsAwayFromTheEntriesTheGameReplaces) {
    Dib title("backdrop.dib");
    std::set<int> used = title.colours_in(0, 0, 640, 480);
    for (int i : {1, 2, 3, 5, 6, 7, 8, 9, 15, 22, 23, 24, 25, 27, 138, 255})
        EXPECT_FALSE(used.count(i)) << "entry " << i;
    EXPECT_GE(used.size(), 150u) << "a finished picture uses most of its palette";
}

// --- Sound --------------------------------------------------------------------------------------

TEST(BonusSound, ChunksInOrderWithTheirSizes) {
    Bytes wav = read_bytes(source_path("resources/bonus.wav"));
    ASSERT_GE(wav.size(), 12u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
    std::vector<std::pair<std::string, uint32_t>> chunks;
    size_t at = 12;
    while (at + 8 <= wav.size()) {
        uint32_t size = le32(wav, at + 4);
        chunks.push_back({std::string(wav.begin() + long(at), wav.begin() + long(at) + 4), size});
        at += 8 + size + (size & 1);
    }
    EXPECT_EQ(at, wav.size());
    std::vector<std::pair<std::string, uint32_t>> expected = {
        {"fmt ", 18}, {"fact", 4}, {"data", 3939}, {"LIST", 68}};
    EXPECT_EQ(chunks, expected);
    // fmt: PCM, mono, 11025 Hz, 11025 bytes per second, block align 1, 8 bits, no extra bytes.
    EXPECT_EQ(le16(wav, 20), 1);
    EXPECT_EQ(le16(wav, 22), 1);
    EXPECT_EQ(le32(wav, 24), 11025u);
    EXPECT_EQ(le32(wav, 28), 11025u);
    EXPECT_EQ(le16(wav, 32), 1);
    EXPECT_EQ(le16(wav, 34), 8);
    EXPECT_EQ(le16(wav, 36), 0);
    EXPECT_EQ(le32(wav, 46), 3939u);  // fact: the number of samples
    EXPECT_EQ(wav.at(58 + 3939), 0);  // the pad byte after the odd data
    EXPECT_EQ(std::string(wav.end() - 68, wav.end() - 64), "INFO");
}

TEST(BonusSound, LoudAndCleanFromFirstToLastSample) {
    Bytes wav = read_bytes(source_path("resources/bonus.wav"));
    ASSERT_GE(wav.size(), 58u + 3939);
    std::vector<int> s(wav.begin() + 58, wav.begin() + 58 + 3939);
    int loudest = 0;
    for (int v : s) loudest = std::max(loudest, std::abs(v - 128));
    EXPECT_GE(loudest, 80) << "bright enough to hear over play";
    EXPECT_LE(loudest, 120) << "no clipping";
    for (int i = 0; i < 8; ++i) EXPECT_LE(std::abs(s[i] - 128), 12) << "click at start, " << i;
    for (size_t i = s.size() - 110; i < s.size(); ++i)
        EXPECT_LE(std::abs(s[i] - 128), 3) << "the end must fade to silence, " << i;
    EXPECT_EQ(s.back(), 128);
}

// --- Help text ------------------------------------------------------------------------------

std::vector<std::string> help_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
        lines.push_back(text.substr(start, lf - start));
    return lines;
}

TEST(HelpText, FormatThatTheViewerReads) {
    std::string text = read_string(source_path("resources/help.txt"));
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 2), "\r\n") << "paragraph 0 is never shown";
    EXPECT_EQ(text.substr(text.size() - 3), "\r\n\\");
    EXPECT_EQ(text.find('\\'), text.size() - 1) << "the first backslash ends the text";
    EXPECT_EQ(text.find('\0'), std::string::npos);
    auto lines = help_lines(text);
    EXPECT_EQ(lines.size(), 75u);  // the 73 of the original text and the game pad's paragraph
    int headings = 0, long_paragraphs = 0;
    for (const std::string& line : lines) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r') << "CR LF line ends: " << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\r'), 1) << line;
        EXPECT_LE(line.size(), 1023u + 1);
        EXPECT_EQ(line.find('^', 1), std::string::npos) << line;
        headings += line[0] == '^';
        long_paragraphs += line.size() > 240;  // several lines at 520 pixels
    }
    EXPECT_EQ(headings, 5);
    EXPECT_GE(long_paragraphs, 8);
}

TEST(HelpText, ExplainsEveryKeyAndSetting) {
    std::string text = read_string(source_path("resources/help.txt"));
    for (const char* words :
         {"F1 ", "F2 ", "F3 ", "F12 ", "Space ", "Esc ", "Up and Down", "Bugs (1 - 10)",
          "Missed Counter (1 - 99)", "Speed (1 - 10)", "Volume (0 - 10)", "high-score table",
          "normal pace", "fast pace", "100 points", "shrink ray"})
        EXPECT_NE(text.find(words), std::string::npos) << words;
}

// --- Control panel template ---------------------------------------------------------------

struct Control {
    int id;
    std::string kind;
    int x, y, w, h;
    std::string flags, text;
    bool operator==(const Control&) const = default;
};

// Words up to the first quote, then the quoted text.
std::pair<std::vector<std::string>, std::string> words_and_text(const std::string& line) {
    size_t quote = line.find('"');
    std::istringstream in(line.substr(0, quote));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    std::string text;
    if (quote != std::string::npos) text = line.substr(quote + 1, line.rfind('"') - quote - 1);
    return {words, text};
}

TEST(PanelTemplate, DialogAndControlsInTemplateOrder) {
    std::istringstream in(read_string(source_path("resources/panel.dlg")));
    std::map<std::string, std::string> items;
    std::vector<Control> controls;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        auto [w, text] = words_and_text(line);
        ASSERT_FALSE(w.empty()) << line;
        if (w[0] == "control") {
            ASSERT_EQ(w.size(), 8u) << line;
            controls.push_back({std::stoi(w[1]), w[2], std::stoi(w[3]), std::stoi(w[4]),
                                std::stoi(w[5]), std::stoi(w[6]), w[7], text});
        } else {
            std::string rest = line.substr(w[0].size());
            items[w[0]] = rest.substr(rest.find_first_not_of(' '));
        }
    }
    EXPECT_EQ(items["dialog"], "172");
    EXPECT_EQ(items["size"], "203 127");
    EXPECT_EQ(items["title"], "\"Control Panel\"");
    EXPECT_EQ(items["font"], "8 \"MS Sans Serif\"");
    EXPECT_EQ(items["style"], "popup caption sysmenu modalframe center setfont");
    const std::string edit = "readonly|digits|border|tabstop", label = "left";
    std::vector<Control> expected = {
        {1, "button", 153, 105, 36, 15, "default|tabstop", "OK"},
        {1030, "edit", 163, 7, 16, 15, edit, ""},
        {-1, "static", 19, 7, 73, 10, label, "Bugs (1 - 10)"},
        {1031, "edit", 163, 30, 16, 15, edit, ""},
        {-1, "static", 19, 30, 73, 10, label, "Missed Counter (1 - 99)"},
        {1032, "edit", 163, 54, 16, 15, edit, ""},
        {-1, "static", 19, 54, 73, 10, label, "Speed (1 - 10)"},
        {1034, "edit", 163, 76, 16, 15, "readonly|border|tabstop", ""},
        {1046, "scrollbar", 178, 54, 11, 15, "vertical", ""},
        {1044, "scrollbar", 178, 7, 11, 15, "vertical", ""},
        {1048, "scrollbar", 178, 30, 11, 15, "vertical", ""},
        {1049, "scrollbar", 178, 76, 11, 15, "vertical", ""},
        {-1, "static", 19, 76, 73, 10, label, "Volume (0 - 10)"},
        {-1, "static", 8, 7, 11, 10, label, "*"},
        {-1, "static", 8, 98, 11, 10, label, "*"},
        {-1, "static", 20, 98, 129, 20, label,
         "Changing this number will cause the game to restart"},
    };
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(controls[i], expected[i]) << "control " << i;
}

// --- Manifest and icons -------------------------------------------------------------------

TEST(ResourceManifest, ListsEveryResourceWithAnExistingFile) {
    std::istringstream in(read_string(source_path("resources/manifest.txt")));
    std::set<std::string> entries;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string type, name, file;
        if (!(words >> type >> name >> file) || type[0] == '#') continue;
        fs::path path =
            fs::path(file).has_root_directory() ? fs::path(file) : source_path("resources/" + file);
        EXPECT_TRUE(fs::exists(path)) << line;
        entries.insert(type + " " + name + " " + file);
    }
    for (const char* line :
         {"BITMAP 147 backdrop.dib", "BITMAP 171 sprites.dib", "WAVE BONUS_WAV bonus.wav",
          "TEXT GX11HELP help.txt", "DIALOG 172 panel.dlg", "ICON GNATRIX icon48.png"})
        EXPECT_TRUE(entries.count(line)) << line;
}

TEST(ResourceManifest, EveryResourceIsBuiltIntoTheProgramWhole) {
    struct Entry {
        const char* type;
        const char* name;
        const char* file;
    };
    for (Entry e : {Entry{"BITMAP", "147", "backdrop.dib"}, Entry{"BITMAP", "171", "sprites.dib"},
                    Entry{"WAVE", "BONUS_WAV", "bonus.wav"}, Entry{"TEXT", "GX11HELP", "help.txt"},
                    Entry{"DIALOG", "172", "panel.dlg"}, Entry{"ICON", "GNATRIX", "icon48.png"}}) {
        ResourceData data{};
        ASSERT_TRUE(find_resource(e.type, e.name, &data)) << e.type << " " << e.name;
        Bytes file = read_bytes(source_path(std::string("resources/") + e.file));
        EXPECT_TRUE(Bytes(data.data, data.data + data.size) == file) << e.file;
    }
}

TEST(Icons, SquareRgbaPngsAtEverySize) {
    for (uint32_t size : {16u, 32u, 48u, 256u}) {
        Bytes png = read_bytes(source_path("resources/icon" + std::to_string(size) + ".png"));
        ASSERT_GE(png.size(), 33u) << size;
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(be32(png, 16), size);
        EXPECT_EQ(be32(png, 20), size);
        EXPECT_EQ(png.at(24), 8);  // bits per channel
        EXPECT_EQ(png.at(25), 6);  // RGBA
    }
}

}  // namespace
