// The high-score table: the ten best scores, kept in "scores.bin", entered at the end of each
// game and shown as a panel in the middle of the screen.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

class Window;

constexpr int SCORE_SLOTS = 16;
constexpr int SCORE_RANKS = 10;
constexpr int SCORE_NAME_BYTES = 16;
constexpr int SCORE_FILE_BYTES = 320;

// The whole content of the score file, little-endian: slots 0-9 are the table, best first;
// name k belongs to score k.
struct ScoreTable {
    int32_t scores[SCORE_SLOTS];
    char names[SCORE_SLOTS][SCORE_NAME_BYTES];
};
static_assert(sizeof(ScoreTable) == SCORE_FILE_BYTES, "the score file is 320 bytes");

// 15 spaces and the terminator: fills a name field exactly.
extern const char SCORE_BLANK_NAME[SCORE_NAME_BYTES];
// The name every score is recorded under.
extern const char* score_player_name;

extern ScoreTable score_table_in;   // the table as read from the file
extern ScoreTable score_table_out;  // the table as written to the file
extern FILE* score_file;            // open while the table is being read
extern char score_text[32];         // one formatted row of the panel
// The file the table lives in, in the current directory; tests put it elsewhere.
extern const char* score_file_name;

// A demo or timedemo plays against a table of its own: it starts empty, lives in memory for
// the run and never reads or writes the file, so the player's table stays theirs. Setting it
// (either way) forgets that table.
void score_keep_private(bool keep);

// Enters the final score of a game, saves the table and shows the panel. The module instance
// and the window are not used.
void score_record(const void* instance, Window* window, int32_t* final_score);
// Draws the panel with score_table_in on the primary surface; returns 0.
int score_show();

// The stored bytes of a table, the same on every host.
void score_table_encode(const ScoreTable& table, uint8_t bytes[SCORE_FILE_BYTES]);
// Replaces the first size bytes (at most 320) of the table's stored form; the rest of the
// table keeps its values.
void score_table_decode(const uint8_t* bytes, size_t size, ScoreTable* table);
