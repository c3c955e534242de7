#!/usr/bin/env python3
"""Whole-program figures of the game executable: start-up to the first present and shut-down
after the fade in a window, CPU during paced play in a 1x window, peak resident memory, and the
wall time of a whole scripted game headless.

    xvfb-run -a -s "-screen 0 1600x1200x24" python3 bench/game_figures.py build

The window figures need a display (Xvfb above); the headless ones run anywhere. The game writes
the instants of its first present and of the close request to stderr when GNATRIX_TRACE is set
(CLOCK_MONOTONIC, the clock time.monotonic_ns() reads).
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time
import json

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
GAME = os.path.abspath(os.path.join(BUILD, "gnatrix"))
BENCH = os.path.abspath(os.path.join(BUILD, "bench", "gnatrix_bench"))
# The game writes its high-score file into the current directory: not the player's.
WORK_DIR = tempfile.mkdtemp(prefix="gnatrix_figures_")
RUNS = 9


def write_script(lines):
    f = tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False)
    f.write("gnatrix-input 1\nseed 4711\n" + "".join(line + "\n" for line in lines))
    f.close()
    return f.name


def run(args, env_extra=None, sample_at=None):
    """Runs the game; returns (wall s, child rusage, trace dict, cpu samples at the given
    seconds after launch as (seconds, cpu seconds))."""
    env = dict(os.environ, GNATRIX_TRACE="1", **(env_extra or {}))
    start = time.monotonic_ns()
    child = subprocess.Popen([GAME] + args, env=env, stderr=subprocess.PIPE, text=True,
                             cwd=WORK_DIR)
    samples = []
    for at in sample_at or []:
        while (time.monotonic_ns() - start) / 1e9 < at and child.poll() is None:
            time.sleep(0.01)
        samples.append(((time.monotonic_ns() - start) / 1e9, cpu_of(child.pid)))
    _, status, usage = os.wait4(child.pid, 0)
    end = time.monotonic_ns()
    child.returncode = os.waitstatus_to_exitcode(status)
    trace = {}
    for line in child.stderr.read().splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[0] == "gnatrix-trace":
            trace[parts[1]] = int(parts[2])
            trace[parts[1] + "-cpu"] = int(parts[3])
        elif line and "ALSA lib" not in line:
            print("  game:", line, file=sys.stderr)
    trace["start"], trace["end"] = start, end
    return (end - start) / 1e9, usage, trace, samples


def cpu_of(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except OSError:
        return None


def cpu_seconds(usage):
    return usage.ru_utime + usage.ru_stime


def median(values):
    return statistics.median(values)


def headless_game():
    # Nobody plays: ten bugs pass the bottom, the game ends, the program is asked to close.
    script = write_script(["@520 close"])
    walls, cpus = [], []
    for _ in range(RUNS):
        wall, usage, _, _ = run(["--headless", "--play", script])
        walls.append(wall)
        cpus.append(cpu_seconds(usage))
    os.unlink(script)
    print(f"headless game of ten misses (title, then the game to its end: 520 passes): wall median {median(walls)*1e3:.1f} ms "
          f"(min {min(walls)*1e3:.1f}, max {max(walls)*1e3:.1f}), CPU median "
          f"{median(cpus)*1e3:.1f} ms")


def start_and_stop(env_extra=None, label="default drivers"):
    firsts, first_cpus, stops, stop_cpus, rss = [], [], [], [], []
    for _ in range(RUNS):
        # The X server spends 20 to 30 ms tearing down the window of the run before; a player
        # starts the game on a settled desktop.
        time.sleep(0.5)
        _, usage, trace, _ = run(["--window", "--scale", "1", "--frames", "30"], env_extra)
        if "first-present" in trace:
            firsts.append((trace["first-present"] - trace["start"]) / 1e6)
            first_cpus.append(trace["first-present-cpu"] / 1e6)
        if "close-request" in trace:
            stops.append((trace["end"] - trace["close-request"]) / 1e6)
            stop_cpus.append((cpu_seconds(usage) * 1e9 - trace["close-request-cpu"]) / 1e6)
        rss.append(usage.ru_maxrss / 1024)
    print(f"[{label}] launch to first present (1x window): median {median(firsts):.1f} ms "
          f"(min {min(firsts):.1f}, max {max(firsts):.1f}); CPU until then median "
          f"{median(first_cpus):.1f} ms")
    print(f"[{label}] close request to process exit, fade of 80 x 12 ms included: median "
          f"{median(stops):.1f} ms (min {min(stops):.1f}, max {max(stops):.1f}); CPU median "
          f"{median(stop_cpus):.1f} ms")
    print(f"[{label}] peak resident memory, window: {max(rss):.1f} MiB")


def paced_play(seconds=20):
    # Title, then a game in which the rocket sweeps and fires; closed after about `seconds`.
    passes = int(seconds * 1000 / 35)
    lines = []
    for p in range(1, passes):
        lines.append(f"@{p} mouse {-5 if (p // 60) % 2 else 5} 0")
        if p % 10 == 0:
            lines.append(f"@{p} button down")
        if p % 10 == 1:
            lines.append(f"@{p} button up")
    lines.append(f"@{passes} close")
    script = write_script(lines)
    wall, usage, _, samples = run(["--window", "--scale", "1", "--play", script],
                                  sample_at=[5, seconds - 3])
    os.unlink(script)
    (t0, c0), (t1, c1) = samples
    print(f"paced play, 1x window, {wall:.1f} s: whole process {100*cpu_seconds(usage)/wall:.1f}% "
          f"of a core; from {t0:.0f} s to {t1:.0f} s: {100*(c1-c0)/(t1-t0):.1f}%; "
          f"peak resident {usage.ru_maxrss/1024:.1f} MiB")
    # The reference in the same run: the original busy-wait pacing the same 35 ms frames.
    out = subprocess.run([BENCH, "--benchmark_filter=PaceBusyWaitSdlTicks",
                          "--benchmark_format=json"], capture_output=True, text=True).stdout
    counters = json.loads(out)["benchmarks"][0]
    print(f"reference, busy-wait on SDL's ticks pacing 35 ms frames: {counters['cpu_pct']:.1f}% "
          f"of a core")


if __name__ == "__main__":
    print(f"load average {os.getloadavg()}")
    headless_game()
    if os.environ.get("DISPLAY"):
        start_and_stop()
        start_and_stop({"SDL_AUDIODRIVER": "dummy"}, "no audio device probed")
        paced_play()
    print(f"load average {os.getloadavg()}")
