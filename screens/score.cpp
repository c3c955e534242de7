// The high-score table: reads "scores.bin", enters a game's final score, replaces the file
// safely and draws the panel.
#include "screens/score.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "gfx/display.h"
#include "gfx/draw.h"
#include "platform/clock.h"
#include "platform/file.h"

const char SCORE_BLANK_NAME[SCORE_NAME_BYTES] = "               ";
const char* score_player_name = " ";

ScoreTable score_table_in;
ScoreTable score_table_out;
FILE* score_file = nullptr;
char score_text[32];
const char* score_file_name = "scores.bin";

namespace {

constexpr COLORREF SCORE_TEXT_COLOUR = RGB(0, 255, 148);
constexpr int SCORE_NEW_SLOT = 10;

enum class ScoreRead { MISSING, READ, FAILED };

// A demo's own table: its stored bytes, once a game has been saved into it.
bool private_table = false;
bool private_saved = false;
uint8_t private_bytes[SCORE_FILE_BYTES];

// A name field holds the string and zero bytes after it.
void score_set_slot(ScoreTable* table, int slot, int32_t score, const char* name) {
    table->scores[slot] = score;
    memset(table->names[slot], 0, SCORE_NAME_BYTES);
    memcpy(table->names[slot], name, strnlen(name, SCORE_NAME_BYTES - 1));
}

void score_copy_slot(ScoreTable* to, int to_slot, const ScoreTable& from, int from_slot) {
    to->scores[to_slot] = from.scores[from_slot];
    memcpy(to->names[to_slot], from.names[from_slot], SCORE_NAME_BYTES);
}

ScoreRead score_read_table() {
    for (int slot = 0; slot <= SCORE_NEW_SLOT; ++slot) {
        score_set_slot(&score_table_in, slot, 0, SCORE_BLANK_NAME);
        score_set_slot(&score_table_out, slot, 0, SCORE_BLANK_NAME);
    }
    if (private_table) {
        if (!private_saved) return ScoreRead::MISSING;
        score_table_decode(private_bytes, sizeof private_bytes, &score_table_in);
        return ScoreRead::READ;
    }
    score_file = fopen(score_file_name, "rb");
    if (!score_file) return errno == ENOENT ? ScoreRead::MISSING : ScoreRead::FAILED;
    uint8_t bytes[SCORE_FILE_BYTES];
    size_t size = fread(bytes, 1, sizeof bytes, score_file);
    int error_number = errno;
    bool failed = ferror(score_file) != 0;
    fclose(score_file);
    score_file = nullptr;
    if (failed) {
        errno = error_number;
        return ScoreRead::FAILED;
    }
    score_table_decode(bytes, size, &score_table_in);
    return ScoreRead::READ;
}

// The ten best of slots 0-10 of score_table_in, best first; of equal scores the lower slot
// ranks first, so a new score ties below an old one.
void score_select_ranks() {
    for (int rank = 0; rank < SCORE_RANKS; ++rank) {
        int chosen = 0;
        int32_t best = 0;
        for (int slot = 0; slot <= SCORE_NEW_SLOT; ++slot) {
            if (score_table_in.scores[slot] > best) {
                best = score_table_in.scores[slot];
                chosen = slot;
            }
        }
        score_copy_slot(&score_table_out, rank, score_table_in, chosen);
        score_set_slot(&score_table_in, chosen, 0, SCORE_BLANK_NAME);
    }
}

// A first table: the final score alone, whatever it is.
void score_start_table(int32_t final_score) {
    score_set_slot(&score_table_out, 0, final_score, score_player_name);
    for (int slot = 1; slot <= 11; ++slot) {
        score_set_slot(&score_table_out, slot, 0, SCORE_BLANK_NAME);
    }
}

void score_save() {
    uint8_t bytes[SCORE_FILE_BYTES];
    score_table_encode(score_table_out, bytes);
    if (private_table) {
        memcpy(private_bytes, bytes, sizeof bytes);
        private_saved = true;
        return;
    }
    std::string error;
    if (!file_replace(score_file_name, bytes, sizeof bytes, &error)) {
        fprintf(stderr, "gnatrix: the high-score table was not saved (%s); %s is left as it was\n",
                error.c_str(), score_file_name);
    }
}

void put_le32(uint8_t* at, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t get_le32(const uint8_t* at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= uint32_t(at[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

}  // namespace

void score_table_encode(const ScoreTable& table, uint8_t bytes[SCORE_FILE_BYTES]) {
    for (int slot = 0; slot < SCORE_SLOTS; ++slot) {
        put_le32(bytes + 4 * slot, table.scores[slot]);
        memcpy(bytes + 4 * SCORE_SLOTS + SCORE_NAME_BYTES * slot, table.names[slot],
               SCORE_NAME_BYTES);
    }
}

void score_table_decode(const uint8_t* bytes, size_t size, ScoreTable* table) {
    uint8_t image[SCORE_FILE_BYTES];
    score_table_encode(*table, image);
    memcpy(image, bytes, size < sizeof image ? size : sizeof image);
    for (int slot = 0; slot < SCORE_SLOTS; ++slot) {
        table->scores[slot] = get_le32(image + 4 * slot);
        memcpy(table->names[slot], image + 4 * SCORE_SLOTS + SCORE_NAME_BYTES * slot,
               SCORE_NAME_BYTES);
    }
}

void score_keep_private(bool keep) {
    private_table = keep;
    private_saved = false;
}

void score_record(const void*, Window*, int32_t* final_score) {
    ScoreRead read = score_read_table();
    if (read == ScoreRead::READ && *final_score <= score_table_in.scores[SCORE_RANKS - 1]) {
        score_show();
        return;
    }
    if (read == ScoreRead::READ) {
        score_set_slot(&score_table_in, SCORE_NEW_SLOT, *final_score, score_player_name);
        score_select_ranks();
        score_save();
        clock_sleep(800);
    } else if (read == ScoreRead::MISSING) {
        score_start_table(*final_score);
        score_save();
        clock_sleep(1000);
    } else {
        // Never overwrite a table that could not be read: it may still be good.
        fprintf(stderr, "gnatrix: cannot read the high-score table %s (%s); it is left as it was\n",
                score_file_name, strerror(errno));
        score_start_table(*final_score);
        clock_sleep(1000);
    }
    // The panel shows the table as it stands, whether or not the file could take it.
    score_table_in = score_table_out;
    score_show();
}

int score_show() {
    gfx_fill_rect(210, 90, 430, 360, 23, primary_surface);
    gfx_fill_rect(220, 100, 420, 320, 0, primary_surface);
    for (int rank = 1; rank <= SCORE_RANKS; ++rank) {
        snprintf(score_text, sizeof score_text, "%3i.   %i", rank, score_table_in.scores[rank - 1]);
        int x = rank < SCORE_RANKS ? 230 : 227;
        txt_draw(score_text, x, 110 + 20 * (rank - 1), SCORE_TEXT_COLOUR, primary_surface, nullptr);
    }
    txt_draw("Esc=Exit    F2=New Game", 228, 331, RGB(0, 0, 0), primary_surface, nullptr);
    return 0;
}
