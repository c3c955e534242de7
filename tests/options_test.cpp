// The command line: every option read as given, and malformed ones refused with one message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "platform/platform.h"

namespace {

struct Parsed {
    bool ok;
    bool exit_now;
    Options options;
    std::string message;
};

Parsed parse(std::initializer_list<const char*> args) {
    std::vector<char*> argv{const_cast<char*>("gnatrix")};
    for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
    Parsed p{};
    p.ok = parse_options(int(argv.size()), argv.data(), &p.options, &p.message, &p.exit_now);
    return p;
}

TEST(Options, DefaultsWithoutArguments) {
    Parsed p = parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.exit_now);
    EXPECT_FALSE(p.options.headless);
    EXPECT_FALSE(p.options.window);
    EXPECT_EQ(p.options.frames, -1);
    EXPECT_EQ(p.options.scale, 0);
    EXPECT_FALSE(p.options.has_seed);
}

TEST(Options, ReadsEveryOption) {
    Parsed p = parse({"--window",      "--scale",  "2",
                      "--headless",    "--frames", "3",
                      "--dump-screen", "2:a.bmp",  "--dump-screen=7:dir/b:c.bmp",
                      "--dump-state",  "0:s.txt",  "--dump-state",
                      "end:last.txt",  "--seed",   "4294967295",
                      "--play",        "in.txt",   "--record=out.txt",
                      "--scale-mode",  "smooth",   "--mouse-speed",
                      "0.25"});
    ASSERT_TRUE(p.ok) << p.message;
    const Options& o = p.options;
    EXPECT_TRUE(o.window && o.headless);
    EXPECT_EQ(o.scale, 2);
    EXPECT_EQ(o.frames, 3);
    ASSERT_EQ(o.dump_screen.size(), 2u);
    EXPECT_EQ(o.dump_screen[0].pass, 2u);
    EXPECT_EQ(o.dump_screen[0].path, "a.bmp");
    EXPECT_EQ(o.dump_screen[1].pass, 7u);
    EXPECT_EQ(o.dump_screen[1].path, "dir/b:c.bmp");
    ASSERT_EQ(o.dump_state.size(), 2u);
    EXPECT_EQ(o.dump_state[0].pass, 0u);
    EXPECT_FALSE(o.dump_state[0].at_end);
    EXPECT_TRUE(o.dump_state[1].at_end);
    EXPECT_EQ(o.dump_state[1].path, "last.txt");
    EXPECT_TRUE(o.has_seed);
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_EQ(o.play_file, "in.txt");
    EXPECT_EQ(o.record_file, "out.txt");
    EXPECT_EQ(o.scale_mode, ScaleMode::Smooth);
    EXPECT_EQ(o.mouse_speed, 0.25);
    EXPECT_EQ(parse({"--mouse-speed=4"}).options.mouse_speed, 4.0);
    EXPECT_EQ(parse({}).options.mouse_speed, 0.0) << "not given";
}

TEST(Options, HelpAndVersionAskToExit) {
    Parsed help = parse({"--frames", "2", "--help"});
    EXPECT_TRUE(help.ok && help.exit_now);
    EXPECT_NE(help.message.find("--dump-screen PASS:FILE"), std::string::npos);
    EXPECT_NE(help.message.find("Alt+Enter"), std::string::npos) << "--scale full screen";
    for (const char* version_option : {"--version", "-V"}) {
        Parsed version = parse({version_option});
        EXPECT_TRUE(version.ok && version.exit_now) << version_option;
        EXPECT_EQ(version.message, "Gnatrix 1.1\n") << version_option;
    }
    Parsed short_help = parse({"-h"});
    EXPECT_TRUE(short_help.ok && short_help.exit_now);
    EXPECT_EQ(short_help.message, help.message);
}

TEST(Options, MalformedGiveOneLineAndLeaveOptionsAlone) {
    for (auto args : std::vector<std::vector<const char*>>{{"--bogus"},
                                                           {"stray"},
                                                           {"--scale"},
                                                           {"--scale", "0"},
                                                           {"--scale", "17"},
                                                           {"--scale", "2x"},
                                                           {"--frames", "-1"},
                                                           {"--frames", ""},
                                                           {"--seed", "4294967296"},
                                                           {"--dump-screen", "2"},
                                                           {"--dump-screen", "x:f.bmp"},
                                                           {"--dump-state", "3:"},
                                                           {"--dump-state", ":f"},
                                                           {"--dump-state", "ending:f"},
                                                           {"--dump-screen", "end:f.bmp"},
                                                           {"--scale-mode", "big"},
                                                           {"--play", ""},
                                                           {"--window=1"},
                                                           {"--mouse-speed", "0.2"},
                                                           {"--mouse-speed", "4.01"},
                                                           {"--mouse-speed", "-1"},
                                                           {"--mouse-speed", "1e0"},
                                                           {"--mouse-speed", "."},
                                                           {"--mouse-speed", "1.2.3"},
                                                           {"--frames", "99999999999999999999"}}) {
        std::vector<char*> argv{const_cast<char*>("gnatrix")};
        for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
        Options options;
        options.frames = 42;
        std::string message;
        bool exit_now = true;
        EXPECT_FALSE(parse_options(int(argv.size()), argv.data(), &options, &message, &exit_now))
            << args[0];
        EXPECT_FALSE(exit_now);
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(options.frames, 42) << "a refused command line changed the options";
    }
}

// "--scale N" in the form both lists share: the option and its value's name in capitals.
std::string option_key(std::string text) {
    for (char& c : text) c = char(std::toupper(uint8_t(c)));
    return text;
}

// The options of --help, one per line that starts with a dash: the words before the two spaces
// of the description column.
std::vector<std::string> help_options(const std::string& help) {
    std::vector<std::string> found;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("  -")) continue;
        found.push_back(option_key(line.substr(2, line.find("  ", 2) - 2)));
    }
    return found;
}

// The options of the manual page: the items of its Options list, ".It Fl -scale Ar N" read as
// "--scale N", "Ar pass : Ns Ar file" as "pass:file" and "Fl h , Fl -help" as "-h, --help".
std::vector<std::string> manual_options(std::istream& page) {
    std::vector<std::string> found;
    bool in_list = false;
    for (std::string line; std::getline(page, line);) {
        if (line == ".Ss Options") in_list = true;
        if (in_list && line == ".El") break;
        if (!in_list || !line.starts_with(".It Fl ")) continue;
        std::string item;
        std::istringstream words(line.substr(4));
        for (std::string word; words >> word;) {
            if (word == "Ns" || word == "Ar") continue;
            if (word == "Fl") {
                item += (item.empty() ? "" : " ") + std::string("-");
            } else if (word == ":" || word == "," || item.ends_with("-") || item.ends_with(":")) {
                item += word;
            } else {
                item += " " + word;
            }
        }
        found.push_back(option_key(item));
    }
    return found;
}

TEST(Options, ManualPageListsTheOptionsOfHelpInTheirOrder) {
    std::ifstream page(std::string(GNATRIX_SOURCE_DIR) + "/dist/gnatrix.6");
    ASSERT_TRUE(page) << "dist/gnatrix.6";
    const std::vector<std::string> help = help_options(parse({"--help"}).message);
    EXPECT_GE(help.size(), 15u);
    EXPECT_NE(std::find(help.begin(), help.end(), "--DUMP-STATE PASS:FILE"), help.end());
    EXPECT_EQ(manual_options(page), help);
}

}  // namespace
