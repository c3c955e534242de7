#!/usr/bin/env python3
"""The browser version in a real browser: headless Chromium, driven through its DevTools
protocol, plays the page as served by a plain static server.

  tools/web/browser_test.py [--folder build-web/web] [--shots DIR] [--timedemo] [--windowed]

Loads the page, waits for the title, starts a game with F2, moves and clicks on the canvas and
checks through the game's exported state (gnatrix_state_text) that it plays, that a shot was
fired and that the sound is running; opens and closes the help (F1), the pause (Space) and the
control panel (F3); lets the game end, reloads and checks that the score table written before the reload is
still there; ends the game with the page's button and checks that the page offers another.
Screenshots of the page go to --shots. With --timedemo it also replays the shipped demo unpaced
and prints the frames per second. Headless Chromium refuses pointer lock: --windowed runs a
windowed Chromium on a display of its own (Xvfb) instead, where the click must lock the pointer
and Esc release it. Prints one line per check and 'N passed, N failed'."""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

import websocket

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ left in the tree
import serve  # noqa: E402

STATE_TITLE, STATE_START, STATE_PLAY = 1, 2, 4
checks = {'passed': 0, 'failed': 0}


def check(ok, what):
    checks['passed' if ok else 'failed'] += 1
    print(('ok     ' if ok else 'FAILED ') + what, flush=True)
    return ok


def start_display():
    """An X server of our own for the windowed browser: (process, DISPLAY)."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x800x24',
                             '-nolisten', 'tcp'], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    return xvfb, ':' + number


class Browser:
    """Chromium (headless, or windowed on the display given) with a page, and the protocol
    calls the test needs."""

    def __init__(self, display=None):
        self.profile = tempfile.mkdtemp(prefix='gnatrix-chromium-')
        chromium = shutil.which('chromium') or shutil.which('chromium-browser')
        mode = ['--headless=new'] if display is None else ['--kiosk', '--window-position=0,0']
        env = dict(os.environ, **({'DISPLAY': display} if display else {}))
        self.process = subprocess.Popen(
            [chromium, *mode, '--no-sandbox', '--no-first-run', '--mute-audio',
             '--remote-debugging-port=0', '--remote-allow-origins=*', '--window-size=1024,800',
             '--enable-unsafe-swiftshader', '--user-data-dir=' + self.profile, 'about:blank'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        port = self._port()
        pages = json.load(urllib.request.urlopen(f'http://127.0.0.1:{port}/json/list'))
        page = next(p for p in pages if p['type'] == 'page')
        self.ws = websocket.create_connection(page['webSocketDebuggerUrl'], timeout=60,
                                              suppress_origin=True)
        self.next_id = 0
        self.call('Page.enable')
        self.call('Runtime.enable')

    def _port(self):
        active = os.path.join(self.profile, 'DevToolsActivePort')
        for _ in range(300):
            if os.path.exists(active):
                with open(active) as f:
                    first = f.readline().strip()
                if first:
                    return int(first)
            time.sleep(0.1)
        raise RuntimeError('chromium did not open its DevTools port')

    def call(self, method, **params):
        self.next_id += 1
        ident = self.next_id
        self.ws.send(json.dumps({'id': ident, 'method': method, 'params': params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get('method') == 'Runtime.consoleAPICalled':
                args = message['params']['args']
                text = ' '.join(str(a.get('value', a.get('description', ''))) for a in args)
                self.console.append(text)
            if message.get('method') == 'Runtime.exceptionThrown':
                self.console.append('exception: ' + json.dumps(message['params'])[:400])
            if message.get('id') == ident:
                if 'error' in message:
                    raise RuntimeError(f'{method}: {message["error"]}')
                return message.get('result', {})

    console = []

    def evaluate(self, expression):
        result = self.call('Runtime.evaluate', expression=expression, returnByValue=True,
                           awaitPromise=True)
        if 'exceptionDetails' in result:
            return None
        return result['result'].get('value')

    def wait_for(self, expression, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        return None

    def key(self, key, code, vk):
        for kind in ('keyDown', 'keyUp'):
            self.call('Input.dispatchKeyEvent', type=kind, key=key, code=code,
                      windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk)
            time.sleep(0.1)

    def mouse(self, kind, x, y, **extra):
        self.call('Input.dispatchMouseEvent', type=kind, x=x, y=y, **extra)

    def screenshot(self, path):
        data = self.call('Page.captureScreenshot', format='png')['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))
        print('       screenshot ' + path, flush=True)

    def close(self):
        try:
            self.call('Browser.close')
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)


def state(browser):
    """The game's state as --dump-state writes it: {name: value text}."""
    text = browser.evaluate('Module.UTF8ToString(Module._gnatrix_state_text())') or ''
    values = {}
    for line in text.splitlines():
        name, _, value = line.partition(' ')
        values.setdefault(name, value)
    return values


