// Makes the replay recordings of tests/replays. Each is played headless in this process by a
// small player that reads the game's own state and steers the rocket toward the lowest bug, as
// a person with a mouse would; what it did is written as an input script. --update then runs
// the built game on every script and writes the results it must keep giving.
//
//   make_replays --update [NAME...]     regenerate the scripts and their expected results
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "game/state.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/script.h"
#include "screens/panel.h"
#include "screens/score.h"
#include "tools/replay_files.h"

namespace fs = std::filesystem;

namespace {

// ---- What a recording does ----

// How well the player plays: mouse counts per pass at most (the rocket moves twice that), and
// the chance in percent of firing when the nose is under the bug it chases. Zero speed: hands off.
struct Skill {
    int speed;
    int fire_percent;
};
constexpr Skill HANDS_OFF = {0, 0}, WEAK = {2, 12}, MEDIUM = {3, 20}, FAIR = {4, 45},
                ACE = {9, 100};

// The scores.bin a recording starts with, built around the final score of its first game.
enum class Table { None, TenthEqual, Enters, Tie };

enum class Op {
    Wait,
    UntilPlay,
    UntilGameOver,
    UntilMissed,
    Key,
    Button,
    Pilot,
    Panel,
    Close,
    Screen
};
struct Step {
    explicit Step(Op op, int a = 0, int b = 0) : op(op), a(a), b(b) {}
    Op op;
    int a, b;  // Wait: passes; UntilMissed: misses; Key: key, passes held; Panel: -, F3 held;
               // Screen: passes from now
    Skill skill = HANDS_OFF;
    std::vector<PanelItem> panel;
};

struct Recording {
    const char* name;
    const char* covers;
    uint32_t seed;
    Table table;
    std::vector<Step> steps;
};

Step wait(int passes) {
    return Step(Op::Wait, passes);
}
Step until_play() {
    return Step(Op::UntilPlay);
}
Step until_game_over() {
    return Step(Op::UntilGameOver);
}
// Until play has counted this many misses.
Step until_missed(int misses) {
    return Step(Op::UntilMissed, misses);
}
Step key(int vk, int held = 1) {
    return Step(Op::Key, vk, held);
}
Step pilot(Skill skill) {
    Step s(Op::Pilot);
    s.skill = skill;
    return s;
}
// Clicks on one control of the control panel.
struct Clicks {
    int control;  // a scroll bar's id
    bool up;
    int times;
};
// F3 held for some passes and the panel's clicks in order, then OK: the only way it closes.
Step panel(std::initializer_list<Clicks> clicks, int held = 2) {
    Step s(Op::Panel, 0, held);
    for (const Clicks& c : clicks) s.panel.insert(s.panel.end(), c.times, {c.control, c.up});
    s.panel.push_back({IDOK, false});
    return s;
}
Clicks up(int control, int times = 1) {
    return {control, true, times};
}
Clicks down(int control, int times = 1) {
    return {control, false, times};
}
constexpr int BUGS = PANEL_BUGS_BAR, MISSED = PANEL_MISSED_BAR, SPEED = PANEL_SPEED_BAR,
              VOLUME = PANEL_VOLUME_BAR;
// A click: the left button down for one pass.
Step button() {
    return Step(Op::Button);
}
Step close_window() {
    return Step(Op::Close);
}
Step screen(int in_passes = 0) {
    return Step(Op::Screen, in_passes);
}

// About 1700 passes make a minute at the first pace, more as a game speeds up.
std::vector<Recording> recordings() {
    return {
        {"title_demo",
         "no key: the title's demonstration and its finale hand over to a game; a good player "
         "plays three minutes as the pace rises; the window is closed during play",
         4711,
         Table::None,
         {screen(60), wait(100), until_play(), screen(2), pilot(ACE), wait(3000), screen(),
          wait(3000), screen(), wait(2500), close_window()}},
        {"title_keys",
         "keys during the title: F12 on and off, Space held (one pause) and again (resume), F1 "
         "help with the arrows and Esc, then F2 starts a game at once; play; Esc ends it",
         17,
         Table::None,
         {wait(20),          key(VK_F12),   wait(3),         key(VK_F12),   wait(10),
          key(VK_SPACE, 30), screen(10),    wait(40),        key(VK_SPACE), wait(10),
          key(VK_F1),        wait(5),       key(VK_DOWN, 6), screen(8),     wait(10),
          key(VK_UP),        wait(4),       key(VK_ESCAPE),  wait(20),      key(VK_F2),
          until_play(),      screen(3),     pilot(FAIR),     wait(4000),    screen(),
          pilot(HANDS_OFF),  key(VK_ESCAPE)}},
        {"first_score",
         "game over with no scores.bin (it is created), a new game with F2 from the table, a "
         "second game over with the file in place, Esc at the table",
         99,
         Table::None,
         {until_play(), pilot(WEAK), until_game_over(), screen(5), wait(60), key(VK_F2),
          until_play(), until_game_over(), screen(5), wait(60), key(VK_ESCAPE)}},
        {"score_not_entered",
         "game over with a full table whose tenth score equals the final one: the file is not "
         "written; the window is closed at the table",
         1234,
         Table::TenthEqual,
         {until_play(), pilot(MEDIUM), until_game_over(), screen(5), wait(80), close_window()}},
        {"score_entered",
         "game over with a table the score enters at the fourth place; Esc at the table",
         31337,
         Table::Enters,
         {until_play(), pilot(MEDIUM), until_game_over(), screen(5), wait(80), key(VK_ESCAPE)}},
        {"score_tie",
         "game over with a table holding the same score: the new one is placed below it",
         2024,
         Table::Tie,
         {until_play(), pilot(MEDIUM), until_game_over(), screen(5), wait(80), key(VK_ESCAPE)}},
        {"pause",
         "Space taps and a Space held for a second (one toggle), a click and F12 while paused "
         "(the shot waits, the mode flips), Space resumes; Esc while paused ends the run",
         555,
         Table::None,
         {until_play(), pilot(FAIR),   wait(900),   key(VK_SPACE),     screen(3),
          wait(120),    key(VK_SPACE), wait(700),   key(VK_SPACE, 50), screen(20),
          wait(100),    key(VK_SPACE), wait(1500),  key(VK_SPACE),     wait(10),
          button(),     wait(10),      key(VK_F12), wait(10),          key(VK_F12),
          wait(30),     key(VK_SPACE), wait(2000),  key(VK_SPACE, 3),  screen(10),
          wait(200),    key(VK_ESCAPE)}},
        {"help",
         "F1 during play opens help; the down arrow held and tapped scrolls it, the up arrow "
         "back; F2, F3 and Space do nothing while it is shown; Esc closes it and play goes on, "
         "Esc held on does not quit; help again, and the window closed while it is shown",
         8080,
         Table::None,
         {until_play(),       pilot(FAIR),      wait(1200),    key(VK_F1),    screen(3),
          wait(20),           key(VK_DOWN, 40), screen(41),    wait(60),      key(VK_UP, 5),
          wait(20),           key(VK_DOWN),     wait(10),      key(VK_F2),    wait(10),
          key(VK_F3),         wait(10),         key(VK_SPACE), screen(2),     wait(20),
          key(VK_ESCAPE, 40), screen(50),       wait(2500),    key(VK_F1, 3), wait(10),
          key(VK_DOWN, 100),  screen(101),      wait(120),     close_window()}},
        {"benchmark",
         "F12 during play drops the pacing; a game ends in benchmark mode (its time drawn), F12 "
         "back to paced play, F2 from the table, play, the window closed",
         1977,
         Table::None,
         {until_play(), pilot(WEAK), wait(300), key(VK_F12), until_game_over(), screen(5), wait(50),
          key(VK_F12), wait(20), key(VK_F2), until_play(), pilot(FAIR), wait(3000), screen(),
          close_window()}},
        {"new_games",
         "F2 during play starts a new game, F2 held starts one only, F2 from a paused game, a "
         "game played to its end, F2 from the table and a game over again; Esc at the table",
         4242,
         Table::None,
         {until_play(),      pilot(FAIR),    wait(1500),    key(VK_F2),   until_play(),
          wait(800),         key(VK_F2, 60), until_play(),  screen(10),   wait(900),
          key(VK_SPACE),     wait(30),       key(VK_F2),    until_play(), pilot(MEDIUM),
          until_game_over(), screen(5),      wait(40),      key(VK_F2),   until_play(),
          until_game_over(), wait(40),       key(VK_ESCAPE)}},
        {"long_game",
         "a good player through a long game: the pace rises every 402 frames to its floor and "
         "stays there; the window is closed during play",
         60000,
         Table::None,
         {until_play(), pilot(ACE), wait(3000), screen(), wait(20000), screen(), wait(30000),
          screen(), wait(20000), close_window()}},
        {"close_at_table",
         "a weak player's game over with no scores.bin; the window is closed while the table "
         "is shown",
         777,
         Table::None,
         {until_play(), pilot(WEAK), until_game_over(), screen(5), wait(30), close_window()}},
        {"marathon",
         "four games back to back, each started with F2 from the table, by players of "
         "growing skill; Esc at the last table",
         31415,
         Table::None,
         {until_play(),  pilot(WEAK),   until_game_over(), wait(40),  key(VK_F2),
          until_play(),  pilot(MEDIUM), until_game_over(), screen(5), wait(40),
          key(VK_F2),    until_play(),  until_game_over(), wait(40),  key(VK_F2),
          until_play(),  pilot(WEAK),   until_game_over(), screen(5), wait(40),
          key(VK_ESCAPE)}},
        {"control_panel",
         "F3 during play: the volume down and up, the speed up to fast (a second step stays at "
         "2) and back down (a second step stays at 1), the missed limit raised while paused (OK "
         "resumes), fewer bugs (the game restarts with 6), more bugs than 10 (it stays at 10, "
         "a restart), the volume down past 0; F3 held for 30 passes opens it once; Esc ends the "
         "run",
         3003,
         Table::None,
         {until_play(),
          pilot(FAIR),
          wait(600),
          panel({down(VOLUME, 3), up(VOLUME)}),
          screen(3),
          wait(600),
          panel({up(SPEED, 2)}),
          wait(1500),
          screen(),
          panel({down(SPEED, 2)}),
          wait(600),
          key(VK_SPACE),
          wait(20),
          panel({up(MISSED, 2)}),
          screen(3),
          wait(800),
          panel({down(BUGS, 4)}),
          wait(5),
          until_play(),
          screen(5),
          wait(1200),
          panel({up(BUGS, 5)}),
          wait(5),
          until_play(),
          wait(600),
          panel({down(VOLUME, 12)}, 30),
          wait(600),
          screen(),
          key(VK_ESCAPE)}},
        {"panel_games",
         "the control panel at the title (the missed limit down to 3, the volume down; then a "
         "bug fewer, which starts a game at once), at the table after a game over (the speed "
         "raised: a new game starts at the fast pace), during play the limit lowered to the "
         "misses made (a new game starts), at the table the limit raised (the ended game plays "
         "on to the new limit and enters the table a second time); Esc at the last table",
         8086,
         Table::None,
         {wait(40),
          panel({down(MISSED, 7), down(VOLUME, 2)}),
          wait(30),
          panel({down(BUGS)}),
          until_play(),
          screen(3),
          pilot(WEAK),
          until_game_over(),
          screen(5),
          wait(40),
          panel({up(SPEED)}),
          until_play(),
          screen(3),
          pilot(MEDIUM),
          until_missed(1),
          panel({down(MISSED, 2)}),
          wait(5),
          until_play(),
          pilot(WEAK),
          until_game_over(),
          wait(40),
          panel({up(MISSED, 4)}),
          screen(3),
          wait(5),
          until_game_over(),
          screen(5),
          wait(40),
          key(VK_ESCAPE)}},
        {"fast_speed",
         "the speed set to fast in the control panel as play begins: a good player through "
         "the pace's rise to its floor of 7 ms, then a weaker one to the game's end; F2 from "
         "the table, the next game keeps the fast pace; the window closed during play",
         2222,
         Table::None,
         {until_play(), panel({up(SPEED)}), screen(3), pilot(ACE), wait(4000), screen(), wait(6000),
          screen(), pilot(WEAK), until_game_over(), screen(5), wait(40), key(VK_F2), until_play(),
          pilot(FAIR), wait(900), screen(), close_window()}},
    };
}

// ---- The player ----

struct Player {
    const Recording* recording = nullptr;
    size_t step = 0;
    uint32_t wait_until = 0;
    bool waiting = false;
    bool done = false;
    Skill skill = HANDS_OFF;
    bool button_down = false;
    uint32_t motion_pass = 0;
    int32_t motion_dx = 0, motion_dy = 0;
    uint32_t luck = 1;  // the player's own dice, apart from the game's
    std::map<uint32_t, std::vector<ScriptItem>> pending;
    std::vector<ScriptItem> played;
    std::vector<uint32_t> screens;
    int32_t first_final_score = -1;
    uint32_t last_pass = 0;
    uint32_t end_pass = 0;  // the pass in which the last step ran: its state is the final one
};
Player player;

int roll() {
    player.luck = player.luck * 1103515245u + 12345u;
    return int(player.luck >> 16) % 100;
}

void queue(uint32_t pass, ScriptItem item) {
    item.pass = pass;
    player.pending[pass].push_back(item);
}

void queue_key(uint32_t pass, int vk, int held) {
    ScriptItem item;
    item.kind = ScriptItemKind::Key;
    item.vk = vk;
    item.down = true;
    queue(pass, item);
    item.down = false;
    queue(pass + held, item);
}

void queue_button(uint32_t pass, bool down) {
    ScriptItem item;
    item.kind = ScriptItemKind::Button;
    item.down = down;
    queue(pass, item);
    player.button_down = down;
}

bool game_over_shown() {
    return game_state == STATE_PLAY && paused && missed_count >= missed_limit;
}

// Runs the steps that are due; false while the current one waits.
bool run_step(const Step& s, uint32_t pass) {
    uint32_t next = pass + 1;
    switch (s.op) {
        case Op::Wait:
            if (!player.waiting) player.waiting = true, player.wait_until = pass + s.a;
            if (pass < player.wait_until) return false;
            player.waiting = false;
            return true;
        case Op::UntilPlay:
            return game_state == STATE_PLAY && !paused;
        case Op::UntilGameOver:
            if (!game_over_shown()) return false;
            if (player.first_final_score < 0) player.first_final_score = score;
            return true;
        case Op::UntilMissed:
            return game_state == STATE_PLAY && missed_count >= s.a;
        case Op::Key:
            queue_key(next, s.a, s.b);
            return true;
        case Op::Button:
            queue_button(next, true);
            queue_button(next + 1, false);
            return true;
        case Op::Pilot:
            player.skill = s.skill;
            return true;
        case Op::Panel: {
            queue_key(next, VK_F3, s.b);
            for (const PanelItem& p : s.panel) {
                ScriptItem item;
                item.kind = ScriptItemKind::Panel;
                item.panel = p;
                queue(next, item);
            }
            return true;
        }
        case Op::Close: {
            ScriptItem item;
            item.kind = ScriptItemKind::Close;
            queue(next, item);
            return true;
        }
        case Op::Screen:
            player.screens.push_back(pass + s.a);
            return true;
    }
    return true;
}

// The lowest falling bug still above the rocket, or -1.
int lowest_bug(int32_t rocket_top) {
    int best = -1;
    for (int i = 0; i < bug_count; ++i) {
        const BOB& b = bug_bobs[i];
        if (b.state != BUG_FALLING || b.y <= -BUG_HEIGHT || b.y + 4 >= rocket_top) continue;
        if (best < 0 || b.y > bug_bobs[best].y) best = i;
    }
    return best;
}

// One pass of the player's hand: the motion and the button for the next pass. The game's state
// is that of the end of the pass before this one, so the motion already sent for this pass is
// counted in.
void steer(uint32_t pass) {
    bool playing = game_state == STATE_PLAY && !paused && help_shown == 0;
    if (player.skill.speed == 0 || !playing) {
        if (player.button_down) queue_button(pass + 1, false);
        return;
    }
    bool sent = player.motion_pass == pass;
    int32_t x = std::clamp(rocket_x + 2 * (sent ? player.motion_dx : 0), 0, ROCKET_MAX_X);
    int32_t y =
        std::clamp(rocket_y + 2 * (sent ? player.motion_dy : 0), ROCKET_MIN_Y, ROCKET_MAX_Y);
    int target = lowest_bug(y);
    int32_t want = target >= 0 ? bug_bobs[target].x + BUG_WIDTH / 2 - ROCKET_NOSE : x;
    int speed = player.skill.speed;
    int32_t dx = std::clamp((want - x) / 2, -speed, speed);
    int32_t dy = std::clamp((ROCKET_MAX_Y - y) / 2, 0, speed);
    if (dx || dy) {
        ScriptItem item;
        item.kind = ScriptItemKind::Mouse;
        item.dx = dx, item.dy = dy;
        queue(pass + 1, item);
        player.motion_pass = pass + 1, player.motion_dx = dx, player.motion_dy = dy;
    }
    int32_t nose = std::clamp(x + 2 * dx, 0, ROCKET_MAX_X) + ROCKET_NOSE;
    if (player.button_down) {
        queue_button(pass + 1, false);
    } else if (target >= 0 && nose >= bug_bobs[target].x + 2 &&
               nose <= bug_bobs[target].x + BUG_WIDTH - 3 && roll() < player.skill.fire_percent) {
        queue_button(pass + 1, true);
    }
}

constexpr uint32_t MOST_PASSES = 400000;

void player_pass(uint32_t pass) {
    player.last_pass = pass;
    const std::vector<Step>& steps = player.recording->steps;
    while (!player.done && player.step < steps.size() && run_step(steps[player.step], pass))
        ++player.step;
    if (!player.done && player.step == steps.size()) player.done = true, player.end_pass = pass;
    if (!player.done) steer(pass);
    if (pass >= MOST_PASSES && !player.done) {
        fprintf(stderr, "make_replays: %s is still at step %zu after %u passes\n",
                player.recording->name, player.step, pass);
        exit(1);
    }
    auto due = player.pending.find(pass + 1);
    if (due == player.pending.end()) return;
    for (const ScriptItem& item : due->second) {
        script_play_append(item);
        player.played.push_back(item);
    }
    player.pending.erase(due);
}

std::string script_text(const Recording& rec, uint32_t game_ms) {
    Script script;
    script.has_seed = true;
    script.seed = rec.seed;
    script.items = player.played;
    std::string body = script_format(script);
    size_t first_line = body.find('\n') + 1;
    char time[80];
    snprintf(time, sizeof time, "# %u passes, %u min %02u s of game time\n", player.end_pass + 2,
             game_ms / 60000, game_ms / 1000 % 60);
    std::string head = "# " + std::string(rec.name) + ": " + rec.covers + "\n" + time +
                       "# Made by tools/make_replays.cpp (docs/replays.md); do not edit by hand.\n";
    return body.insert(first_line, head);
}

// Plays the recording in this process (run in a child of its own: the game's state is global)
// in the current directory; writes the script and a line "SCREENS... / FINAL_SCORE" for the
// parent.
int generate(const Recording& rec, const fs::path& script_path) {
    replay::write_file("start.gxi", "gnatrix-input 1\nseed " + std::to_string(rec.seed) + "\n");
    Options options;
    options.headless = true;
    options.play_file = "start.gxi";
    player = Player();
    player.recording = &rec;
    player.luck = rec.seed;
    if (!platform_init(options)) {
        fprintf(stderr, "make_replays: %s\n", platform_error());
        return 1;
    }
    platform_add_pass_hook(player_pass);
    WinMain();
    bool ok = input_platform_finish();
    uint32_t game_ms = clock_ticks();
    platform_shutdown();
    if (!ok || player.step < rec.steps.size()) {
        fprintf(stderr, "make_replays: %s ended at step %zu: %s\n", rec.name, player.step,
                platform_error());
        return 1;
    }
    replay::write_file(script_path, script_text(rec, game_ms));
    std::string facts;
    for (uint32_t pass : player.screens) facts += std::to_string(pass) + " ";
    facts += "/ " + std::to_string(player.first_final_score) + " " +
             std::to_string(player.end_pass) + " " + std::to_string(game_ms) + "\n";
    replay::write_file("facts.txt", facts);
    return 0;
}

// ---- Expected results ----

// The stored form of a table of ten named scores; the other slots and the ends of the names are
// zero.
std::string score_table(const std::vector<int32_t>& scores) {
    const char* names[] = {"ADA", "BOB", "CY", "DOT", "EVE", "FLO", "GUS", "HAL", "IDA", "JO"};
    ScoreTable table{};
    for (size_t slot = 0; slot < scores.size(); ++slot) {
        table.scores[slot] = scores[slot];
        memcpy(table.names[slot], names[slot], strlen(names[slot]));
    }
    uint8_t bytes[SCORE_FILE_BYTES];
    score_table_encode(table, bytes);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Ten scores around the final one, best first.
std::string prepared_table(Table table, int32_t final_score) {
    std::vector<int32_t> scores;
    int32_t top = final_score + (table == Table::TenthEqual ? 900 : 300);
    for (int rank = 0; rank < 10; ++rank) {
        int32_t s = top - 100 * rank;
        if (table == Table::Enters && s <= final_score) s -= 50;  // none equal to it
        scores.push_back(std::max(s, 0));
    }
    return table == Table::None ? "" : score_table(scores);
}

struct Paths {
    fs::path replays = fs::path(GNATRIX_SOURCE_DIR) / "tests" / "replays";
    fs::path work = fs::temp_directory_path() / ("make_replays_" + std::to_string(getpid()));
};

bool make_one(const Recording& rec, const Paths& paths) {
    fs::path dir = paths.work / rec.name, script = paths.replays / (std::string(rec.name) + ".gxi");
    fs::remove_all(dir);
    fs::create_directories(dir);
    fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(1);
        _exit(generate(rec, script));
    }
    int raw = 0;
    if (child < 0 || waitpid(child, &raw, 0) != child || !WIFEXITED(raw) || WEXITSTATUS(raw))
        return false;
    std::istringstream facts(replay::read_file(dir / "facts.txt"));
    replay::Result expected;
    for (std::string word; facts >> word && word != "/";)
        expected.screens.push_back({uint32_t(std::stoul(word)), 0});
    int32_t final_score;
    uint32_t last_pass, game_ms;
    facts >> final_score >> last_pass >> game_ms;
    expected.state_pass = last_pass;  // the close or the Esc comes in the pass after it
    if (expected.screens.empty() || expected.screens.back().first != last_pass)
        expected.screens.push_back({last_pass, 0});
    expected.scores_before = prepared_table(rec.table, final_score);
    std::string error;
    if (!replay::run(GNATRIX_EXE, script, dir / "run", &expected, &error) || expected.status) {
        fprintf(stderr, "make_replays: %s: the game failed (%d): %s%s\n", rec.name, expected.status,
                error.c_str(), expected.messages.c_str());
        return false;
    }
    replay::write_file(paths.replays / (std::string(rec.name) + ".expected"),
                       replay::format_expected(expected));
    replay::write_file(paths.replays / (std::string(rec.name) + ".state"), expected.state);
    printf("%-20s %6u passes %3u min %02u s  final score %d\n", rec.name, last_pass + 2,
           game_ms / 60000, game_ms / 1000 % 60, final_score);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    panel_register_script_names();
    if (argc < 2 || strcmp(argv[1], "--update") != 0) {
        fprintf(stderr, "usage: make_replays --update [NAME...]\n");
        return 2;
    }
    Paths paths;
    fs::create_directories(paths.replays);
    bool ok = true;
    for (const Recording& rec : recordings()) {
        bool chosen = argc == 2;
        for (int i = 2; i < argc; ++i) chosen |= strcmp(argv[i], rec.name) == 0;
        if (chosen && !make_one(rec, paths)) {
            fprintf(stderr, "make_replays: %s failed\n", rec.name);
            ok = false;
        }
    }
    fs::remove_all(paths.work);
    return ok ? 0 : 1;
}
