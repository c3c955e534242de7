#!/usr/bin/python3
"""The game in a real window on an X server of our own (Xvfb), seen and driven from outside
through the server itself: its pixels read back with GetImage, its input sent with XTest.

  live_test.py pixels GAME                 what the window shows is the screen dump, exactly
  live_test.py storm GAME SECONDS [SEED]   random real input; then the recording replays
  live_test.py pacing GAME SECONDS         intervals between the frames shown, paced play at 1x
  live_test.py background GAME SECONDS     the focus taken for SECONDS: the game holds still

Every run starts its own Xvfb (-displayfd picks a free display), so input goes only there and
tests may run side by side. Needs the Debian packages xvfb and python3-xlib.
"""
import os
import random
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from Xlib import X, XK, display, error
from Xlib.ext import xtest
from Xlib.protocol import event

TITLE = "Gnatrix 1.1"
W, H = 640, 480


def fail(message):
    print("live_test: FAILED: " + message, flush=True)
    sys.exit(1)


def wait_for(what, condition, seconds, why=lambda: ""):
    """Polls condition until it returns something true; fails after `seconds`, saying why."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            fail("timed out waiting for " + what + " " + why())
        time.sleep(0.05)


class Server:
    """An Xvfb of our own, and a connection to it."""

    started = 0

    def __init__(self, width, height):
        # A display number of our own, far from the low ones that other servers probe: a
        # server that probes a number in use can remove the socket file of the one there.
        Server.started += 1
        first = 100 + (os.getpid() * 7 + Server.started * 101) % 800
        for number in range(first, first + 100):
            if not os.path.exists(f"/tmp/.X{number}-lock") and self.start(number, width, height):
                break
        else:
            fail("Xvfb did not start")
        self.name = f":{number}"
        self.refused = None
        self.d = wait_for("a connection to Xvfb " + self.name, self.connect, 20,
                          lambda: f"{self.refused} (Xvfb: {self.proc.poll()} {self.said()})")
        self.root = self.d.screen().root
        self.size = (width, height)
        if not self.d.has_extension("XTEST"):
            fail("the X server has no XTEST")

    def start(self, number, width, height):
        """Starts Xvfb on that display; False when it cannot have it."""
        self.log = tempfile.TemporaryFile("w+")
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", f":{number}", "-displayfd", str(write_end), "-screen", "0",
             f"{width}x{height}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self.log)
        os.close(write_end)
        # Xvfb writes the number, then a line end: closing before that ends the server.
        said, end = b"", time.monotonic() + 30
        while not said.endswith(b"\n") and time.monotonic() < end:
            ready, _, _ = select.select([read_end], [], [], 1)
            part = os.read(read_end, 64) if ready else b""
            if ready and not part:
                break
            said += part
        os.close(read_end)
        said = said.decode().strip()
        if said != str(number):
            self.proc.kill()
            self.proc.wait()
            return False
        return True

    def said(self):
        self.log.seek(0)
        return self.log.read()[-2000:]

    def connect(self):
        try:
            return display.Display(self.name)
        except (error.DisplayError, error.ConnectionClosedError, OSError) as e:
            self.refused = e
            return None  # listening on the file socket comes a moment later on a busy machine

    def close(self):
        self.d.close()
        self.proc.terminate()
        self.proc.wait()

    def game_window(self):
        """The game's top-level window once it is mapped, else None."""
        try:
            for w in self.root.query_tree().children:
                name = w.get_wm_name()
                if isinstance(name, bytes):
                    name = name.decode("latin-1")
                if name == TITLE and w.get_attributes().map_state == X.IsViewable:
                    return w
        except error.XError:
            pass  # a window went away while we looked
        return None

    def geometry(self, window):
        g = window.get_geometry()
        at = window.translate_coords(self.root, 0, 0)
        return -at.x, -at.y, g.width, g.height

    def capture(self, x, y, w, h):
        """The pixels of that part of the screen as rows of B, G, R, 0."""
        data = bytearray(self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data)
        data[3::4] = bytes(w * h)
        return bytes(data)

    def key(self, *names, hold=0.0):
        codes = [self.d.keysym_to_keycode(XK.string_to_keysym(n)) for n in names]
        for code in codes:
            xtest.fake_input(self.d, X.KeyPress, code)
        self.d.sync()
        if hold:
            time.sleep(hold)
        for code in reversed(codes):
            xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()

    def move(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()

    def click(self, button=1, hold=0.0):
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()
        if hold:
            time.sleep(hold)
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def ask_to_close(self, window):
        """What the window manager sends when the player clicks the close box."""
        protocols = self.d.intern_atom("WM_PROTOCOLS")
        delete = self.d.intern_atom("WM_DELETE_WINDOW")
        message = event.ClientMessage(window=window, client_type=protocols,
                                      data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.d.sync()


def start_game(server, game, args, workdir, env_extra=None, stderr_path=None):
    # A settings folder of its own for each game: nothing of the player's is read or written,
    # and what one game changes (Alt+Enter, a resize) does not follow into the next.
    env = dict(os.environ, DISPLAY=server.name, SDL_AUDIODRIVER="dummy",
               XDG_CONFIG_HOME=tempfile.mkdtemp(prefix="config-", dir=workdir),
               **(env_extra or {}))
    env.pop("SDL_VIDEODRIVER", None)
    err = open(stderr_path or os.path.join(workdir, "game.err"), "w")
    return subprocess.Popen([game] + args, cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=err)


def finish_game(server, proc, seconds=60):
    """Asks the window to close, as its close box does; the exit status."""
    window = server.game_window()
    if window is not None:
        server.ask_to_close(window)
    try:
        return proc.wait(seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        fail("the game did not end after its window was asked to close")


# ---- Pixels ----------------------------------------------------------------------------------


def read_dump(path):
    """An 8-bit BMP screen dump: (rows top-down of 640 indices, the palette as 256 B, G, R)."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    palette = [data[54 + 4 * i:54 + 4 * i + 3] for i in range(256)]
    rows = [data[offset + (H - 1 - y) * W:offset + (H - y) * W] for y in range(H)]
    return rows, palette


def channel_tables(palette):
    return [bytes(palette[i][c] for i in range(256)) for c in range(3)]


def scaled_row(row, tables, n):
    """One screen row through the palette, each pixel n times: B, G, R, 0 per pixel."""
    out = bytearray(W * n * 4)
    for c in range(3):
        channel = row.translate(tables[c])
        for k in range(n):
            out[4 * k + c::4 * n] = channel
    return bytes(out)


def expected_integer(rows, palette, n):
    tables = channel_tables(palette)
    return b"".join(scaled_row(row, tables, n) * n for row in rows)


def nearest(src, dst):
    """Which source pixel each of dst pixels shows, nearest neighbour as SDL's 16.16 stepping
    does it: the sample for pixel i is at (i + 1/2) * src / dst."""
    step = (src << 16) // dst
    return [(step // 2 + i * step) >> 16 for i in range(dst)]


def expected_fit(rows, palette, screen_w, screen_h):
    """The screen scaled into the largest 4:3 box of the screen, black bars around it."""
    box_h = screen_h
    box_w = box_h * 4 // 3
    left = (screen_w - box_w) // 2
    xs, ys = nearest(W, box_w), nearest(H, box_h)
    tables = channel_tables(palette)
    bar = bytes(4 * left)
    made = {}
    out = []
    for y in ys:
        if y not in made:
            pixels = scaled_row(rows[y], tables, 1)
            made[y] = bar + b"".join(pixels[4 * x:4 * x + 4] for x in xs) + bar
        out.append(made[y])
    return b"".join(out)


def differences(shown, expected, width):
    """How many pixels differ, and the first one's position."""
    if shown == expected:
        return 0, None
    if len(shown) != len(expected):
        return -1, None
    count, first = 0, None
    for i in range(0, len(shown), 4):
        if shown[i:i + 4] != expected[i:i + 4]:
            count += 1
            if first is None:
                first = ((i // 4) % width, (i // 4) // width)
    return count, first


def write_png(path, pixels, width, height):
    """Rows of B, G, R, 0 as an RGB PNG, for a person to look at."""
    raw = bytearray()
    for y in range(height):
        row = pixels[y * width * 4:(y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
        raw += b"\0" + rgb

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2,
                                                                   0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))


# The script: F2 skips the title, the rocket moves and fires, Space pauses at pass 44 and the
# game holds still from there. The panel variant then opens the control panel (two steps and
# OK, which resumes play) and pauses again.
HELD_PASS = 90
SCRIPT = """gnatrix-input 1
seed 4711
@3 key f2 down
@4 key f2 up
@30 mouse 180 140
@40 button down
@41 button up
@44 key space down
@45 key space up
"""
PANEL = """@50 key f3 down
@50 panel volume down
@50 panel speed down
@50 panel ok
@51 key f3 up
@53 key space down
@54 key space up
"""


def shown_matches(server, region, expected, label, workdir, seconds=20):
    """Reads the screen until it shows `expected` (a present may still be on its way); fails
    with a picture of what it showed instead."""
    end = time.monotonic() + seconds
    while True:
        x, y, w, h = region()
        shown = server.capture(x, y, w, h)
        count, first = differences(shown, expected, w)
        if count == 0:
            print(f"  {label}: {w}x{h} at {x},{y}: identical", flush=True)
            return shown, (w, h)
        if time.monotonic() > end:
            picture = os.path.join(workdir, label.replace(" ", "_") + ".png")
            write_png(picture, shown, w, h)
            fail(f"{label}: {w}x{h} at {x},{y}: {count} pixels differ, the first at {first} "
                 f"(what was shown: {picture})")
        time.sleep(0.25)


def pixel_case(server, game, workdir, mode, panel, keep):
    """One run: the held picture, then (without the panel) again after Alt+Enter twice."""
    label = mode + (" after the panel" if panel else "")
    script = os.path.join(workdir, "held.gxi")
    with open(script, "w") as f:
        f.write(SCRIPT + (PANEL if panel else ""))
    dump = os.path.join(workdir, "held.bmp")
    if os.path.exists(dump):
        os.remove(dump)
    args = ["--play", script, "--dump-screen", f"{HELD_PASS}:{dump}"]
    if mode == "fit":
        args += ["--scale-mode", "fit"]
        n = 0
    else:
        n = int(mode[0])
        args += ["--window", "--scale", str(n)]
    proc = start_game(server, game, args, workdir)
    wait_for("the dump of pass %d" % HELD_PASS,
             lambda: os.path.exists(dump) and os.path.getsize(dump) == 1078 + W * H, 60)
    rows, palette = read_dump(dump)
    window = wait_for("the game's window", server.game_window, 10)
    if n:
        expected = expected_integer(rows, palette, n)
        region = lambda: server.geometry(window)
    else:
        expected = expected_fit(rows, palette, *server.size)
        region = lambda: (0, 0) + server.size
    shown, size = shown_matches(server, region, expected, label, workdir)
    if keep:
        write_png(os.path.join(keep, label.replace(" ", "_") + ".png"), shown, *size)
    if not panel:
        # Alt+Enter there and back: the window is replaced by full screen and comes back.
        # (A window as large as the screen looks the same full screen: then give it time.)
        first = server.geometry(window)
        same = first[2:] == server.size
        server.key("Alt_L", "Return")
        wait_for("the first Alt+Enter", lambda: same or server.geometry(window) != first, 10)
        time.sleep(1.5 if same else 0)
        server.key("Alt_L", "Return")
        wait_for("the second Alt+Enter", lambda: server.geometry(window)[2:] == first[2:], 10)
        time.sleep(1.5 if same else 0)
        shown_matches(server, region, expected, label + " after Alt+Enter twice", workdir)
    status = finish_game(server, proc)
    err = open(os.path.join(workdir, "game.err")).read()
    if status != 0 or err:
        fail(f"{label}: exit status {status}, stderr: {err}")


def pixels(game, keep=None):
    workdir = tempfile.mkdtemp(prefix="gnatrix-live-")
    # Three times 640x480 needs 1920x1440; full screen is asked for at 1920x1080.
    for screen, modes in (((1920, 1440), ("1x", "2x", "3x")), ((1920, 1080), ("fit",))):
        server = Server(*screen)
        try:
            print(f"X screen {screen[0]}x{screen[1]}:", flush=True)
            for mode in modes:
                for panel in (False, True):
                    pixel_case(server, game, workdir, mode, panel, keep)
        finally:
            server.close()
    shutil.rmtree(workdir)
    print("live_test: pixels: every picture identical", flush=True)


# ---- Trace -----------------------------------------------------------------------------------


def trace_events(text, name):
    """The instants (seconds) of one event of the game's trace (GNATRIX_TRACE)."""
    out = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[0] == "gnatrix-trace" and parts[1] == name:
            out.append(int(parts[2]) / 1e9)
    return out


def percentile(sorted_values, fraction):
    index = min(len(sorted_values) - 1, max(0, round(fraction * (len(sorted_values) - 1))))
    return sorted_values[index]


# ---- Storm -----------------------------------------------------------------------------------

# The control panel's scroll-bar arrows on the 640x480 screen: bugs, missed, speed, volume,
# each up and down.
PANEL_ARROWS = [(462, y) for y in (163, 174, 201, 212, 239, 250, 276, 287)]
# F1 comes only in the storm's last part: Esc is the only way out of help, and Esc comes only
# at the end (elsewhere it ends the game).
STORM_KEYS = ["F2", "F3", "space", "Up", "Down", "Left", "Right", "Print", "Return"]
HELP_PART = 0.15


class Storm:
    """Random input of every kind the game takes, through the X server, for a set time."""

    def __init__(self, server, window, seed, trace_path):
        self.s, self.window, self.rng = server, window, random.Random(seed)
        self.trace_path = trace_path
        self.counts = {}
        # Another client's window, to take the focus away from the game and give it back.
        root = server.root
        self.other = root.create_window(0, 0, 200, 150, 0, server.d.screen().root_depth,
                                        X.InputOutput, X.CopyFromParent,
                                        background_pixel=server.d.screen().white_pixel)
        self.other.set_wm_name("other")
        self.other.map()
        server.d.sync()

    def count(self, kind, n=1):
        self.counts[kind] = self.counts.get(kind, 0) + n

    def point(self):
        x, y, w, h = self.s.geometry(self.window)
        return x + self.rng.randrange(max(1, w)), y + self.rng.randrange(max(1, h))

    def passes(self):
        return len(trace_events(open(self.trace_path).read(), "pass"))

    def act(self):
        r, s = self.rng, self.s
        kind = r.choices(["key", "alt+enter", "motion", "click", "resize", "focus", "panel"],
                         [40, 2, 30, 15, 4, 3, 3])[0]
        if kind == "key":
            name = r.choice(STORM_KEYS + (["F1"] if self.help_allowed else []))
            s.key(name, hold=r.choice([0, 0.01, 0.05]))
            self.count("key " + name)
        elif kind == "alt+enter":
            s.key("Alt_L", "Return")
            self.count(kind)
        elif kind == "motion":
            for _ in range(r.randrange(1, 8)):
                if r.random() < 0.5:
                    s.move(*self.point())
                else:  # relative, as a mouse does; captured, the game sees it anyway
                    xtest.fake_input(s.d, X.MotionNotify, detail=1,
                                     x=r.randrange(-60, 61), y=r.randrange(-60, 61))
                    s.d.sync()
                self.count("motion")
        elif kind == "click":
            s.move(*self.point())
            s.click(hold=r.choice([0, 0.02]))
            self.count("click")
        elif kind == "resize":
            self.window.configure(width=r.randrange(320, 1600), height=r.randrange(240, 1000))
            s.d.sync()
            self.count("resize")
        elif kind == "focus":
            s.d.set_input_focus(self.other, X.RevertToParent, X.CurrentTime)
            s.d.sync()
            time.sleep(r.uniform(0.05, 0.5))
            s.d.set_input_focus(self.window, X.RevertToParent, X.CurrentTime)
            s.d.sync()
            self.count("focus taken and given back")
        else:
            # The control panel: F3, clicks on its scroll-bar arrows (each a step), Return (OK).
            s.key("F3", hold=0.05)
            time.sleep(r.uniform(0.2, 0.4))
            for _ in range(r.randrange(1, 7)):
                s.move(*self.on_screen(r.choice(PANEL_ARROWS)))
                s.click(hold=0.02)
                time.sleep(r.uniform(0.02, 0.1))
            s.key("Return")
            self.count("panel opened")

    def on_screen(self, point):
        """A point of the 640x480 screen where the window shows it (its letterbox)."""
        x, y, w, h = self.s.geometry(self.window)
        n = min(w // W, h // H)
        if n < 1 or (w, h) == self.s.size:  # full screen, or too small: the largest 4:3
            box_w, box_h = min(w, h * 4 // 3), min(h, w * 3 // 4)
        else:
            box_w, box_h = n * W, n * H
        left, top = x + (w - box_w) // 2, y + (h - box_h) // 2
        return left + point[0] * box_w // W, top + point[1] * box_h // H

    def run(self, seconds):
        end = time.monotonic() + seconds
        last_passes, last_change = 0, time.monotonic()
        while time.monotonic() < end:
            self.help_allowed = end - time.monotonic() < seconds * HELP_PART
            self.act()
            time.sleep(self.rng.uniform(0.005, 0.06))
            # A panel left open holds the game's passes (Return meant for it may have come
            # before it opened): the player would answer it.
            passes = self.passes()
            if passes != last_passes:
                last_passes, last_change = passes, time.monotonic()
            elif time.monotonic() - last_change > 0.5:
                self.s.key("Return")
                self.count("key Return (for a panel left open)")
                last_change = time.monotonic()


def storm(game, seconds, seed):
    print(f"live_test: storm of {seconds} s, seed {seed} "
          f"(again: live_test.py storm GAME {seconds} {seed})", flush=True)
    workdir = tempfile.mkdtemp(prefix="gnatrix-storm-")
    live, replay = os.path.join(workdir, "live"), os.path.join(workdir, "replay")
    os.makedirs(live)
    os.makedirs(replay)
    record = os.path.join(workdir, "session.gxi")
    err_path = os.path.join(workdir, "live.err")
    # SDL's X11 video starts D-Bus, whose library keeps a buffer to the end of the process
    # (libdbus's own, reported by LeakSanitizer from any window of the sanitizer build).
    suppressions = os.path.join(workdir, "lsan.supp")
    open(suppressions, "w").write("leak:libdbus-1.so\n")
    sanitizer = {"LSAN_OPTIONS": f"suppressions={suppressions}:print_suppressions=0"}
    server = Server(1920, 1080)
    try:
        proc = start_game(server, game, ["--window", "--scale", "1", "--seed", str(seed),
                                         "--record", record, "--dump-state",
                                         "end:" + os.path.join(workdir, "live_state.txt")],
                          live, dict(sanitizer, GNATRIX_TRACE="1", GNATRIX_CHECK_RELEASES="1"),
                          err_path)
        window = wait_for("the game's window", server.game_window, 60)
        driver = Storm(server, window, seed, err_path)
        started = time.monotonic()
        driver.run(seconds)
        stormed = time.monotonic() - started
        # The end: Return for a panel left open, then Esc until the game ends (the first may
        # only close help).
        server.key("Return")
        for _ in range(20):
            if proc.poll() is not None:
                break
            server.key("Escape", hold=0.05)
            driver.count("key Escape (the end)")
            time.sleep(1.0)
        if proc.poll() is None:
            fail("Esc did not end the game")
        status = proc.wait()
    finally:
        server.close()
    err = open(err_path).read()
    passes = trace_events(err, "pass")
    others = [l for l in err.splitlines()
              if not l.startswith("gnatrix-trace ") and "screenshot saved as" not in l]
    print("  input sent: " + ", ".join(f"{k} {v}" for k, v in sorted(driver.counts.items())))
    presents = trace_events(err, "present")
    gaps = [b - a for a, b in zip(passes, passes[1:])]
    alive = sorted(passes + presents)
    still = max(b - a for a, b in zip(alive, alive[1:]))
    print(f"  {stormed:.1f} s of storm; {len(passes)} passes, the longest wait between two "
          f"{max(gaps):.3f} s (the control panel holds its pass); {len(presents)} pictures "
          f"presented; the longest time with neither {still:.3f} s")
    if status != 0 or others:
        fail(f"exit status {status}; stderr (trace lines left out):\n" + "\n".join(others[:60]))
    # The game kept running: second by second a pass began or, while the control panel held
    # its pass, the panel showed a frame (with a margin for a loaded machine).
    if still > 1.5:
        fail(f"neither a pass nor a picture for {still:.2f} s")
    items = [l.split()[1] for l in open(record) if l.startswith("@")]
    print("  recorded: " + ", ".join(f"{k} {items.count(k)}" for k in sorted(set(items))))

    # The recording, replayed headless, ends in the same state, with the same score table.
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    run = subprocess.run([game, "--headless", "--play", record, "--dump-state",
                          "end:" + os.path.join(workdir, "replay_state.txt")],
                         cwd=replay, env=env, capture_output=True, text=True, timeout=600)
    replay_err = [l for l in run.stderr.splitlines() if "screenshot saved as" not in l]
    if run.returncode != 0 or replay_err:
        fail(f"the replay: exit status {run.returncode}: " + "\n".join(replay_err[:40]))
    # The sound's slot is the one thing a headless run (no sound device) has otherwise.
    live_state, replay_state = (
        "".join(l for l in open(os.path.join(workdir, name)) if not l.startswith("bonus_sound "))
        for name in ("live_state.txt", "replay_state.txt"))
    if live_state != replay_state:
        fail(f"the replay ends in another state than the live session (both in {workdir})")
    scores = [os.path.join(d, "scores.bin") for d in (live, replay)]
    tables = [open(p, "rb").read() if os.path.exists(p) else b"" for p in scores]
    if tables[0] != tables[1]:
        fail(f"the replay's scores.bin differs from the live session's (in {workdir})")
    print(f"  the replay ends in the live session's state ({len(live_state.splitlines())} "
          f"lines) with the same scores.bin ({len(tables[0])} bytes)")
    if os.environ.get("GNATRIX_LIVE_KEEP"):
        print("  kept: " + workdir)
    else:
        shutil.rmtree(workdir)
    print("live_test: storm: passed", flush=True)


# ---- Pacing ----------------------------------------------------------------------------------


def pacing(game, seconds):
    """Plays a scripted game at 1x (a new game every 390 passes keeps the pace at 35 ms) and
    reports the intervals between the pictures sent to the window, from the game's trace."""
    workdir = tempfile.mkdtemp(prefix="gnatrix-pace-")
    passes = int(seconds * 1000 / 35) + 20
    lines = ["gnatrix-input 1", "seed 4711"]
    starts_at = range(3, passes, 390)
    for start in starts_at:
        lines += [f"@{start} key f2 down", f"@{start + 1} key f2 up"]
    for p in range(10, passes, 6):
        lines += [f"@{p} mouse {40 if (p // 120) % 2 else -40} 0", f"@{p} button down",
                  f"@{p + 1} button up"]
    lines.sort(key=lambda l: int(l.split()[0][1:]) if l.startswith("@") else -1)
    lines.append(f"@{passes} close")
    script = os.path.join(workdir, "pace.gxi")
    open(script, "w").write("\n".join(lines) + "\n")
    server = Server(1920, 1080)
    try:
        proc = start_game(server, game, ["--window", "--scale", "1", "--play", script], workdir,
                          {"GNATRIX_TRACE": "1"})
        status = proc.wait(seconds * 3 + 60)
    finally:
        server.close()
    err = open(os.path.join(workdir, "game.err")).read()
    if status != 0:
        fail(f"exit status {status}: {err[-2000:]}")
    starts = trace_events(err, "pass")
    # Play only: from the first game's start to the close, less the passes of each new game's
    # start (its fade-in presents at a pace of its own).
    starting = [(starts[p], starts[p + 5]) for p in starts_at if p + 5 < len(starts)]
    shown = [t for t in trace_events(err, "present")
             if starts[20] <= t <= starts[-2] and not any(a <= t < b for a, b in starting)]
    gaps = sorted((b - a) * 1000 for a, b in zip(shown, shown[1:])
                  if not any(a < e and b > s for s, e in starting))
    late = sum(1 for g in gaps if g > 35 + 2)
    print(f"live_test: pacing: {len(gaps)} intervals between frames shown over "
          f"{shown[-1] - shown[0]:.1f} s at 1x: median {percentile(gaps, 0.5):.2f} ms, "
          f"p1 {percentile(gaps, 0.01):.2f} ms, p99 {percentile(gaps, 0.99):.2f} ms, "
          f"min {gaps[0]:.2f}, max {gaps[-1]:.2f}; late by more than 2 ms: {late}", flush=True)
    shutil.rmtree(workdir)


# ---- The background --------------------------------------------------------------------------

BACKGROUND_PASSES = 240
HELD_TITLE = TITLE + " (paused in background)"


def process_cpu(pid):
    """User and system time of the process so far, in seconds (/proc/PID/stat)."""
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def window_name(window):
    name = window.get_wm_name()
    return name.decode("latin-1") if isinstance(name, bytes) else name


def background(game, seconds):
    """Another window takes the focus for `seconds` in the middle of a game nobody plays: no
    pass runs meanwhile, the title says so, the process sleeps; clicks on the game's window
    there, and the click that comes back with the focus, reach nothing; and the game ends in the
    state of a run that never lost the focus, in as many passes."""
    workdir = tempfile.mkdtemp(prefix="gnatrix-background-")
    record, err_path = os.path.join(workdir, "session.gxi"), os.path.join(workdir, "game.err")
    live_state = os.path.join(workdir, "live_state.txt")
    server = Server(1024, 768)
    try:
        proc = start_game(server, game, ["--window", "--scale", "1", "--seed", "4711", "--record",
                                         record, "--frames", str(BACKGROUND_PASSES),
                                         "--dump-state", "end:" + live_state],
                          workdir, {"GNATRIX_TRACE": "1"}, err_path)
        window = wait_for("the game's window", server.game_window, 60)
        other = server.root.create_window(0, 0, 64, 48, 0, server.d.screen().root_depth,
                                          X.InputOutput, X.CopyFromParent)
        other.set_wm_name("other")
        other.map()
        server.d.set_input_focus(window, X.RevertToParent, X.CurrentTime)
        server.d.sync()
        passes = lambda: len(trace_events(open(err_path).read(), "pass"))
        wait_for("60 passes", lambda: passes() >= 60, 60)
        server.d.set_input_focus(other, X.RevertToParent, X.CurrentTime)
        server.d.sync()
        wait_for("the hold", lambda: trace_events(open(err_path).read(), "background"), 10)
        cpu_before, wall_before, passes_held = process_cpu(proc.pid), time.monotonic(), passes()
        x, y, w, h = server.geometry(window)
        server.move(x + w // 2, y + h // 2)
        server.click()  # on the game's window, which has not got the focus: nothing
        time.sleep(seconds)
        cpu_held = process_cpu(proc.pid) - cpu_before
        wall_held = time.monotonic() - wall_before
        title_held, passes_after = window_name(window), passes()
        server.d.set_input_focus(window, X.RevertToParent, X.CurrentTime)
        server.d.sync()
        server.click()  # the click that comes back with the focus is not a shot
        wait_for("the game back", lambda: trace_events(open(err_path).read(), "foreground"), 10)
        title_back = window_name(window)
        status = proc.wait(BACKGROUND_PASSES * 0.2 + 60)
    finally:
        server.close()
    err = open(err_path).read()
    held, back = trace_events(err, "background")[0], trace_events(err, "foreground")[0]
    starts = trace_events(err, "pass")
    during = [t for t in starts if held < t < back]
    before, after = max(t for t in starts if t < held), min(t for t in starts if t > back)
    cpu = lambda line: int(line.split()[3])
    traced = [cpu(l) for l in err.splitlines() if l.startswith("gnatrix-trace background ") or
              l.startswith("gnatrix-trace foreground ")]
    print(f"live_test: background: held {back - held:.2f} s; process CPU over {wall_held:.2f} s "
          f"of it (/proc) {cpu_held:.3f} s = {100 * cpu_held / wall_held:.2f}% of a core, over "
          f"the whole hold (the game's trace) {(traced[1] - traced[0]) / 1e6:.2f} ms = "
          f"{(traced[1] - traced[0]) / 1e7 / (back - held):.3f}%; passes during the hold: "
          f"{len(during)}; the pass across it lasted {1000 * (after - before - (back - held)):.1f}"
          f" ms besides", flush=True)
    if status != 0:
        fail(f"exit status {status}: {err[-2000:]}")
    if during or passes_after != passes_held:
        fail(f"{len(during)} passes ran while the window was in the background")
    if (title_held, title_back) != (HELD_TITLE, TITLE):
        fail(f"the titles were '{title_held}' held and '{title_back}' back")
    if cpu_held / wall_held > 0.01:
        fail("the process did not sleep while held")
    items = [l.split()[1] for l in open(record) if l.startswith("@")]
    if items != ["close"]:
        fail(f"input reached the game while held or with the focus coming back: {items}")
    # A run that never lost the focus: the same seed and passes, headless.
    never = os.path.join(workdir, "never_state.txt")
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    run = subprocess.run([game, "--headless", "--seed", "4711", "--frames",
                          str(BACKGROUND_PASSES), "--dump-state", "end:" + never],
                         cwd=workdir, env=env, capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        fail(f"the run that never lost the focus: exit status {run.returncode}: {run.stderr}")
    # The sound's slot is the one thing a headless run (no sound device) has otherwise.
    states = ["".join(l for l in open(p) if not l.startswith("bonus_sound ")) for p in
              (live_state, never)]
    if states[0] != states[1]:
        fail(f"the game ends in another state than one that never lost the focus ({workdir})")
    print(f"  the end state ({len(states[0].splitlines())} lines) is that of a run that never "
          f"lost the focus, {BACKGROUND_PASSES} passes", flush=True)
    shutil.rmtree(workdir)
    print("live_test: background: passed", flush=True)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("pixels", "storm", "pacing", "background"):
        print(__doc__, file=sys.stderr)
        return 2
    game = os.path.abspath(argv[2])
    if argv[1] == "pixels":
        pixels(game, argv[3] if len(argv) > 3 else None)
    elif argv[1] == "storm":
        seed = int(argv[4]) if len(argv) > 4 else random.randrange(1, 1 << 31)
        storm(game, float(argv[3]), seed)
    elif argv[1] == "background":
        background(game, float(argv[3]))
    else:
        pacing(game, float(argv[3]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
