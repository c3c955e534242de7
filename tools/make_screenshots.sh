#!/usr/bin/env bash
# Makes the README's screenshots in docs/screenshots again from the built game:
#   tools/make_screenshots.sh [build/gnatrix]
# The title, play, help and high-score pictures are screen dumps of headless runs of the
# built-in demo (resources/demo.gxi) and of scripts cut from it, so they come out the same every
# time. The control panel is drawn over the window, not into the game's screen, so its picture
# is taken from a live window under Xvfb (Debian packages xvfb, xdotool and imagemagick).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=$(realpath "${1:-$root/build/gnatrix}")
out=$root/docs/screenshots
demo=$root/resources/demo.gxi
for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "make_screenshots: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the runs keep their scores.bin here

TITLE_PASS=100    # the title and its demonstration
PLAY_PASS=137     # a shot through the first swarm, hit gnats shrinking
HELP_PASS=300     # F1 goes down here ...
HELP_SHOWN=330    # ... and the first help page is complete here
SCORES_PASS=3180  # the table after the demo's game, just before its close

# Shorter games first (the demo without its shots after a pass), so that the table the demo
# ends with has more than its own row. The demo is replayed with --play: run as the built-in
# demo it would play against an empty table of its own.
for last in 300 700 1100 1400 1700 2000; do
    awk -v last="$last" '!($2 == "button" && $3 == "down" && substr($1, 2) + 0 > last)' \
        "$demo" >cut.gxi
    "$game" --headless --play cut.gxi
done
"$game" --headless --play "$demo" --dump-screen "$TITLE_PASS:$out/title.png" \
    --dump-screen "$PLAY_PASS:$out/play.png" --dump-screen "$SCORES_PASS:$out/scores.png" >/dev/null

# The demo up to HELP_PASS, then F1.
{
    awk -v last="$HELP_PASS" '!/^@/ || substr($1, 2) + 0 < last' "$demo"
    echo "@$HELP_PASS key f1 down"
    echo "@$((HELP_PASS + 2)) key f1 up"
    echo "@$((HELP_SHOWN + 1)) close"
} >help.gxi
"$game" --headless --play help.gxi --dump-screen "$HELP_SHOWN:$out/help.png"

# The control panel, live: a 640x480 X screen shows exactly the window at scale 1. F2 skips
# the title; the rocket goes down and sweeps the screen firing, then F3. Enter is the panel's
# OK, Esc then ends the game.
cat >panel.sh <<END
SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="\$PWD/config" "$game" --window --scale 1 --seed 2026 &
game=\$!
xdotool search --sync --name '^Gnatrix' >/dev/null
sleep 1
xdotool mousemove 320 240 key F2
sleep 1.5
xdotool mousemove_relative 0 400 mousemove_relative -- -400 0
for shot in \$(seq 24); do xdotool mousemove_relative 25 0 click 1; sleep 0.25; done
xdotool key F3
sleep 1
import -window root "$out/panel.png"
xdotool key Return
sleep 0.5
xdotool key Escape
wait \$game
END
timeout 60 xvfb-run -a -s "-screen 0 640x480x24" bash panel.sh
echo "make_screenshots: $(cd "$out" && echo *.png) in $out"
