// The high-score table: entering scores, the bytes of the file, safe replacement, the panel.
#include "screens/score.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/game_harness.h"
#include "tools/process/process.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The stored form of a table whose slots 0-9 hold these scores under the given names.
Bytes table_bytes(const std::vector<int32_t>& scores, const std::vector<std::string>& names) {
    Bytes bytes(SCORE_FILE_BYTES, 0);
    for (size_t k = 0; k < scores.size(); ++k) {
        uint32_t bits = uint32_t(scores[k]);
        for (int i = 0; i < 4; ++i) bytes[4 * k + i] = uint8_t(bits >> (8 * i));
        std::string name = k < names.size() ? names[k] : std::string(15, ' ');
        memcpy(&bytes[64 + 16 * k], name.c_str(), name.size());
    }
    return bytes;
}

std::vector<int32_t> decade_scores() {
    return {100, 90, 80, 70, 60, 50, 40, 30, 20, 10};
}
std::vector<std::string> decade_names() {
    return {"ann", "bob", "cy", "di", "ed", "flo", "gus", "hal", "ivy", "jo"};
}

std::vector<int32_t> shown_scores() {
    return std::vector<int32_t>(score_table_in.scores, score_table_in.scores + SCORE_RANKS);
}

std::string name_of(const Bytes& bytes, int slot) {
    return std::string(reinterpret_cast<const char*>(&bytes[64 + 16 * slot]));
}

// Removes the folder whatever a test left in it: Windows deletes no read-only file.
void remove_folder(const fs::path& dir) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ignored))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(dir);
}

class ScoreTest : public testing::Test {
  protected:
    void SetUp() override {
        remove_folder(dir_);
        fs::create_directories(dir_);
        score_table_in = {};
        score_table_out = {};
        clock_set_virtual(true);
        clock_set_virtual_ticks(5000);
        file_inject_fault(FileStep::NONE, 0);
    }
    void TearDown() override {
        file_inject_fault(FileStep::NONE, 0);
        remove_folder(dir_);
    }
    // Records a final score and returns what it wrote on standard error.
    std::string record(int32_t final_score) {
        testing::internal::CaptureStderr();
        score_record(nullptr, nullptr, &final_score);
        return testing::internal::GetCapturedStderr();
    }
    uint32_t waited() const { return clock_ticks() - 5000; }
    // Files in the directory, so that no temporary is left behind.
    size_t files_in_dir() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    const fs::path dir_ =
        fs::temp_directory_path() /
        ("gnatrix_score_" +
         std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::string path_ = (dir_ / "scores.bin").string();
    const ScoreFileAt score_file_{path_};
};

TEST_F(ScoreTest, FirstGameCreatesTheFileWhateverItsScore) {
    EXPECT_EQ(record(0), "");
    // Slots 1 to 11 are blank, 12 to 15 empty.
    EXPECT_EQ(read_bytes(path_), table_bytes(std::vector<int32_t>(12, 0), {" "}));
    EXPECT_EQ(shown_scores(), std::vector<int32_t>(10, 0));
    EXPECT_EQ(waited(), 1000u);
}

TEST_F(ScoreTest, ScoreEqualToTheTenthLeavesTheFileAlone) {
    Bytes old = table_bytes(decade_scores(), decade_names());
    write_bytes(path_, old);
    EXPECT_EQ(record(10), "");
    EXPECT_EQ(read_bytes(path_), old);
    EXPECT_EQ(shown_scores(), decade_scores());
    EXPECT_EQ(waited(), 0u);
}

TEST_F(ScoreTest, NewScoreTakesItsRankAndTheTenthDropsOut) {
    write_bytes(path_, table_bytes(decade_scores(), decade_names()));
    EXPECT_EQ(record(95), "");
    Bytes saved = read_bytes(path_);
    ASSERT_EQ(saved.size(), 320u);
    std::vector<int32_t> expected{100, 95, 90, 80, 70, 60, 50, 40, 30, 20};
    EXPECT_EQ(shown_scores(), expected);
    EXPECT_EQ(name_of(saved, 1), " ");
    EXPECT_EQ(name_of(saved, 9), "ivy");
    EXPECT_EQ(score_table_out.scores[10], 0);
    for (int i = 40; i < 44; ++i) EXPECT_EQ(saved[i], 0) << "slot 10 holds score 0";
    EXPECT_EQ(waited(), 800u);
}

TEST_F(ScoreTest, EqualNewScoreRanksBelowTheOldOne) {
    write_bytes(path_, table_bytes(decade_scores(), decade_names()));
    record(90);
    Bytes saved = read_bytes(path_);
    std::vector<int32_t> expected{100, 90, 90, 80, 70, 60, 50, 40, 30, 20};
    EXPECT_EQ(shown_scores(), expected);
    EXPECT_EQ(name_of(saved, 1), "bob");
    EXPECT_EQ(name_of(saved, 2), " ");
}

TEST_F(ScoreTest, FewScoresAreFollowedByZeroRows) {
    write_bytes(path_, table_bytes({300, 200, 100}, {"a", "b", "c"}));
    record(150);
    std::vector<int32_t> expected{300, 200, 150, 100, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(shown_scores(), expected);
    std::vector<int32_t> stored = expected;
    stored.push_back(0);  // slot 10, blank
    EXPECT_EQ(read_bytes(path_), table_bytes(stored, {"a", "b", " ", "c"}));
}

TEST_F(ScoreTest, ScoresAreStoredLittleEndian) {
    write_bytes(path_, table_bytes({}, {}));
    record(0x01020304);
    Bytes saved = read_bytes(path_);
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 4), (Bytes{0x04, 0x03, 0x02, 0x01}));
    write_bytes(path_, table_bytes({-5, -6}, {}));
    ScoreTable table{};
    Bytes bytes = read_bytes(path_);
    score_table_decode(bytes.data(), bytes.size(), &table);
    EXPECT_EQ(table.scores[0], -5);
    EXPECT_EQ(table.scores[1], -6);
}

