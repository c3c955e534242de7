// The error output file: nothing without a file, the opening and closing lines, text written
// unchanged, and a message too long for the buffer cut rather than overrun.
#include "gfx/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string path_of(const char* name) {
    return std::string(GNATRIX_BINARY_DIR) + "/" + name;
}

std::string read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Log, NothingIsWrittenWithoutAFile) {
    EXPECT_EQ(0, log_printf("\npixel format = %d", 8));
    EXPECT_EQ(0, log_close());
    EXPECT_EQ(0, log_printf(nullptr));
}

TEST(Log, ReopeningClosesTheFirstFileAndKeepsPercentSigns) {
    const std::string first = path_of("log_first.txt"), second = path_of("log_100%d%s.txt");
    ASSERT_EQ(1, log_open(first.c_str()));
    EXPECT_EQ(1, log_printf("\npixel format = %d", 8));
    ASSERT_EQ(1, log_open(second.c_str()));
    EXPECT_EQ(1, log_close());
    EXPECT_EQ("\nOpening Error Output File (" + first + "):\n\npixel format = 8" +
                  "\nClosing Error Output File.",
              read(first));
    EXPECT_EQ("\nOpening Error Output File (" + second + "):\n\nClosing Error Output File.",
              read(second));
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(Log, AFileThatCannotBeCreatedLeavesTheOpenOneOpen) {
    const std::string good = path_of("log_kept.txt");
    ASSERT_EQ(1, log_open(good.c_str()));
    EXPECT_EQ(0, log_open(path_of("no/such/folder/log.txt").c_str()));
    EXPECT_EQ(1, log_printf("\nstill here"));
    log_close();
    EXPECT_NE(std::string::npos, read(good).find("\nstill here\nClosing"));
    std::remove(good.c_str());
}

TEST(Log, ALongMessageIsCutToTheBuffer) {
    const std::string path = path_of("log_long.txt");
    ASSERT_EQ(1, log_open(path.c_str()));
    EXPECT_EQ(1, log_printf("%s|", std::string(200, 'x').c_str()));
    log_close();
    const std::string written = read(path);
    EXPECT_EQ("\nOpening Error Output File (" + path + "):\n" + std::string(79, 'x') +
                  "\nClosing Error Output File.",
              written);
    std::remove(path.c_str());
}

}  // namespace
