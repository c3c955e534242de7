#!/usr/bin/env python3
"""Where the browser's time goes in the timedemo: headless Chromium's sampling profiler, through
the DevTools protocol, over index.html?timedemo; prints the share of the samples of the top
functions (the program's own named by the symbol map beside it).

  /usr/bin/python3 tools/web/profile_timedemo.py [--folder build-web/web]"""
import argparse
import collections
import os
import re
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ left in the tree
import browser_test  # noqa: E402
import serve  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--folder', default='build-web/web')
    args = parser.parse_args()
    httpd = serve.server(args.folder, 0)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    browser = browser_test.Browser()
    try:
        browser.call('Profiler.enable')
        browser.call('Profiler.setSamplingInterval', interval=500)
        browser.call('Profiler.start')
        browser_test.timedemo(browser, f'http://127.0.0.1:{httpd.server_address[1]}/index.html')
        profile = browser.call('Profiler.stop')['profile']
    finally:
        browser.close()
        httpd.shutdown()
    with open(os.path.join(args.folder, 'gnatrix.js.symbols')) as f:
        symbols = dict(line.rstrip('\n').split(':', 1) for line in f)
    samples = collections.Counter()
    for node in profile['nodes']:
        name = node['callFrame']['functionName'] or '(anonymous)'
        # The program's own functions, which it has no names for, go by their index.
        m = re.fullmatch(r'\$?(\d+)|wasm-function\[(\d+)\]', name)
        if m:
            name = 'wasm ' + re.sub(r'\\([0-9a-f]{2})', lambda e: chr(int(e.group(1), 16)),
                                    symbols.get(m.group(1) or m.group(2), name))
        samples[name] += node.get('hitCount', 0)
    total = sum(samples.values())
    for name, count in samples.most_common(15):
        print(f'{100 * count / total:5.1f}%  {name[:100]}')
    print(f'{total} samples')
    return 0


if __name__ == '__main__':
    sys.exit(main())
