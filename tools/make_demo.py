#!/usr/bin/env python3
"""Plays a game of Gnatrix headless and records it as the shipped demo.

A simple pilot: it reads the game's state dumps, puts the rocket at the bottom, and shoots the
lowest bugs it can reach, a few shots per run of the game, until the game is over. The script it
builds is then replayed once with --record, so the demo is an ordinary recording.

    tools/make_demo.py build/gnatrix resources/demo.gxi
"""
import os
import subprocess
import sys
import tempfile

SEED = 2026
SHOTS_PER_RUN = 8
PASSES_PER_SHOT = 3  # aim, fire, release
ROCKET_NOSE = 10
BUG_WIDTH = 32
GIVE_UP_PASS = 2400  # this pilot hardly misses: then it lets the bugs through, to end the demo
AFTER_GAME_OVER = 120  # passes of the high-score table before the close


def read_dump(path):
    state, bugs = {}, []
    for line in open(path):
        words = line.split()
        if words[0] == "bug":
            bugs.append(tuple(int(w) for w in words[1:5]))  # index, x, y, state
        elif len(words) == 2:
            try:
                state[words[0]] = int(float(words[1]))
            except ValueError:
                pass
    return state, bugs


def run(game, script_lines, pass_, work):
    script = os.path.join(work, "pilot.gxi")
    with open(script, "w") as f:
        f.write("gnatrix-input 1\nseed %d\n" % SEED + "".join(l + "\n" for l in script_lines))
    before, now = os.path.join(work, "a.txt"), os.path.join(work, "b.txt")
    subprocess.run([game, "--headless", "--play", script, "--frames", str(pass_ + 1),
                    "--dump-state", "%d:%s" % (pass_ - 1, before),
                    "--dump-state", "%d:%s" % (pass_, now)], check=True, cwd=work)
    return read_dump(before), read_dump(now)


def plan_shots(state, bugs_before, bugs, pass_):
    """Script lines for the next shots, aimed where the bugs will be when each ray is fired."""
    rocket_x, rocket_y = state["rocket_x"], state["rocket_y"]
    speeds = {}
    for (i, _, y0, _), (_, _, y1, _) in zip(bugs_before, bugs):
        if 0 <= y1 - y0 <= 30:
            speeds[i] = y1 - y0
    default_speed = max(speeds.values(), default=1)
    live = [b for b in bugs[: state["bug_count"]] if b[3] == 1]
    lines, taken = [], set()
    for k in range(SHOTS_PER_RUN):
        fire = pass_ + 2 + PASSES_PER_SHOT * k

        def y_at_fire(bug):
            return bug[2] + speeds.get(bug[0], default_speed) * (fire - 1 - pass_)

        reachable = [b for b in live if b[0] not in taken and -15 < y_at_fire(b) < rocket_y]
        if not reachable:
            break
        target = max(reachable, key=y_at_fire)
        taken.add(target[0])
        dx = (target[1] + BUG_WIDTH // 2 - ROCKET_NOSE - rocket_x) // 2
        rocket_x = min(max(rocket_x + 2 * dx, 0), 624)
        lines += ["@%d mouse %d 0" % (fire - 1, dx), "@%d button down" % fire,
                  "@%d button up" % (fire + 1)]
    return lines


def main():
    game, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as work:
        lines, pass_ = [], 1
        while True:
            (_, bugs_before), (state, bugs) = run(game, lines, pass_, work)
            if state["game_state"] != 4:
                pass_ += 20
                continue
            if len(lines) == 0:
                lines.append("@%d mouse 0 1000" % (pass_ + 1))  # the rocket to the bottom
                pass_ += 1
                continue
            if state["missed_count"] >= state["missed_limit"]:
                break
            if pass_ > GIVE_UP_PASS:
                pass_ += 10
                continue
            shots = plan_shots(state, bugs_before, bugs, pass_)
            lines += shots
            pass_ += max(len(shots), 3) // 3 * PASSES_PER_SHOT
            print("pass %d score %d missed %d" % (pass_, state["score"], state["missed_count"]),
                  file=sys.stderr)
        end = pass_ + AFTER_GAME_OVER
        lines.append("@%d close" % end)
        pilot = os.path.join(work, "pilot.gxi")
        with open(pilot, "w") as f:
            f.write("gnatrix-input 1\nseed %d\n" % SEED + "".join(l + "\n" for l in lines))
        subprocess.run([game, "--headless", "--play", pilot, "--record", out], check=True,
                       cwd=work)


if __name__ == "__main__":
    main()
