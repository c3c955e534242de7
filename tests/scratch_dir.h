// Folders and files of a test's own under the build folder: ctest runs tests side by side, each
// in a process of its own, so every name carries the process id.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "tools/process/process.h"

// A fresh folder, removed at the end unless the test failed: then what it holds is left to
// look at.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::path(GNATRIX_BINARY_DIR) /
                (name + "_" + std::to_string(process_id()))) {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
        std::filesystem::create_directories(path_, error);
        EXPECT_FALSE(error) << "cannot make " << path_ << ": " << error.message();
    }
    ~ScratchDir() {
        const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
        // Outside a test (the process's own folder, at exit): whether any test failed.
        const bool failed = unit.current_test_info() ? testing::Test::HasFailure() : unit.Failed();
        std::error_code ignored;
        if (!failed) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // A path inside the folder.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// This process's own folder, made when first asked for and removed when the process ends.
inline const ScratchDir& process_scratch() {
    static const ScratchDir dir("scratch");
    return dir;
}

// A fresh path for a test's file, in this process's own folder.
inline std::string temp_path(const std::string& name) {
    static int counter = 0;
    return process_scratch() / (std::to_string(counter++) + "_" + name);
}
