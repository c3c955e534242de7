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

# compile_library LIBRARY SOURCE_DIR "COMPILER FLAGS" FILE...: the C files (relative to SOURCE_DIR)
# compiled side by side straight into $stage/lib/LIBRARY.a, without a build system.
compile_library() {
    local name=$1 src=$2 flags=$3 obj=$work/build-$1 f
    shift 3
    mkdir -p "$obj" "$stage/include" "$stage/lib/pkgconfig"
    for f in "$@"; do
        # shellcheck disable=SC2086 # the flags are words
        { "${launcher_command[@]}" emcc -O2 -w $flags -c "$src/$f" -o "$obj/${f//\//_}.o" ||
              echo "$f" >> "$obj.failed"; } 2>> "$obj.log" &
        [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n
    done
    wait
    if [ -f "$obj.failed" ]; then build=$obj; failed; fi
    rm -f "$stage/lib/$name.a"
    emar rcs "$stage/lib/$name.a" "$obj"/*.o
}

# pkg_config NAME VERSION REQUIRES LIBS CFLAGS: the library's pkg-config file, which the game's
# build finds it by; it names the staging folder, as CMake's installs do, and moves with it.
pkg_config() {
    printf '%s\n' "prefix=$stage" "Name: $1" "Description: $1, built for the browser" \
        "Version: $2" "Requires: $3" "Libs: -L\${prefix}/lib $4" "Cflags: $5" \
        > "$stage/lib/pkgconfig/$1.pc"
}

# header_version HEADER PREFIX SUFFIX...: "A.B.C" from the header's PREFIX_SUFFIX macros.
header_version() {
    local header=$1 prefix=$2 part version=()
    shift 2
    for part in "$@"; do
        version+=("$(sed -n "s/^#define ${prefix}_$part  *\([0-9]*\).*/\1/p" "$header")")
    done
    (IFS=.; echo "${version[*]}")
}

build_zlib() {
    # Compiled straight into a static library: its CMake build wants the Windows resource script
    # that Debian's source leaves out, and the shared library means nothing here.
    local src=$1
    compile_library libz "$src" "" adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c \
        gzread.c gzwrite.c infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
    cp "$src/zlib.h" "$src/zconf.h" "$stage/include/"
    zlib_pkgconfig "$src"
}

build_libpng() {
    # Compiled straight too (its CMake configuration costs more than its compilation), with
    # the configuration it ships for builds without its scripts.
    local src=$1
    cp "$src/scripts/pnglibconf.h.prebuilt" "$src/pnglibconf.h"
    compile_library libpng16 "$src" "-I$stage/include" png.c pngerror.c pngget.c pngmem.c \
        pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c \
        pngwrite.c pngwtran.c pngwutil.c
    mkdir -p "$stage/include/libpng16"
    cp "$src"/{png.h,pngconf.h,pnglibconf.h} "$stage/include/libpng16/"
    pkg_config libpng "$(sed -n 's/^#define PNG_LIBPNG_VER_STRING "\(.*\)"/\1/p' "$src/png.h")" \
        zlib -lpng16 '-I${prefix}/include/libpng16'
}

build_freetype() {
    # Straight too: the files its CMakeLists compiles on a system with no ftsystem.c of its own,
    # with zlib's library (not the copy FreeType would compile in: all goes into one program)
    # and no other compression or shaping library.
    local src=$1
    compile_library libfreetype "$src" \
        "-DFT2_BUILD_LIBRARY -DFT_CONFIG_OPTION_SYSTEM_ZLIB -I$src/include -I$stage/include" \
        src/autofit/autofit.c src/base/{ftbase,ftbbox,ftbdf,ftbitmap,ftcid,ftfstype,ftgasp}.c \
        src/base/{ftglyph,ftgxval,ftinit,ftmm,ftotval,ftpatent,ftpfr,ftstroke,ftsynth}.c \
        src/base/{fttype1,ftwinfnt,ftsystem,ftdebug}.c src/bdf/bdf.c src/bzip2/ftbzip2.c \
        src/cache/ftcache.c src/cff/cff.c src/cid/type1cid.c src/gzip/ftgzip.c src/lzw/ftlzw.c \
        src/pcf/pcf.c src/pfr/pfr.c src/psaux/psaux.c src/pshinter/pshinter.c \
        src/psnames/psnames.c src/raster/raster.c src/sdf/sdf.c src/sfnt/sfnt.c \
        src/smooth/smooth.c src/svg/svg.c src/truetype/truetype.c src/type1/type1.c \
        src/type42/type42.c src/winfonts/winfnt.c
    mkdir -p "$stage/include/freetype2"
    cp -r "$src/include/ft2build.h" "$src/include/freetype" "$stage/include/freetype2/"
    pkg_config freetype2 "$(header_version "$src/include/freetype/freetype.h" FREETYPE MAJOR \
        MINOR PATCH)" zlib -lfreetype '-I${prefix}/include/freetype2'
}

