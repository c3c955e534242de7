#!/usr/bin/env python3
"""Serves a folder on localhost, as any static web server would, for the browser version:
   tools/web/serve.py [FOLDER [PORT]]   (build-web/web and 8000 by default)."""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    # Browsers compile WebAssembly as it streams in only with its own type.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


def server(folder, port):
    """A threaded server of folder on 127.0.0.1:port (0: any free port)."""
    handler = functools.partial(Handler, directory=folder)
    return http.server.ThreadingHTTPServer(('127.0.0.1', port), handler)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else 'build-web/web'
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 8000
    with server(folder, port) as httpd:
        print(f'web: serving {folder} on http://localhost:{httpd.server_address[1]}/ (Ctrl+C ends)')
        try:
            httpd.serve_forever()
        except KeyboardInterrupt:
            pass
