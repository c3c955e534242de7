// The call-backs the game hands to the sprite library and the platform at start-up.
#include "game/hooks.h"

#include "game/bugs.h"
#include "game/dump.h"
#include "gfx/bob.h"
#include "platform/platform.h"
#include "screens/panel.h"
#include "screens/score.h"

void game_register_hooks() {
    bob_missed_handler = game_bug_missed;
    platform_set_state_dumper(game_dump_state);
    platform_set_summary_reader(game_summary);
    panel_register_script_names();
    // A demo's score never lands in the player's table.
    score_keep_private(platform_demo_run());
}
