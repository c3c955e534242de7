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
# (SDL2_mixer.dll), SDL2_ttf with FreeType and HarfBuzz inside it (SDL2_ttf.dll), zlib and libpng (the
# screenshots), Dear ImGui (a static library, with the SDL backends' sources) and GoogleTest.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
toolchain=$root/cmake/mingw-w64.cmake
host=x86_64-w64-mingw32
jobs=${GNATRIX_JOBS:-$(nproc)}

# The Linux build's development packages, each standing for the source package built here.
linux_packages=(libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfreetype-dev libharfbuzz-dev
                libpng-dev zlib1g-dev libimgui-dev googletest)
cross_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                wine64 dpkg-dev cmake make pkg-config)

log() { echo "win64-deps: $*" >&2; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {  # install_missing PACKAGE...
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${missing[@]}" >&2
}

# "source-package version" of the installed binary package $1.
source_of() { dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"; }

install_missing "${cross_packages[@]}" "${linux_packages[@]}"

versions=$(for p in "${linux_packages[@]}"; do source_of "$p"; done)
key=$( { echo "$versions"; cat "$0" "$toolchain"; $host-gcc-posix --version | head -1; } |
       sha256sum | cut -c1-16)
cache_root=${GNATRIX_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/gnatrix}
prefix=$cache_root/win64-$key
if [ -f "$prefix/VERSIONS" ]; then
    echo "$prefix"
    exit 0
fi

# --- Debian's source packages ---------------------------------------------------------------

# deb-src entries for the same archive, suites and keys as the binary ones, in a file of ours.
enable_sources() {
    local ours=/etc/apt/sources.list.d/gnatrix-deb-src.sources
    if [ ! -f $ours ]; then
        log "enabling Debian source packages in $ours"
        sed -n '/^#/d; s/^Types: deb$/Types: deb-src/; p' /etc/apt/sources.list.d/debian.sources |
            as_root tee $ours > /dev/null
    fi
    if ! apt-cache showsrc --only-source libsdl2 2>/dev/null | grep -q '^Version:'; then
        as_root apt-get update -qq
    fi
}

# fetch PACKAGE VERSION: unpacks the source (Debian's patches applied) in the current folder and
# prints the version fetched. A security update may have replaced the installed revision in the
# archive; then the newest revision of the same upstream version serves, and says so.
fetch() {
    local package=$1 version=$2 upstream=${2%-*} candidate
    local candidates
    candidates=$( { echo "$version"; apt-cache showsrc --only-source "$package" |
                    sed -n 's/^Version: //p' | sort -rV; } | awk '!seen[$0]++')
    for candidate in $candidates; do
        [ "${candidate%-*}" = "$upstream" ] || continue
        if apt-get source -qq --only-source "$package=$candidate" > fetch-$package.log 2>&1; then
            [ "$candidate" = "$version" ] ||
                log "$package: $version is no longer in the archive; building $candidate"
            echo "$candidate"
            return 0
        fi
    done
    cat fetch-$package.log >&2
    log "$package: no source of version $upstream could be fetched"
    return 1
}

# --- cross builds -----------------------------------------------------------------------------

launcher=()
launcher_command=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    launcher_command=(ccache)
fi

# cmake_configure SOURCE_DIR [cmake options...]: configures into $build, logging to $build.log.
cmake_configure() {
    local src=$1; shift
    build=$work/build-$(basename "$src")
    cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_INSTALL_PREFIX="$stage" -DCMAKE_PREFIX_PATH="$stage" \
          -DCMAKE_FIND_ROOT_PATH="$stage" "${launcher[@]}" "$@" > "$build.log" 2>&1 || failed
}

failed() { tail -40 "$build.log" >&2; log "failed: $build.log"; exit 1; }

# cmake_build SOURCE_DIR [cmake options...]: configure, build and install into the prefix.
cmake_build() {
    cmake_configure "$@"
    { cmake --build "$build" -j "$jobs" && cmake --install "$build"; } >> "$build.log" 2>&1 || failed
}

build_zlib() {
    # Static, inside libpng's DLL. (Debian's source leaves out the Windows resource script the
    # DLL would need.)
    cmake_configure "$1"
    cmake --build "$build" -j "$jobs" --target zlibstatic >> "$build.log" 2>&1 || failed
    mkdir -p "$stage/include" "$stage/lib"
    cp "$1/zlib.h" "$build/zconf.h" "$stage/include/"
    cp "$build/libzlibstatic.a" "$stage/lib/libz.a"
    mkdir -p "$stage/lib/pkgconfig"
    printf '%s\n' "prefix=$prefix" 'Name: zlib' 'Description: zlib compression library' \
        "Version: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$1/zlib.h")" \
        'Libs: -L${prefix}/lib -lz' 'Cflags: -I${prefix}/include' > "$stage/lib/pkgconfig/zlib.pc"
}

build_libpng() {
    cmake_build "$1" -DPNG_STATIC=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF
}

build_freetype() {
    # Static, inside SDL2_ttf.dll; the game's font needs no compression or shaping libraries.
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_ZLIB=TRUE -DFT_DISABLE_BZIP2=TRUE \
        -DFT_DISABLE_PNG=TRUE -DFT_DISABLE_HARFBUZZ=TRUE -DFT_DISABLE_BROTLI=TRUE
}

build_harfbuzz() {
    # Static, inside SDL2_ttf.dll: Linux's SDL2_ttf shapes text with it, and the same shaping
    # gives the same pixels (the help screens, the replays' screen dumps).
    cmake_build "$1" -DBUILD_SHARED_LIBS=OFF -DHB_HAVE_FREETYPE=ON -DHB_HAVE_GLIB=OFF \
        -DHB_HAVE_ICU=OFF -DHB_HAVE_GOBJECT=OFF -DHB_BUILD_SUBSET=OFF -DHB_BUILD_UTILS=OFF \
        -DCMAKE_CXX_FLAGS="-fno-exceptions -fno-rtti -fno-threadsafe-statics"
}

build_sdl2() {
    cmake_build "$1" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
}

build_sdl2_mixer() {
    # WAV only: the game's sounds are wave resources.
    cmake_build "$1" -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF \
        -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF \
        -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS= -DSDL2MIXER_WAVE=ON
}

# What CMake links every Windows program and DLL with unless told otherwise.
windows_libraries="-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32"

build_sdl2_ttf() {
    # HarfBuzz is C++: its runtime (and the threads library under it) goes in statically, at the
    # end of the link, where the compiler's own -lpthread would take the DLL.
    cmake_build "$1" -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=ON -DSDL2TTF_SAMPLES=OFF \
        -DCMAKE_C_STANDARD_LIBRARIES="-Wl,-Bstatic -lstdc++ -lwinpthread -Wl,-Bdynamic $windows_libraries"
}

# Dear ImGui has no build system of its own: its core becomes a static library, and the SDL
# backends' sources go beside it for the game to compile, as the Linux package ships them.
build_imgui() {
    local src=$1 obj=$work/build-imgui version
    mkdir -p "$obj" "$stage/include/imgui" "$stage/lib/pkgconfig" "$stage/share/imgui/backends"
    for f in imgui imgui_draw imgui_tables imgui_widgets; do
        "${launcher_command[@]}" $host-g++-posix -std=c++11 -O2 -w -c "$src/$f.cpp" -o "$obj/$f.o" &
        [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n
    done
    wait
    rm -f "$stage/lib/libimgui.a"
    $host-gcc-ar-posix rcs "$stage/lib/libimgui.a" "$obj"/*.o
    cp "$src"/*.h "$stage/include/imgui/"
    cp "$src"/backends/imgui_impl_sdl{,renderer}.{h,cpp} "$stage/share/imgui/backends/"
    version=$(sed -n 's/^#define IMGUI_VERSION  *"\(.*\)"/\1/p' "$src/imgui.h")
    cat > "$stage/lib/pkgconfig/imgui.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include/imgui
backends=\${prefix}/share/imgui/backends

Name: imgui
Description: Dear ImGui, built for Windows from Debian's source package
Version: $version
Libs: -L\${libdir} -limgui
Cflags: -I\${includedir}
EOF
}

build_googletest() {
    # GoogleTest alone: the tests use no mocks.
    cmake_build "$1" -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=OFF
}

# --- the run ----------------------------------------------------------------------------------

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/win64-$key.build.XXXXXX")
# Built in a staging folder and renamed into place at the end, so that a failed or interrupted
# build never leaves a cache that looks complete.
stage=$work/prefix
# Removed when done; kept after a failure, for its logs.
trap 'status=$?; [ $status -eq 0 ] && rm -rf "$work" || log "kept $work"' EXIT
# ccache sees the same relative paths in every such folder, so a rebuild after a change to this
# script reuses what did not change.
export CCACHE_BASEDIR=$work
started=$SECONDS
log "building the Windows libraries into $prefix (once; takes some minutes)"
enable_sources
built=""
declare -A srcdir
cd "$work"
while read -r package version; do
    [ "$package" = googletest ] && continue
    fetched=$(fetch "$package" "$version")
    built+="$package $fetched"$'\n'
    upstream=${fetched#*:}
    srcdir[$package]=$work/$package-${upstream%-*}
done <<< "$versions"
built+="googletest $(source_of googletest | cut -d' ' -f2) (/usr/src/googletest)"$'\n'
srcdir[googletest]=/usr/src/googletest
step() {  # step NAME SOURCE-PACKAGE
    local t=$SECONDS
    "build_$1" "${srcdir[$2]}"
    log "$1 built in $((SECONDS - t)) s"
}
step zlib zlib
step libpng libpng1.6
step freetype freetype
step harfbuzz harfbuzz
step sdl2 libsdl2
step sdl2_mixer libsdl2-mixer
step sdl2_ttf libsdl2-ttf
step imgui imgui
step googletest googletest
# The paths CMake wrote into the installed files name the staging folder; they move with it.
grep -rlIF "$stage" "$stage" | while read -r f; do sed -i "s|$stage|$prefix|g" "$f"; done
printf '%s' "$built" > "$stage/VERSIONS"
rm -rf "$prefix"
mv "$stage" "$prefix"
log "done in $((SECONDS - started)) s"
echo "$prefix"
