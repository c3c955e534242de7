// The help viewer over a running game: page layout, scrolling with the arrow keys, closing,
// and texts that are missing, unterminated or hold paragraphs too long for the line buffer.
#include "screens/help.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/state.h"
#include "game_harness.h"
#include "gfx/display.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "screens/score.h"

namespace {

constexpr int PAGE_LEFT = 50, PAGE_RIGHT = 590, PAGE_WHITE = 14;

// start_game takes passes 0 and 1; F1 at pass 3 opens the viewer.
std::vector<std::string> open_at_3(std::vector<std::string> more = {}) {
    std::vector<std::string> lines{"@3 key f1 down", "@4 key f1 up"};
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

class HelpTest : public testing::Test {
  protected:
    // Registers the text (kept alive by the fixture) and runs a game to the pass after `pass`.
    void run(const std::string& text, const std::vector<std::string>& script, int pass) {
        text_.assign(text.begin(), text.end());
        resource_override("TEXT", "GX11HELP", text_.data(), text_.size());
        game_ = std::make_unique<GameHarness>(with_script(script));
        start_game(*game_);
        to_pass(pass);
    }
    // Runs passes until `pass` has run.
    void to_pass(int pass) {
        while (int(platform_pass()) < pass) game_->pass();
    }

    // The 16 rows of the page from row y, columns 50..589.
    std::vector<uint8_t> band(int y) const {
        std::vector<uint8_t> screen = game_->screen(), out;
        for (int row = y; row < y + 16; ++row) {
            out.insert(out.end(), screen.begin() + row * 640 + PAGE_LEFT,
                       screen.begin() + row * 640 + PAGE_RIGHT);
        }
        return out;
    }
    // The same band as a line of text drawn at x on a white page would make it.
    static std::vector<uint8_t> expected_band(int x, const std::string& text, int extra = 0,
                                              int breaks = 0) {
        Surface* scratch = gfx_create_surface(640, 16, CAPS_SYSTEMMEMORY, 0);
        scratch->fill(nullptr, PAGE_WHITE);
        DrawContext* dc = scratch->get_dc();
        dc->set_text_justification(extra, breaks);
        dc->text_out(x, 0, text.data(), int(text.size()));
        scratch->release_dc(dc);
        int32_t pitch = 0;
        uint8_t* pixels = scratch->lock(&pitch);
        std::vector<uint8_t> out;
        for (int row = 0; row < 16; ++row) {
            out.insert(out.end(), pixels + row * pitch + PAGE_LEFT,
                       pixels + row * pitch + PAGE_RIGHT);
        }
        scratch->unlock();
        scratch->release();
        return out;
    }
    static int width_of(const std::string& text) {
        Surface* scratch = gfx_create_surface(640, 16, CAPS_SYSTEMMEMORY, 0);
        DrawContext* dc = scratch->get_dc();
        int w = 0, h = 0;
        dc->text_extent(text.data(), int(text.size()), &w, &h);
        scratch->release_dc(dc);
        scratch->release();
        return w;
    }
    // The first and last column of ink (not page white) in a band, from its row `top` on; -1
    // when there is none.
    static std::pair<int, int> ink(const std::vector<uint8_t>& band, int top = 0) {
        int first = -1, last = -1;
        for (int x = 0; x < PAGE_RIGHT - PAGE_LEFT; ++x) {
            for (int row = top; row < 16; ++row) {
                if (band[row * (PAGE_RIGHT - PAGE_LEFT) + x] == PAGE_WHITE) continue;
                if (first < 0) first = x + PAGE_LEFT;
                last = x + PAGE_LEFT;
            }
        }
        return {first, last};
    }

    std::vector<uint8_t> text_;
    std::unique_ptr<GameHarness> game_;
};

const std::string LONG_PARAGRAPH =
    "Bugs fall from the top of the screen and the rocket waits below them, steered with the "
    "mouse; a click fires the shrink ray straight up from its nose, and every bug the ray "
    "touches shrinks away for a hundred points and comes back above the top, while a bug that "
    "reaches the bottom counts as missed and comes back as well, so keep them from landing.";

TEST_F(HelpTest, FirstPageHeadingCentredBodyFlushLeftFirstLineHidden) {
    run("Never shown\r\n^First heading\r\nShort body line.\r\n" + LONG_PARAGRAPH + "\r\n\\",
        open_at_3(), 3);
    EXPECT_EQ(help_shown, 1);
    EXPECT_EQ(paused, 1);
    int heading_x = (60 + 580 - width_of("First heading\r")) / 2;
    EXPECT_EQ(band(48), expected_band(heading_x, "First heading"));
    EXPECT_EQ(band(64), expected_band(60, "Short body line."));
    EXPECT_EQ(ink(band(32), 35 - 32).first, -1) << "nothing above row 48";
}

TEST_F(HelpTest, BodyLinesFillTheColumnExceptEachParagraphsLast) {
    run("\r\n" + LONG_PARAGRAPH + "\r\n" + LONG_PARAGRAPH + "\r\n\\", open_at_3(), 3);
    int y = 48, lines_seen = 0;
    for (int paragraph = 0; paragraph < 2; ++paragraph) {
        for (;; y += 16) {
            auto [first, last] = ink(band(y));
            ASSERT_GE(first, 60) << y;
            ASSERT_LE(first, 62) << y;
            ++lines_seen;
            if (last < 570) break;  // the paragraph's last line, flush left
            EXPECT_GE(last, 576) << "a justified line ends at the right edge, row " << y;
            EXPECT_LT(last, 580) << y;
        }
        y += 16;
    }
    EXPECT_GE(lines_seen, 6);
}

TEST_F(HelpTest, WordsWiderThanTheColumnOverrunIt) {
    const std::string wide(60, 'W');
    run("\r\naa bb " + wide + " cc\r\ndd " + wide + " ee\r\nff " + wide + "\r\n\\", open_at_3(), 3);
    EXPECT_EQ(band(48), expected_band(60, "aa bb", 520 - width_of("aa bb"), 1));
    EXPECT_EQ(ink(band(64)), std::pair(60, PAGE_RIGHT - 1)) << "the wide word stands alone";
    EXPECT_EQ(band(80), expected_band(60, "cc"));
    EXPECT_EQ(band(96), expected_band(60, "dd " + wide)) << "one word before it shares the line";
    EXPECT_EQ(band(112), expected_band(60, "ee"));
    // A paragraph's last line that is too wide breaks at its last blank instead.
    EXPECT_EQ(band(128), expected_band(60, "ff"));
    EXPECT_EQ(ink(band(144)), std::pair(60, PAGE_RIGHT - 1));
}

TEST_F(HelpTest, UpAtTheTopChangesNothing) {
    run("\r\n^Head\r\nOne\r\nTwo\r\n\\", open_at_3({"@6 key up down", "@7 key up up"}), 5);
    std::vector<uint8_t> before = game_->screen();
    to_pass(6);
    EXPECT_EQ(game_->screen(), before);
    EXPECT_EQ(help_view.first_paragraph, 0);
}

TEST_F(HelpTest, DownStopsBeforeTheLastParagraphReachesTheTop) {
    run("\r\n^Head\r\nOne\r\nTwo\r\nLast\r\n\\", open_at_3({"@6 key down down"}), 5);
    std::vector<std::vector<uint8_t>> tops;
    for (int pass = 6; pass < 14; ++pass) {
        to_pass(pass);
        tops.push_back(band(48));
    }
    EXPECT_EQ(tops[0], expected_band(60, "One"));
    EXPECT_EQ(tops[1], expected_band(60, "Two"));
    EXPECT_EQ(tops.back(), expected_band(60, "Two"));
    for (const auto& top : tops) EXPECT_NE(top, expected_band(60, "Last"));
    EXPECT_EQ(help_view.paragraph_total, 3);
}

TEST_F(HelpTest, DownHidesALineAtATimeAndUpReturnsToTheTop) {
    run("\r\nOne\r\n" + LONG_PARAGRAPH + "\r\nAfter\r\nMore\r\n\\",
        open_at_3({"@6 key down down", "@8 key down up", "@9 key up down", "@10 key up up"}), 5);
    std::vector<uint8_t> opening = game_->screen();
    std::vector<uint8_t> long_first = band(64), long_second = band(80);
    to_pass(6);
    EXPECT_EQ(band(48), long_first) << "the long paragraph comes to the top";
    to_pass(7);
    EXPECT_EQ(band(48), long_second) << "its first line scrolled off";
    to_pass(9);
    EXPECT_EQ(game_->screen(), opening) << "Up shows the first page again";
    EXPECT_EQ(help_view.first_paragraph, 0);
}

TEST_F(HelpTest, ClosingDuringPlayClearsTheFieldAndRedrawsTheStatusBar) {
    run("\r\nText\r\n\\", open_at_3({"@6 key escape down", "@7 key escape up"}), 5);
    score = score_shown = 1200;  // the frame after closing has no new score to draw
    missed_count = 7;
    to_pass(6);
    EXPECT_EQ(help_shown, 0);
    EXPECT_EQ(paused, 0);
    std::vector<uint8_t> screen = game_->screen();
    // "1200" at (10, 461) and "7" at (608, 461) in the digit images.
    const char* digits[] = {"1200", "7"};
    const int columns[] = {10, 608};
    for (int n = 0; n < 2; ++n) {
        for (int i = 0; digits[n][i]; ++i) {
            const uint8_t* glyph = digit_frame_rows[digits[n][i] - '0'];
            for (int row = 0; row < 16; ++row) {
                for (int col = 0; col < 16; ++col) {
                    ASSERT_EQ(screen[(461 + row) * 640 + columns[n] + 16 * i + col],
                              glyph[row * digit_frame_pitch_words * 4 + col]);
                }
            }
        }
    }
    EXPECT_EQ(screen[460 * 640 + 300], COLOUR_STATUS_BAR);
    int frame_left = 0;
    for (int y = 25; y < 455; ++y) frame_left += screen[y * 640 + 45] == 138;
    EXPECT_LT(frame_left, 3) << "the play field is cleared";
}

TEST_F(HelpTest, ClosingAFinishedGameLeavesItFrozenWithItsTable) {
    run("\r\nText\r\n\\", open_at_3({"@6 key escape down", "@7 key escape up"}), 5);
    missed_count = missed_limit;
    score_table_in = {};
    score_table_in.scores[0] = 4200;
    const uint32_t before = clock_ticks();
    to_pass(6);
    EXPECT_EQ(help_shown, 0);
    EXPECT_EQ(paused, 1);
    // The table stood there before help and stands there again, drawn from memory at once.
    EXPECT_LT(clock_ticks() - before, 800u) << "no wait of the score file";
    const std::vector<uint8_t> closed = game_->screen();
    EXPECT_EQ(closed[200 * 640 + 215], 23) << "the panel's border";
    score_show();
    EXPECT_TRUE(game_->screen() == closed) << "the panel as the table draws it";
}

TEST_F(HelpTest, ClosingOnTheTitleBringsItsPictureBack) {
    game_ = std::make_unique<GameHarness>(
        with_script({"@2 key f1 down", "@3 key f1 up", "@5 key escape down", "@6 key escape up"}));
    to_pass(1);
    const std::vector<uint8_t> title = game_->screen();
    to_pass(5);
    EXPECT_EQ(game_state, STATE_TITLE);
    EXPECT_EQ(help_shown, 0);
    // Only the demonstration's stars, bug and rocket may differ from the picture before help.
    const std::vector<uint8_t> closed = game_->screen();
    int same = 0;
    for (size_t i = 0; i < title.size(); ++i) same += title[i] == closed[i];
    EXPECT_GT(same, int(title.size()) * 9 / 10) << "the title picture, not the help page";
}

TEST_F(HelpTest, MissingTextShowsAnEmptyPage) {
    resource_override("TEXT", "GX11HELP", nullptr, 0);
    game_ = std::make_unique<GameHarness>(
        with_script(open_at_3({"@6 key down down", "@8 key down up", "@9 key up down"})));
    start_game(*game_);
    to_pass(10);
    EXPECT_EQ(help_shown, 1);
    for (int y = 35; y + 16 <= 445; y += 16) EXPECT_EQ(ink(band(y)).first, -1) << y;
    EXPECT_EQ(ink(band(429)).first, -1);
}

TEST_F(HelpTest, OverlongParagraphsAndUnterminatedTextsStayInBounds) {
    std::string words;
    while (words.size() < 3000) words += "gnat ";
    // The text's bytes end without a backslash, in the middle of a paragraph with no line end.
    run("\r\n" + words + "\r\n" + words + words, open_at_3({"@6 key down down"}), 5);
    EXPECT_LE(help_view.line_length, HELP_LINE_BYTES - 1);
    EXPECT_EQ(help_view.paragraph_total, 0);
    EXPECT_NE(ink(band(48)).first, -1);
    to_pass(12);
    EXPECT_EQ(help_shown, 1);
}

}  // namespace
