#!/usr/bin/env bash
# The browser version: the libraries (tools/web/deps.sh, cached), then the game and its page in
# build-web/web/, a folder any static web server serves as it is.
#
#   tools/web/build.sh [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
# GNATRIX_WEB_DEPS names a folder of the libraries built already.
deps=${GNATRIX_WEB_DEPS:-$(tools/web/deps.sh | tail -1)}
# Emscripten's scripts on the system's Python; its optimiser finds acorn in Debian's Node folder.
export EMSDK_PYTHON=/usr/bin/python3 NODE_PATH=/usr/share/nodejs
# Only the browser's libraries are found, never the system's.
export PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH=
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-web -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake \
      -DCMAKE_FIND_ROOT_PATH="$deps" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@" > build-web.configure.log 2>&1 ||
    { cat build-web.configure.log; exit 1; }
cmake --build build-web -j "$(nproc)" --target gnatrix web_page
echo "web: the page is in build-web/web/"
# The list of the functions that may sleep must still hold for the program built.
/usr/bin/python3 tools/web/asyncify_list.py --check build-web
