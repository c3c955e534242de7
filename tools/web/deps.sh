#!/usr/bin/env bash
# The browser's (WebAssembly) libraries the game links, built with Debian's Emscripten from
# Debian's own source packages of the versions the Linux build uses, into a cache outside the
# clone keyed by those versions and by these scripts: the first run builds (some minutes), later
# runs find the cache and return at once. Prints the cache folder as its last line.
#
#   tools/web/deps.sh              build when missing, print the folder
#   GNATRIX_DEPS_CACHE=DIR ...     keep the caches under DIR instead of ~/.cache/gnatrix
#
# What is built, all static (docs/web.md): SDL2, SDL2_mixer with WAV only, SDL2_ttf with
# FreeType, zlib and libpng (the screenshots), and Dear ImGui (with the SDL backends' sources).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deps_name=web
toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
compiler=emcc
linux_packages=(libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfreetype-dev libpng-dev
                zlib1g-dev libimgui-dev)
tool_packages=(emscripten node-acorn dpkg-dev cmake make pkg-config)
# Emscripten's optimiser needs acorn, which Debian keeps in its shared Node.js folder.
export NODE_PATH=/usr/share/nodejs
# Its scripts run on the system's Python, whatever else comes first on the PATH.
export EMSDK_PYTHON=/usr/bin/python3
# shellcheck source=../source_deps.sh
. "$here/../source_deps.sh"

build_zlib() {
    # Compiled straight into a static library: its CMake build wants the Windows resource script
    # that Debian's source leaves out, and the shared library means nothing here.
    local src=$1 obj=$work/build-zlib f
    mkdir -p "$obj" "$stage/include" "$stage/lib"
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
             inftrees trees uncompr zutil; do
        "${launcher_command[@]}" emcc -O2 -w -c "$src/$f.c" -o "$obj/$f.o" &
        [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n
    done
    wait
    emar rcs "$stage/lib/libz.a" "$obj"/*.o
    cp "$src/zlib.h" "$src/zconf.h" "$stage/include/"
    zlib_pkgconfig "$src"
}

build_libpng() {
    cmake_build "$1" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DPNG_TOOLS=OFF -DZLIB_ROOT="$stage"
}

build_freetype() {
    # With zlib's library, not the copy FreeType would compile in: all goes into one program.
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF "${freetype_alone[@]}" -DFT_DISABLE_ZLIB=FALSE \
        -DFT_REQUIRE_ZLIB=TRUE -DZLIB_ROOT="$stage"
}

build_sdl2() {
    cmake_build "$1" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
}

# The pkg-config file the companions' CMake builds leave out for Emscripten.
companion_pkgconfig() {  # companion_pkgconfig NAME HEADER LIBS
    local name=$1 header=$stage/include/SDL2/$2 macro version=() part
    macro=SDL_$(tr a-z A-Z <<< "${name#SDL2_}")
    for part in MAJOR_VERSION MINOR_VERSION PATCHLEVEL; do
        version+=("$(sed -n "s/^#define ${macro}_$part  *\([0-9]*\).*/\1/p" "$header")")
    done
    printf '%s\n' "prefix=$prefix" "Name: $name" "Description: $name, built for the browser" \
        "Version: ${version[0]}.${version[1]}.${version[2]}" 'Requires: sdl2' \
        "Libs: -L\${prefix}/lib $3" 'Cflags: -I${prefix}/include/SDL2' \
        > "$stage/lib/pkgconfig/$name.pc"
}

build_sdl2_mixer() {
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF "${mixer_wav_only[@]}"
    companion_pkgconfig SDL2_mixer SDL_mixer.h -lSDL2_mixer
}

build_sdl2_ttf() {
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF "${ttf_freetype_only[@]}"
    companion_pkgconfig SDL2_ttf SDL_ttf.h "-lSDL2_ttf -lfreetype"
}

build_imgui() {
    build_imgui_with "$1" emar em++ -std=c++11
}

deps_steps() {
    game_library_steps
}

deps_run
