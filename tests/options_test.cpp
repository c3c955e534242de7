// The command line: every option read as given, and malformed ones refused with one message;
// the settings file that fills in what it leaves unset; the manual page that lists it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "tests/game_run.h"

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
    EXPECT_FALSE(p.options.background_run) << "the background holds the game by default";
}

TEST(Options, ReadsEveryOption) {
    Parsed p = parse({"--window",      "--scale",          "2",
                      "--headless",    "--frames",         "3",
                      "--dump-screen", "2:a.bmp",          "--dump-screen=7:dir/b:c.bmp",
                      "--dump-state",  "0:s.txt",          "--dump-state",
                      "end:last.txt",  "--seed",           "4294967295",
                      "--play",        "in.txt",           "--record=out.txt",
                      "--scale-mode",  "smooth",           "--background",
                      "pause",         "--background=run", "--mouse-speed",
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
    EXPECT_TRUE(o.background_run) << "the last one counts";
    EXPECT_EQ(p.options.pad_speed, 2.0);
    EXPECT_TRUE(p.options.rumble);
    Parsed pad = parse({"--pad-speed", "1.25", "--no-rumble"});
    EXPECT_EQ(pad.options.pad_speed, 1.25);
    EXPECT_FALSE(pad.options.rumble);
}

TEST(Options, HelpAndVersionAskToExit) {
    Parsed help = parse({"--frames", "2", "--help"});
    EXPECT_TRUE(help.ok && help.exit_now);
    EXPECT_NE(help.message.find("--dump-screen PASS:FILE"), std::string::npos);
    EXPECT_NE(help.message.find("--background run|pause"), std::string::npos);
    EXPECT_NE(help.message.find("Alt+Enter"), std::string::npos) << "--scale full screen";
    EXPECT_NE(help.message.find("--pad-speed F"), std::string::npos);
    EXPECT_NE(help.message.find("--no-rumble"), std::string::npos);
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
                                                           {"--background", "stop"},
                                                           {"--background"},
                                                           {"--play", ""},
                                                           {"--pad-speed", "0"},
                                                           {"--pad-speed", "1.5.2"},
                                                           {"--pad-speed", ".5"},
                                                           {"--pad-speed", "21"},
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

const char* const PLAYERS_FILE =
    "# my settings\n"
    "\n"
    "mouse-speed = 0.5\n"
    "  window-size=1000 x 750  \n"
    "pad-dead-zone = 8000   # a key of another version\n"
    "full-screen = no\n"
    "scale-mode = smooth\n"
    "window-position = -20,40\n"
    "background = run\n"
    "pad-speed = 1.5\n"
    "rumble = no\n";

TEST(Settings, ReadsEachKeyAndPassesOverCommentsAndOtherKeys) {
    Settings s;
    std::string error;
    ASSERT_TRUE(settings_parse(PLAYERS_FILE, &s, &error)) << error;
    EXPECT_EQ(s.full_screen, false);
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    EXPECT_EQ(s.x, -20);
    EXPECT_EQ(s.y, 40);
    EXPECT_EQ(s.scale_mode, ScaleMode::Smooth);
    EXPECT_EQ(s.mouse_speed, 0.5);
    EXPECT_EQ(s.background_run, true);
    EXPECT_EQ(s.pad_speed, 1.5);
    EXPECT_EQ(s.rumble, false);
    ASSERT_TRUE(settings_parse("# nothing set\n", &s, &error));
    EXPECT_FALSE(s.full_screen || s.width || s.x || s.scale_mode || s.mouse_speed ||
                 s.background_run || s.pad_speed || s.rumble);
}

TEST(Settings, DamagedLinesAreRefusedWithTheirNumber) {
    for (const std::string damaged :
         {"full-screen = maybe", "window-size = 1000", "window-size = 1000x", "window-size = 0x0",
          "window-position = 1;2", "scale-mode = huge", "mouse-speed = 9",
          "mouse-speed =", "background = later", "pad-speed = 30", "rumble = often", "just words",
          "\x7f\x45\x4c\x46\x02"}) {
        Settings s;
        s.mouse_speed = 3;
        std::string error;
        EXPECT_FALSE(settings_parse("# fine\nfull-screen = yes\n" + damaged + "\n", &s, &error))
            << damaged;
        EXPECT_TRUE(error.starts_with("line 3: ")) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(s.mouse_speed, 3.0) << "a refused file changed the settings";
    }
}

TEST(Settings, UpdateRewritesItsKeysInPlaceAndKeepsEverythingElse) {
    Settings changes;
    changes.width = 1200, changes.height = 900;
    changes.full_screen = true;
    const std::string updated = settings_update(PLAYERS_FILE, changes);
    std::string expected = PLAYERS_FILE;
    expected.replace(expected.find("  window-size=1000 x 750  "), 26, "window-size = 1200x900");
    expected.replace(expected.find("full-screen = no"), 16, "full-screen = yes");
    EXPECT_EQ(updated, expected);

    changes = Settings();
    changes.x = 5, changes.y = -7;
    changes.mouse_speed = 1.25;
    const std::string fresh = settings_update("", changes);
    EXPECT_TRUE(fresh.starts_with("# ")) << "a new file says what it is";
    Settings read;
    std::string error;
    ASSERT_TRUE(settings_parse(fresh, &read, &error)) << error << fresh;
    EXPECT_EQ(read.x, 5);
    EXPECT_EQ(read.y, -7);
    EXPECT_EQ(read.mouse_speed, 1.25);
    EXPECT_EQ(settings_update("a = b", changes),
              "a = b\nwindow-position = 5,-7\nmouse-speed = 1.25\n")
        << "a last line without its newline gets one";
}

// Start-up reads the file in the player's settings folder; what the command line gives wins.
class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_set_virtual(true);
        process_set_env(folders.settings, scratch.str().c_str());
        std::filesystem::create_directories(scratch / folders.folder);
    }
    void TearDown() override {
        settings_finish();
        clock_set_virtual(was_virtual);
        process_set_env(folders.settings, saved.c_str());
    }
    void write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    const UserFolderVariables folders = process_user_folder_variables();
    const std::string saved = getenv(folders.settings);
    const bool was_virtual = clock_is_virtual();
    const ScratchDir scratch{"settings"};
    const std::string file = scratch / (std::string(folders.folder) + "/gnatrix.conf");
};

TEST_F(SettingsFile, FillsWhatTheCommandLineLeftAndWritesOnlyThePlayersChanges) {
    write(PLAYERS_FILE);
    Options options = parse({"--scale-mode", "fit", "--background", "pause"}).options;
    settings_start(&options);
    EXPECT_EQ(settings_path(), file);
    EXPECT_TRUE(options.window) << "full-screen = no";
    EXPECT_EQ(options.window_width, 1000);
    EXPECT_EQ(options.window_height, 750);
    EXPECT_TRUE(options.has_window_position);
    EXPECT_EQ(options.window_x, -20);
    EXPECT_EQ(options.scale_mode, ScaleMode::Fit) << "the command line wins";
    EXPECT_EQ(options.mouse_speed, 0.5);
    EXPECT_FALSE(options.background_run) << "the command line wins";
    EXPECT_EQ(options.pad_speed, 1.5);
    EXPECT_FALSE(options.rumble);
    EXPECT_EQ(parse({"--scale", "1"}).options.window_width, 0);

    // A move is a storm of events: the last one settles it.
    clock_set_virtual_ticks(5000);
    Settings moved;
    moved.x = 300, moved.y = 200;
    settings_window_changed(moved);
    clock_set_virtual_ticks(5999);
    settings_pass(1);
    EXPECT_EQ(slurp(file), PLAYERS_FILE) << "written once the move has settled";
    clock_set_virtual_ticks(6000);
    settings_pass(2);
    std::string expected = PLAYERS_FILE;
    expected.replace(expected.find("-20,40"), 6, "300,200");
    EXPECT_EQ(slurp(file), expected) << "the command line's scale mode is not written";
}

TEST_F(SettingsFile, DamagedFileGivesTheDefaultsAndIsNeverOverwritten) {
    write("full-screen = no\nwindow-size = huge\n");
    Options options;
    settings_start(&options);
    EXPECT_FALSE(options.window);
    EXPECT_EQ(options.window_width, 0);
    Settings changed;
    changed.full_screen = true;
    settings_window_changed(changed);
    settings_finish();
    EXPECT_EQ(slurp(file), "full-screen = no\nwindow-size = huge\n");
}

TEST_F(SettingsFile, HeadlessRunsAndReplaysNeitherReadNorWrite) {
    write("full-screen = no\n");
    for (auto args : std::vector<std::vector<const char*>>{
             {"--headless"}, {"--play", "x.gxi"}, {"--timedemo", "x.gxi"}}) {
        Options options;
        std::vector<char*> argv{const_cast<char*>("gnatrix")};
        for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
        std::string message;
        bool exit_now = false;
        ASSERT_TRUE(parse_options(int(argv.size()), argv.data(), &options, &message, &exit_now));
        settings_start(&options);
        EXPECT_FALSE(options.window) << args[0];
        EXPECT_EQ(settings_path(), "") << args[0];
        Settings changed;
        changed.full_screen = true;
        settings_window_changed(changed);
        settings_finish();
        EXPECT_EQ(slurp(file), "full-screen = no\n") << args[0];
    }
}

// "--scale N" in the form both lists share: the option and its value's name in capitals.
std::string option_key(std::string text) {
    for (char& c : text) c = char(std::toupper(uint8_t(c)));
    return text;
}

// The options of --help, one per line that starts with a dash: the option's words ("-h,",
// "--help") and its value's ("N", "PASS:FILE", "run|pause"), not the description after them.
std::vector<std::string> help_options(const std::string& help) {
    std::vector<std::string> found;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("  -")) continue;
        std::istringstream words(line);
        std::string item;
        for (std::string word; words >> word;) {
            const bool value = word.find('|') != std::string::npos || option_key(word) == word;
            if (!word.starts_with("-") && !(value && !item.ends_with(","))) break;
            item += (item.empty() ? "" : " ") + word;
        }
        found.push_back(option_key(item));
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