def number(browser, name):
    value = state(browser).get(name)
    return int(value.split()[0]) if value else None


def wait_state(browser, name, wanted, seconds):
    """Waits until the value is one of wanted (a number or a tuple)."""
    wanted = wanted if isinstance(wanted, tuple) else (wanted,)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if number(browser, name) in wanted:
            return True
        time.sleep(0.1)
    return False


def open_page(browser, url):
    browser.call('Page.navigate', url=url)
    return browser.wait_for("typeof Module === 'object' && Module.calledRun === true && "
                            "!!Module._gnatrix_state_text", 120)


def canvas_centre(browser):
    box = browser.evaluate("(() => { const r = document.getElementById('canvas')"
                           ".getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()")
    return box[0] + box[2] / 2, box[1] + box[3] / 2


def scores_file(browser):
    return browser.evaluate("(() => { try { return Array.from(Module.FS.readFile("
                            "'/gnatrix/scores.bin')); } catch (e) { return null; } })()")


def play(browser, shots, windowed):
    if not check(wait_state(browser, 'game_state', (STATE_TITLE, STATE_START), 60), 'the title is up'):
        return
    browser.key('F2', 'F2', 113)
    if not check(wait_state(browser, 'game_state', STATE_PLAY, 20), 'F2 starts a game'):
        return
    x, y = canvas_centre(browser)
    browser.mouse('mouseMoved', x, y)
    # The first click takes the mouse (pointer lock), as on the desktop; it is not a shot.
    browser.mouse('mousePressed', x, y, button='left', clickCount=1)
    browser.mouse('mouseReleased', x, y, button='left', clickCount=1)
    time.sleep(0.3)
    sound = browser.wait_for("Module.SDL2 && Module.SDL2.audioContext && "
                             "Module.SDL2.audioContext.state === 'running'", 5)
    check(bool(sound), 'the sound runs after the first click')
    if windowed:
        check(bool(browser.wait_for('!!document.pointerLockElement', 5)),
              'the click locks the pointer to the game')
    before = number(browser, 'rocket_x')
    for step in range(1, 11):
        browser.mouse('mouseMoved', x + 12 * step, y)
        time.sleep(0.03)
    time.sleep(0.2)
    moved = number(browser, 'rocket_x')
    check(moved is not None and before is not None and moved != before,
          f'the mouse steers the rocket (x {before} -> {moved})')
    browser.mouse('mousePressed', x + 120, y, button='left', clickCount=1)
    fired = False
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline and not fired:
        fired = number(browser, 'ray_state') not in (0, None)
    shot(browser, shots, 'web-play.png')
    browser.mouse('mouseReleased', x + 120, y, button='left', clickCount=1)
    check(fired, 'a click fires the ray')
    if windowed:
        escape_unlocks(browser, x, y)
    screens(browser, shots)


def escape_unlocks(browser, x, y):
    """Esc, which the browser keeps while the pointer is locked, releases it; the game plays on
    and a click takes the pointer again."""
    browser.key('Escape', 'Escape', 27)
    released = browser.wait_for('!document.pointerLockElement', 5)
    time.sleep(0.3)
    check(bool(released) and number(browser, 'game_state') == STATE_PLAY,
          'Esc releases the pointer and the game goes on')
    # The browser refuses the lock for a moment after the player has released it.
    locked = False
    for _ in range(4):
        time.sleep(1)
        browser.mouse('mousePressed', x, y, button='left', clickCount=1)
        browser.mouse('mouseReleased', x, y, button='left', clickCount=1)
        locked = bool(browser.wait_for('!!document.pointerLockElement', 1))
        if locked:
            break
    check(locked, 'a click takes the pointer again')


