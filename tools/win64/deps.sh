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
# (SDL2_mixer.dll), SDL2_ttf with FreeType and HarfBuzz inside it (SDL2_ttf.dll), zlib and libpng
# (the screenshots), Dear ImGui (a static library, with the SDL backends' sources) and GoogleTest.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
deps_name=win64
toolchain=$root/cmake/mingw-w64.cmake
host=x86_64-w64-mingw32
compiler=$host-gcc-posix
linux_packages=(libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfreetype-dev libharfbuzz-dev
                libpng-dev zlib1g-dev libimgui-dev googletest)
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

# HarfBuzz as its single amalgamated source, compiled in the background while SDL2 and
# SDL2_mixer build (its one large file would otherwise hold up everything after it); static,
# inside SDL2_ttf.dll, because Linux's SDL2_ttf shapes text with it and the same shaping gives
# the same pixels (the help screens, the replays' screen dumps). The defines are those its own
# build finds for this compiler and FreeType.
build_harfbuzz() {
    local src=$1/src obj=$work/build-harfbuzz
    mkdir -p "$obj" "$stage/include/harfbuzz" "$stage/lib/pkgconfig"
    cp "$src"/hb*.h "$stage/include/harfbuzz/"
    printf '%s\n' "prefix=$prefix" 'Name: harfbuzz' 'Description: HarfBuzz text shaping library' \
        "Version: $(sed -n 's/^#define HB_VERSION_STRING "\(.*\)"/\1/p' "$src/hb-version.h")" \
        'Libs: -L${prefix}/lib -lharfbuzz' 'Cflags: -I${prefix}/include/harfbuzz' \
        > "$stage/lib/pkgconfig/harfbuzz.pc"
    {
        local t=$SECONDS
        "${launcher_command[@]}" $host-g++-posix -std=c++11 -O2 -DNDEBUG -w -fno-exceptions -fno-rtti \
            -fno-threadsafe-statics -DHAVE_FREETYPE=1 -DHAVE_FT_GET_VAR_BLEND_COORDINATES \
            -DHAVE_FT_SET_VAR_BLEND_COORDINATES -DHAVE_FT_DONE_MM_VAR -DHAVE_ATEXIT \
            -DHAVE_GETPAGESIZE -DHAVE_ISATTY -DHAVE_MPROTECT -DHAVE_PTHREAD -DHAVE_STDBOOL_H \
            -DHAVE_UNISTD_H -I"$stage/include/freetype2" -c "$src/harfbuzz.cc" \
            -o "$obj/harfbuzz.o" > "$obj.log" 2>&1 &&
            $host-gcc-ar-posix rcs "$stage/lib/libharfbuzz.a" "$obj/harfbuzz.o" &&
            log "harfbuzz compiled in $((SECONDS - t)) s (in the background)"
    } &
    harfbuzz_job=$!
}

build_sdl2() {
    cmake_build "$1" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
}

build_sdl2_mixer() {
    cmake_build "$1" "${mixer_wav_only[@]}"
}

# What CMake links every Windows program and DLL with unless told otherwise.
windows_libraries="-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32"

build_sdl2_ttf() {
    wait "$harfbuzz_job" || { build=$work/build-harfbuzz; failed; }
    # HarfBuzz is C++: its runtime (and the threads library under it) goes in statically, at the
    # end of the link, where the compiler's own -lpthread would take the DLL.
    cmake_build "$1" -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=ON -DSDL2TTF_SAMPLES=OFF \
        -DCMAKE_C_STANDARD_LIBRARIES="-Wl,-Bstatic -lstdc++ -lwinpthread -Wl,-Bdynamic $windows_libraries"
}

build_imgui() {
    build_imgui_with "$1" $host-gcc-ar-posix $host-g++-posix -std=c++11
}

build_googletest() {
    # GoogleTest alone: the tests use no mocks.
    cmake_build "$1" -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=OFF
}

# The shared order with HarfBuzz started after FreeType, which it includes.
deps_steps() {
    step zlib zlib
    step libpng libpng1.6
    step freetype freetype
    step harfbuzz harfbuzz
    step sdl2 libsdl2
    step sdl2_mixer libsdl2-mixer
    step sdl2_ttf libsdl2-ttf
    step imgui imgui
    step googletest googletest
}

deps_run
