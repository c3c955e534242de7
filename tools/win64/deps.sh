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

# SDL2 is compiled without its CMake build, whose configure (a minute and a half, one check at
# a time) cost more than a third of its time: SDL ships its configuration for Windows
# (include/SDL_config_windows.h, which its SDL_config.h picks by itself), and these are the
# sources that configuration names, as tools/web/deps.sh does for the browser.
sdl2_sources() {  # sdl2_sources SOURCE_DIR: the files, relative to it
    # The portable core (files for other systems compile to nothing) ...
    local core=(. atomic audio cpuinfo dynapi events file joystick haptic hidapi libm locale misc
                power render render/* sensor stdlib thread timer video video/yuv2rgb)
    # ... and the drivers the configuration names.
    local drivers=(core/windows audio/wasapi audio/directsound audio/winmm audio/dummy audio/disk
                   video/windows video/dummy joystick/windows joystick/hidapi joystick/virtual
                   haptic/windows sensor/windows sensor/dummy loadso/windows thread/windows
                   timer/windows filesystem/windows power/windows locale/windows misc/windows)
    local d
    for d in "${core[@]}" "${drivers[@]}"; do
        # shellcheck disable=SC2086 # render/* names the renderers' folders
        (cd "$1/src" && ls $d/*.c)
    done | sed 's|^\./||; s|^|src/|'
    # Windows' condition variables fall back on the generic ones, under their own names.
    echo src/thread/generic/SDL_syscond.c
}

# What SDL2.dll links, as SDL's own build links it.
sdl2_libraries=(-luser32 -lgdi32 -lwinmm -limm32 -lole32 -loleaut32 -lversion -luuid -ladvapi32
                -lsetupapi -lshell32)

build_sdl2() {
    local src=$1 obj=$work/build-sdl2 files f version
    mapfile -t files < <(sdl2_sources "$src")
    # The configuration takes any Windows 10 SDK to have the gaming-input header, which MinGW's
    # lacks (SDL's own build checks for it).
    sed -i '/#define HAVE_WINDOWS_GAMING_INPUT_H/d' "$src/include/SDL_config_windows.h"
    mkdir -p "$obj" "$stage/bin" "$stage/lib/pkgconfig" "$stage/include/SDL2"
    # In a subshell, whose waits leave HarfBuzz's background job to this shell.
    (for f in "${files[@]}"; do
        { "${launcher_command[@]}" $compiler -O2 -w -DDLL_EXPORT -DHAVE_LIBC=1 -I"$src/include" \
              -I"$src/src/video/khronos" -c "$src/$f" -o "$obj/${f//\//_}.o" ||
              echo "$f" >> "$obj.failed"; } 2>> "$obj.log" &
        [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n
    done; wait)
    if [ -f "$obj.failed" ]; then build=$obj; failed; fi
    $compiler -shared -o "$stage/bin/SDL2.dll" "$obj"/*.o -static-libgcc \
        -Wl,--out-implib,"$stage/lib/libSDL2.dll.a" "${sdl2_libraries[@]}" >> "$obj.log" 2>&1 ||
        { build=$obj; failed; }
    cp "$src"/include/*.h "$stage/include/SDL2/"
    version=$(for part in MAJOR_VERSION MINOR_VERSION PATCHLEVEL; do
                  sed -n "s/^#define SDL_$part  *\([0-9]*\).*/\1/p" "$src/include/SDL_version.h"
              done | paste -sd.)
    printf '%s\n' "prefix=$prefix" 'Name: sdl2' 'Description: SDL2, built for Windows' \
        "Version: $version" 'Libs: -L${prefix}/lib -lSDL2' \
        'Cflags: -I${prefix}/include -I${prefix}/include/SDL2' > "$stage/lib/pkgconfig/sdl2.pc"
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

# GoogleTest alone (the tests use no mocks), compiled straight from its two amalgamating sources,
# with the CMake package file the tests' find_package(GTest) reads.
build_googletest() {
    local src=$1/googletest obj=$work/build-googletest name
    mkdir -p "$obj" "$stage/include" "$stage/lib/cmake/GTest"
    for name in gtest-all gtest_main; do
        { "${launcher_command[@]}" $host-g++-posix -std=c++14 -O2 -w -DGTEST_HAS_PTHREAD=0 \
              -I"$src/include" -I"$src" -c "$src/src/$name.cc" -o "$obj/$name.o" &&
              $host-gcc-ar-posix rcs "$stage/lib/lib${name%-all}.a" "$obj/$name.o" ||
              echo "$name" >> "$obj.failed"; } 2>> "$obj.log" &
    done
    wait
    if [ -f "$obj.failed" ]; then build=$obj; failed; fi
    cp -r "$src/include/gtest" "$stage/include/"
    cat > "$stage/lib/cmake/GTest/GTestConfig.cmake" <<'EOF_CMAKE'
get_filename_component(_gtest_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
add_library(GTest::gtest STATIC IMPORTED)
set_target_properties(GTest::gtest PROPERTIES IMPORTED_LOCATION "${_gtest_prefix}/lib/libgtest.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_gtest_prefix}/include"
    INTERFACE_COMPILE_DEFINITIONS GTEST_HAS_PTHREAD=0)
add_library(GTest::gtest_main STATIC IMPORTED)
set_target_properties(GTest::gtest_main PROPERTIES
    IMPORTED_LOCATION "${_gtest_prefix}/lib/libgtest_main.a" INTERFACE_LINK_LIBRARIES GTest::gtest)
EOF_CMAKE
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
