#!/usr/bin/env bash
# The Windows (x86_64) libraries the game links, cross-compiled with Debian's MinGW-w64 from
# Debian's own source packages of the versions the Linux build uses, into a cache outside the
# clone keyed by those versions and by this script: the first run builds (some minutes), later
# runs find the cache and return at once. Prints the cache folder as its last line.
#
#   tools/win64/deps.sh            build when missing, print the folder
#   GNATRIX_WIN64_CACHE=DIR ...    keep the caches under DIR instead of ~/.cache/gnatrix
#
# What is built (docs/windows.md): SDL2 (SDL2.dll), SDL2_mixer with WAV only
# (SDL2_mixer.dll), SDL2_ttf with FreeType inside it (SDL2_ttf.dll), zlib and libpng (the
# screenshots), Dear ImGui (a static library, with the SDL backends' sources) and GoogleTest.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
deps_name=win64
toolchain=$root/cmake/mingw-w64.cmake
host=x86_64-w64-mingw32
compiler=$host-gcc-posix
linux_packages=(libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfreetype-dev libpng-dev
                zlib1g-dev libimgui-dev googletest)
tool_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
               wine64 dpkg-dev cmake make pkg-config)
[ -z "${GNATRIX_WIN64_CACHE:-}" ] || export GNATRIX_DEPS_CACHE=$GNATRIX_WIN64_CACHE
# shellcheck source=../source_deps.sh
. "$here/../source_deps.sh"

build_zlib() {
    # Static, inside libpng's DLL. (Debian's source leaves out the Windows resource script the
    # DLL would need.)
    cmake_configure "$1"
    cmake --build "$build" -j "$jobs" --target zlibstatic >> "$build.log" 2>&1 || failed
    mkdir -p "$stage/include" "$stage/lib"
    cp "$1/zlib.h" "$build/zconf.h" "$stage/include/"
    cp "$build/libzlibstatic.a" "$stage/lib/libz.a"
    zlib_pkgconfig "$1"
}

build_libpng() {
    cmake_build "$1" -DPNG_STATIC=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF
}

build_freetype() {
    # Static, inside SDL2_ttf.dll; the game's font needs no compression or shaping libraries.
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF "${freetype_alone[@]}"
}

build_sdl2() {
    cmake_build "$1" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
}

build_sdl2_mixer() {
    cmake_build "$1" "${mixer_wav_only[@]}"
}

build_sdl2_ttf() {
    cmake_build "$1" "${ttf_freetype_only[@]}"
}

build_imgui() {
    build_imgui_with "$1" $host-gcc-ar-posix $host-g++-posix -std=c++11
}

build_googletest() {
    # GoogleTest alone: the tests use no mocks.
    cmake_build "$1" -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=OFF
}

deps_steps() {
    game_library_steps
    step googletest googletest
}

deps_run