# SDL2 and its companions are compiled without their CMake builds, whose configuration checks
# each link a program with Emscripten (over half an hour for SDL2 alone on a busy machine).
# SDL ships its configuration for Emscripten (include/SDL_config_emscripten.h, which its
# SDL_config.h picks by itself); these are the sources that configuration needs.
sdl2_sources() {  # sdl2_sources SOURCE_DIR: the files, relative to it
    # The portable core: the folders SDL's CMakeLists takes whole on every system (files for
    # other systems compile to nothing) ...
    local core=(. atomic audio cpuinfo dynapi events file joystick haptic hidapi libm locale misc
                power render render/* sensor stdlib thread timer video video/yuv2rgb)
    # ... and the drivers the configuration names: the page's audio, video, joystick, power,
    # folders, locale and links; the Unix timer, dlopen, no threads; the dummy sensor, haptic
    # and audio.
    local drivers=(audio/emscripten audio/dummy audio/disk video/emscripten joystick/emscripten
                   power/emscripten filesystem/emscripten locale/emscripten misc/emscripten
                   timer/unix loadso/dlopen thread/generic sensor/dummy haptic/dummy)
    local d
    for d in "${core[@]}" "${drivers[@]}"; do
        # shellcheck disable=SC2086 # render/* names the renderers' folders
        (cd "$1/src" && ls $d/*.c)
    done | sed 's|^\./||; s|^|src/|'
}

build_sdl2() {
    local src=$1 files
    mapfile -t files < <(sdl2_sources "$src")
    compile_library libSDL2 "$src" "-I$src/include" "${files[@]}"
    mkdir -p "$stage/include/SDL2"
    cp "$src"/include/*.h "$stage/include/SDL2/"
    pkg_config sdl2 "$(header_version "$src/include/SDL_version.h" SDL MAJOR_VERSION \
        MINOR_VERSION PATCHLEVEL)" '' -lSDL2 '-I${prefix}/include -I${prefix}/include/SDL2'
}

companion_pkgconfig() {  # companion_pkgconfig NAME HEADER LIBS
    local macro
    macro=SDL_$(tr a-z A-Z <<< "${1#SDL2_}")
    pkg_config "$1" "$(header_version "$stage/include/SDL2/$2" "$macro" MAJOR_VERSION \
        MINOR_VERSION PATCHLEVEL)" sdl2 "$3" '-I${prefix}/include/SDL2'
}

build_sdl2_mixer() {
    # WAV only (the game's sounds are wave resources): the other codecs' files compile to nothing.
    local src=$1 files
    files=$(cd "$src" && ls src/*.c src/codecs/*.c)
    # shellcheck disable=SC2086 # one file a word
    compile_library libSDL2_mixer "$src" \
        "-DMUSIC_WAV -I$src/include -I$src/src -I$src/src/codecs -I$stage/include/SDL2" $files
    cp "$src/include/SDL_mixer.h" "$stage/include/SDL2/"
    companion_pkgconfig SDL2_mixer SDL_mixer.h -lSDL2_mixer
}

build_sdl2_ttf() {
    # With FreeType alone (no HarfBuzz shaping).
    local src=$1
    compile_library libSDL2_ttf "$src" "-I$stage/include/SDL2 -I$stage/include/freetype2" SDL_ttf.c
    cp "$src/SDL_ttf.h" "$stage/include/SDL2/"
    companion_pkgconfig SDL2_ttf SDL_ttf.h "-lSDL2_ttf -lfreetype"
}

build_imgui() {
    build_imgui_with "$1" emar em++ -std=c++11
}

deps_steps() {
    game_library_steps
}

deps_run