def shot(browser, shots, name):
    if shots:
        browser.screenshot(os.path.join(shots, name))


def frozen(browser):
    """Whether the game stands still: the same state twice, half a second apart."""
    first = state(browser)
    time.sleep(0.5)
    return first == state(browser)


def escape_until(browser, name, wanted):
    """Esc until the value is wanted: with the pointer locked, the browser takes the first."""
    for _ in range(2):
        browser.key('Escape', 'Escape', 27)
        if wait_state(browser, name, wanted, 3):
            return True
    return False


def screens(browser, shots):
    """The help (F1), the pause (Space) and the control panel (F3) over a game in play."""
    browser.key('F1', 'F1', 112)
    if check(wait_state(browser, 'help_shown', 1, 10), 'F1 shows the help'):
        shot(browser, shots, 'web-help.png')
        check(escape_until(browser, 'help_shown', 0), 'Esc closes the help')
    browser.key(' ', 'Space', 32)
    if check(wait_state(browser, 'paused', 1, 10), 'Space pauses the game'):
        shot(browser, shots, 'web-pause.png')
        browser.key(' ', 'Space', 32)
        check(wait_state(browser, 'paused', 0, 10), 'Space resumes it')
    browser.key('F3', 'F3', 114)
    time.sleep(1)
    if check(frozen(browser), 'F3 opens the control panel, which holds the game'):
        shot(browser, shots, 'web-panel.png')
        browser.key('Enter', 'Enter', 13)
        time.sleep(0.5)
        check(not frozen(browser) and number(browser, 'game_state') == STATE_PLAY,
              'its OK closes it and the game goes on')


def scores_survive_reload(browser, url, shots):
    # The game goes on unattended until the bugs that get past end it; the table is written.
    ended = bool(browser.wait_for("Module.FS.analyzePath('/gnatrix/scores.bin').exists", 240))
    check(ended, 'the game ends when the bugs have got past')
    saved = browser.wait_for("Module.gnatrixSaving === false", 20)
    time.sleep(1)
    shot(browser, shots, 'web-scores.png')
    table = scores_file(browser)
    if not check(ended and saved and table is not None and len(table) == 320,
                 'scores.bin is written and stored in the browser'):
        return
    open_page(browser, url)
    wait_state(browser, 'game_state', (STATE_TITLE, STATE_START), 60)
    check(scores_file(browser) == table, 'after a reload the score table is the one written before')


def end_from_page(browser, shots):
    browser.evaluate("document.getElementById('end').click()")
    offered = browser.wait_for("!document.getElementById('again').hidden && "
                               "document.getElementById('status').textContent", 30)
    check(bool(offered), f'the page\'s End game ends it and offers another ({offered})')
    shot(browser, shots, 'web-ended.png')


def timedemo(browser, url):
    open_page(browser, url + '?timedemo')
    line = browser.wait_for("(window.gnatrixOutput || []).find(l => l.startsWith('timedemo:'))",
                            120)
    check(bool(line), 'the timedemo runs in the browser')
    if line:
        print('       ' + line, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--folder', default='build-web/web')
    parser.add_argument('--shots', default='')
    parser.add_argument('--timedemo', action='store_true')
    parser.add_argument('--windowed', action='store_true')
    args = parser.parse_args()
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)
    httpd = serve.server(args.folder, 0)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    url = f'http://127.0.0.1:{httpd.server_address[1]}/index.html'
    xvfb, display = start_display() if args.windowed else (None, None)
    browser = Browser(display)
    try:
        if check(bool(open_page(browser, url)), 'the page loads the game'):
            time.sleep(1)
            shot(browser, args.shots, 'web-title.png')
            play(browser, args.shots, args.windowed)
            scores_survive_reload(browser, url, args.shots)
            end_from_page(browser, args.shots)
        if args.timedemo:
            timedemo(browser, url)
    finally:
        if checks['failed']:
            print('browser console:\n  ' + '\n  '.join(browser.console[-30:]))
        browser.close()
        httpd.shutdown()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    print(f"web: {checks['passed']} passed, {checks['failed']} failed")
    return 1 if checks['failed'] else 0


if __name__ == '__main__':
    sys.exit(main())
