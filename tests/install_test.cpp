// `cmake --install` into a staging folder, as a packager runs it: each file where desktops look
// for it, the launcher, the metainfo and the manual page valid and the first two naming each
// other, the launcher keeping the scores in the player's data folder; and the Debian package
// made from the same rules, clean by lintian, playing from where it unpacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/game_run.h"

namespace {

namespace fs = std::filesystem;

const std::string APP_ID = "org.gnatrix.Gnatrix";

// The value of "key=" in a desktop entry, or "" when there is none.
std::string desktop_value(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
    return "";
}

// The text between <tag> and </tag>, or "".
std::string xml_text(const std::string& xml, const std::string& tag) {
    const size_t open = xml.find('>', xml.find("<" + tag)), close = xml.find("</" + tag + ">");
    if (open == std::string::npos || close == std::string::npos || close < open) return "";
    return xml.substr(open + 1, close - open - 1);
}

// Width and height from a PNG's header, or 0 x 0 when it is not one.
std::pair<int, int> png_size(const fs::path& path) {
    const std::string head = slurp(path).substr(0, 24);
    if (head.size() < 24 || head.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](size_t at) {
        int v = 0;
        for (size_t i = 0; i < 4; ++i) v = v << 8 | uint8_t(head[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

class Install : public ::testing::Test {
  protected:
    // Runs a shell command; its exit status, and its output in *output.
    int run(const std::string& command, std::string* output = nullptr) {
        const std::string log = (stage / "log").string();
        const int status = process_run({{"/bin/sh", "-c", command + " 2>&1"}, "", log, "", {}});
        if (output) *output = slurp(log);
        return status;
    }
    // Installs the build with this prefix under the staging folder through DESTDIR.
    void install(const std::string& prefix) {
        std::string out;
        ASSERT_EQ(0, run("DESTDIR=" + (stage / "root").string() + " " + GNATRIX_CMAKE +
                             " --install " + GNATRIX_BINARY_DIR + " --prefix " + prefix,
                         &out))
            << out;
        root = stage / "root" / fs::path(prefix).relative_path();
    }
    const ScratchDir scratch{"install"};
    const fs::path stage = scratch.path();
    fs::path root;
};

TEST_F(Install, PutsEachFileWhereDesktopsLookAndTheyValidate) {
    install("/usr");
    const fs::path binary = root / "bin/gnatrix";
    const fs::path launcher = root / "share/applications" / (APP_ID + ".desktop");
    const fs::path metainfo = root / "share/metainfo" / (APP_ID + ".metainfo.xml");
    ASSERT_TRUE(fs::exists(binary));
    EXPECT_NE(fs::perms::none, fs::status(binary).permissions() & fs::perms::others_exec);
    for (int size : {16, 32, 48, 256}) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = root / "share/icons/hicolor" / dir / "apps" / (APP_ID + ".png");
        EXPECT_EQ(png_size(icon), std::make_pair(size, size)) << icon;
    }

    std::string out;
    EXPECT_EQ(0, run("appstreamcli validate --no-net " + metainfo.string(), &out)) << out;
    EXPECT_EQ(0, run("desktop-file-validate " + launcher.string(), &out)) << out;
    EXPECT_EQ("", out) << "desktop-file-validate warns";
    const fs::path manual = root / "share/man/man6/gnatrix.6.gz";
    EXPECT_EQ(0, run("mandoc -T lint -W all " + manual.string(), &out)) << out;
    EXPECT_EQ("", out) << "mandoc finds fault with the manual page";

    // The three name each other: the launcher runs the installed program with the installed
    // icon, and the metainfo launches the installed launcher.
    const std::string entry = slurp(launcher), xml = slurp(metainfo);
    EXPECT_EQ("gnatrix --user-data", desktop_value(entry, "Exec"));
    EXPECT_EQ(APP_ID, desktop_value(entry, "Icon"));
    EXPECT_EQ(APP_ID, xml_text(xml, "id"));
    EXPECT_EQ(APP_ID + ".desktop", xml_text(xml, "launchable"));
    // The project has no site yet: an address software centres would fetch would be broken
    // (README, Installing, says how to add them once it has one).
    EXPECT_EQ(std::string::npos, xml.find("://")) << "the metainfo names an address";
    EXPECT_EQ("gnatrix", xml_text(xml, "binary"));
    EXPECT_NE(std::string::npos, xml.find("<release version=\"1.1\""))
        << "the newest release is the version the game reports";
    EXPECT_EQ(0, run(binary.string() + " --version", &out));
    EXPECT_EQ("Gnatrix 1.1\n", out);
}

TEST_F(Install, LauncherKeepsTheScoresInThePlayersDataFolder) {
    install("/opt/gnatrix");
    const std::string exec =
        desktop_value(slurp(root / "share/applications" / (APP_ID + ".desktop")), "Exec");
    ASSERT_TRUE(exec.starts_with("gnatrix ")) << exec;
    // The launcher's command, headless: a replay of the demo plays a game to its end (the demo
    // itself keeps its score to itself).
    const fs::path elsewhere = stage / "elsewhere", xdg = stage / "xdg";
    fs::create_directories(elsewhere);
    const fs::path demo = fs::path(GNATRIX_SOURCE_DIR) / "resources" / "demo.gxi";
    std::string out;
    ASSERT_EQ(0,
              run("cd " + elsewhere.string() + " && XDG_DATA_HOME=" + xdg.string() + " " +
                      (root / "bin").string() + "/" + exec + " --headless --play " + demo.string(),
                  &out))
        << out;
    EXPECT_EQ(320u, fs::file_size(xdg / "gnatrix/scores.bin"));
    EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing is left where the launcher started";
}

TEST_F(Install, DebianPackageLintsCleanAndPlaysItsDemoFromWhereItUnpacks) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "a package of the sanitizer build is no package a player gets";
#endif
    std::string out;
    ASSERT_EQ(0, run("cpack --config " + std::string(GNATRIX_BINARY_DIR) +
                         "/CPackConfig.cmake -B " + stage.string(),
                     &out))
        << out;
    const fs::path deb = stage / "gnatrix_1.1_amd64.deb";
    ASSERT_TRUE(fs::exists(deb)) << out;
    // Errors and warnings alike: the package keeps none.
    EXPECT_EQ(0, run("lintian --fail-on error,warning " + deb.string(), &out)) << out;
    EXPECT_EQ(std::string::npos, out.find("W: ")) << out;
    EXPECT_EQ(0, run("dpkg-deb --field " + deb.string() + " Depends Section", &out));
    EXPECT_NE(std::string::npos, out.find("libsdl2-2.0-0")) << "dependencies of the program";
    EXPECT_NE(std::string::npos, out.find("Section: games")) << out;

    ASSERT_EQ(0, run("dpkg-deb -x " + deb.string() + " " + (stage / "root").string(), &out)) << out;
    const fs::path usr = stage / "root/usr";
    for (const std::string& file : std::vector<std::string>{
             "games/gnatrix", "share/man/man6/gnatrix.6.gz", "share/doc/gnatrix/copyright",
             "share/applications/" + APP_ID + ".desktop",
             "share/metainfo/" + APP_ID + ".metainfo.xml",
             "share/icons/hicolor/256x256/apps/" + APP_ID + ".png"})
        EXPECT_TRUE(fs::exists(usr / file)) << file;
    EXPECT_FALSE(fs::exists(usr / "bin")) << "Debian keeps its games in /usr/games";
    const std::string game = (usr / "games/gnatrix").string();
    EXPECT_EQ(0, run(game + " --version", &out));
    EXPECT_EQ("Gnatrix 1.1\n", out);
    EXPECT_EQ(0, run("cd " + stage.string() + " && " + game + " --headless", &out));
    EXPECT_EQ("score 12900, missed 10, passes 3184, game time 97.0 s\n", out);
}

}  // namespace
