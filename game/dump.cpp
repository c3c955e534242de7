// Writes the game's state as text under the code's own names, for --dump-state.
#include "game/dump.h"

#include "game/keys.h"
#include "game/state.h"
#include "game/title.h"
#include "input/input.h"
#include "screens/help.h"

namespace {

void line(FILE* out, const char* name, long long value) {
    fprintf(out, "%s %lld\n", name, value);
}

void line(FILE* out, const char* name, const int32_t* values, int count) {
    fputs(name, out);
    for (int i = 0; i < count; i++) fprintf(out, " %d", values[i]);
    fputc('\n', out);
}

}  // namespace

#define DUMP(name) line(out, #name, (long long)(name))

GameSummary game_summary() {
    return {score, missed_count};
}

void game_dump_state(FILE* out) {
    DUMP(bug_count);
    DUMP(missed_limit);
    DUMP(speed_mode);
    DUMP(volume);
    DUMP(game_state);
    DUMP(paused);
    DUMP(help_shown);
    DUMP(help_view.first_paragraph);
    DUMP(help_view.skip_lines);
    DUMP(help_view.scrolling_down);
    DUMP(benchmark_mode);
    DUMP(benchmark_start_pending);
    DUMP(score);
    DUMP(score_shown);
    DUMP(missed_count);
    DUMP(speed_level);
    DUMP(frame_count);
    fprintf(out, "frame_delay %g\n", double(frame_delay));
    DUMP(rocket_x);
    DUMP(rocket_y);
    DUMP(rocket_bob.frame_index);
    DUMP(ray_state);
    DUMP(ray_bottom);
    DUMP(ray_top);
    DUMP(fire_latch);
    DUMP(spawn_row);
    DUMP(twinkle_next);
    line(out, "twinkle_row", twinkle_row, TWINKLE_COUNT);
    DUMP(bug_frame_pitch_words);
    DUMP(digit_frame_pitch_words);
    DUMP(primary_pitch_words);
    fprintf(out, "hud_text %s\n", hud_text[0] ? hud_text : "-");
    DUMP(bonus_sound);
    DUMP(hit_sound_pending);
    DUMP(title_init_pending);
    DUMP(backdrop_load_pending);
    DUMP(escape_latch);
    DUMP(new_game_latch);
    DUMP(panel_latch);
    DUMP(benchmark_latch);
    DUMP(pause_latch);
    fprintf(out, "mouse_device %d\n", mouse_device != nullptr);
    fprintf(out, "keyboard_device %d\n", keyboard_device != nullptr);
    for (int i = 0; i < BUG_MAX; i++) {
        const BOB& b = bug_bobs[i];
        const BugShrink& s = bug_shrink[i];
        fprintf(out, "bug %d %d %d %d %d %d %d\n", i, b.x, b.y, b.state, s.step, s.width, s.height);
    }
}