TEST_F(ScoreTest, ShortEmptyAndOverlongFilesReadWhatTheyHold) {
    Bytes two = table_bytes({500, 400}, {});
    two.resize(8);  // only the first two scores
    write_bytes(path_, two);
    record(450);
    EXPECT_EQ(shown_scores(), (std::vector<int32_t>{500, 450, 400, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(read_bytes(path_).size(), 320u);

    write_bytes(path_, {});
    record(7);
    EXPECT_EQ(shown_scores(), (std::vector<int32_t>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    Bytes long_file = table_bytes(decade_scores(), decade_names());
    long_file.insert(long_file.end(), 100, 0x7F);
    write_bytes(path_, long_file);
    record(55);
    EXPECT_EQ(shown_scores(), (std::vector<int32_t>{100, 90, 80, 70, 60, 55, 50, 40, 30, 20}));
    EXPECT_EQ(read_bytes(path_).size(), 320u);
}

TEST_F(ScoreTest, UnwritableDirectoryKeepsTheTableInMemory) {
    std::string missing_dir = (dir_ / "nowhere" / "scores.bin").string();
    const ScoreFileAt elsewhere(missing_dir);
    std::string message = record(300);
    EXPECT_NE(message.find("not saved"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(missing_dir));
    EXPECT_EQ(shown_scores()[0], 300);
}

TEST_F(ScoreTest, DirectoryInPlaceOfTheFileIsLeftAlone) {
    fs::create_directory(path_);
    std::string message = record(300);
    EXPECT_NE(message.find("cannot read"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(shown_scores()[0], 300);
}

TEST_F(ScoreTest, FailureAtAnyStepOfTheWriteKeepsTheOldFile) {
    Bytes old = table_bytes(decade_scores(), decade_names());
    for (FileStep step :
         {FileStep::OPEN, FileStep::WRITE, FileStep::FLUSH, FileStep::SYNC, FileStep::RENAME}) {
        SCOPED_TRACE(int(step));
        write_bytes(path_, old);
        file_inject_fault(step, ENOSPC);
        std::string message = record(95);
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
        // It names the file the step failed on: the temporary one, or scores.bin for the rename.
        EXPECT_EQ(message.find(".tmp") == std::string::npos, step == FileStep::RENAME) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
        EXPECT_EQ(read_bytes(path_), old);
        EXPECT_EQ(files_in_dir(), 1u) << "no temporary file is left behind";
        EXPECT_EQ(shown_scores()[1], 95) << "the panel shows the table as it stands";
    }
}

// A folder the game may not write to (root ignores permissions, so the refusal is injected):
// the new file cannot even be made there.
TEST_F(ScoreTest, ReadOnlyFolderKeepsTheOldFileAndSaysWhy) {
    Bytes old = table_bytes(decade_scores(), decade_names());
    for (int error : {EACCES, EROFS}) {
        SCOPED_TRACE(error);
        write_bytes(path_, old);
        file_inject_fault(FileStep::OPEN, error);
        std::string message = record(95);
        EXPECT_NE(message.find(std::strerror(error)), std::string::npos) << message;
        EXPECT_NE(message.find(path_), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
        EXPECT_EQ(read_bytes(path_), old);
        EXPECT_EQ(files_in_dir(), 1u);
        EXPECT_EQ(shown_scores()[1], 95);
    }
}

// A player keeps a table by taking its owner's write bit away; the bits decide, not whether a
// write would succeed (root's always would, and the tests may run as root).
TEST_F(ScoreTest, WriteProtectedTableIsKeptWhoeverPlays) {
    Bytes old = table_bytes(decade_scores(), decade_names());
    write_bytes(path_, old);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_write);
    const fs::perms read_only = fs::status(path_).permissions();  // as the system keeps them
    std::string message = record(95);
    EXPECT_NE(message.find(path_ + " is write-protected"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_EQ(read_bytes(path_), old);
    EXPECT_EQ(fs::status(path_).permissions(), read_only);
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_EQ(shown_scores()[1], 95) << "the panel shows the table as it stands";
    fs::permissions(path_, fs::perms::owner_write,
                    fs::perm_options::add);  // Windows deletes no read-only file
}

// A saved table keeps its mode, and its owner and group where the game may give them (root
// may, and the tests may run as root); otherwise it is the player's, as before.
TEST_F(ScoreTest, SavedTableKeepsItsModeAndOwner) {
    write_bytes(path_, table_bytes(decade_scores(), decade_names()));
    fs::permissions(path_, fs::perms(0640));
    const bool root = process_user_id() == 0;
    if (root) {
        ASSERT_TRUE(process_set_owner(path_, 4711, 4712));
    }
    EXPECT_EQ(record(95), "");
    EXPECT_EQ(read_bytes(path_)[4], 95) << "saved";
    struct stat saved;
    ASSERT_EQ(stat(path_.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(saved.st_uid, 4711u);
        EXPECT_EQ(saved.st_gid, 4712u);
    } else {
        EXPECT_EQ(int(saved.st_uid), process_user_id());
    }
}

TEST_F(ScoreTest, SymbolicLinkKeepsPointingAtTheSavedTable) {
    fs::path target = dir_ / "real.bin";
    write_bytes(target, table_bytes(decade_scores(), decade_names()));
    fs::create_symlink(target, path_);
    record(95);
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(score_table_out.scores[1], 95);
    Bytes saved = read_bytes(target);
    ASSERT_EQ(saved.size(), 320u);
    EXPECT_EQ(saved[4], 95);
}

class ScorePanelTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(1, gfx_init(640, 480, 8, false, true));
        // Distinct colours, so that the text's colours map to entries of their own.
        PALETTEENTRY palette[256] = {};
        palette[23] = {200, 40, 40, 0};
        palette[GREEN] = {0, 255, 148, 0};
        for (int i = 0; i < 256; ++i) {
            if (i != 0 && i != 23 && i != GREEN) palette[i] = {128, 128, 255, 0};
        }
        pal_apply(palette);
        gfx_fill_surface(primary_surface, 99, nullptr);
    }
    void TearDown() override { gfx_shutdown(); }
    static uint8_t pixel(int x, int y) {
        uint8_t v = gfx_lock_primary()[y * primary_pitch + x];
        gfx_unlock_primary();
        return v;
    }
    // How many pixels of a colour lie in columns x0..x1-1 of rows y0..y1-1.
    static int count(int x0, int y0, int x1, int y1, uint8_t colour) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += pixel(x, y) == colour;
        return n;
    }
    static constexpr uint8_t GREEN = 5;
};

TEST_F(ScorePanelTest, PanelHasItsBorderInsideRowsAndKeys) {
    score_table_in = {};
    score_table_in.scores[0] = 12345;
    EXPECT_EQ(score_show(), 0);
    for (auto [x, y] : {std::pair{210, 90},
                        {429, 90},
                        {210, 359},
                        {429, 359},
                        {215, 200},
                        {425, 200},
                        {300, 95}}) {
        EXPECT_EQ(pixel(x, y), 23) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{220, 100}, {419, 100}, {220, 319}, {419, 319}}) {
        EXPECT_EQ(pixel(x, y), 0) << x << "," << y;
    }
    EXPECT_EQ(pixel(209, 90), 99);
    EXPECT_EQ(pixel(430, 359), 99);
    EXPECT_EQ(pixel(210, 360), 99);
    // Ten rows of green text inside, the keys in black on the border band below it.
    for (int rank = 0; rank < 10; ++rank) {
        EXPECT_GT(count(227, 110 + 20 * rank, 420, 126 + 20 * rank, GREEN), 10) << rank;
    }
    EXPECT_GT(count(228, 331, 429, 347, 0), 50);
    // The first row is wider than the others: its score has five digits.
    EXPECT_GT(count(300, 110, 420, 126, GREEN), count(300, 130, 420, 146, GREEN));
}

}  // namespace
