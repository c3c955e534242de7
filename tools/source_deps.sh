# Sourced by tools/win64/deps.sh and tools/web/deps.sh: building the libraries the game links
# for another system from Debian's own source packages of the versions the Linux build uses,
# into a cache outside the clone keyed by those versions, by the calling script and by its
# toolchain. The caller sets:
#   deps_name        the cache's name and the messages' prefix (win64, web)
#   toolchain        its CMake toolchain file
#   linux_packages   the Linux build's development packages, each standing for its source package
#   tool_packages    what the build itself needs
#   compiler         the compiler whose version goes into the key
# and defines deps_steps, which builds with `step NAME SOURCE-PACKAGE` (calling build_NAME with
# the unpacked source folder) into $stage. deps_run then prints the cache folder as its last line.
jobs=${GNATRIX_JOBS:-$(nproc)}

log() { echo "$deps_name-deps: $*" >&2; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {  # install_missing PACKAGE...
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        "${missing[@]}" >&2
}

# "source-package version" of the installed binary package $1.
source_of() { dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"; }

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

# --- builds -----------------------------------------------------------------------------------

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

# zlib's pkg-config file, which its static library alone does not install.
zlib_pkgconfig() {  # zlib_pkgconfig SOURCE_DIR
    mkdir -p "$stage/lib/pkgconfig"
    printf '%s\n' "prefix=$prefix" 'Name: zlib' 'Description: zlib compression library' \
        "Version: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$1/zlib.h")" \
        'Libs: -L${prefix}/lib -lz' 'Cflags: -I${prefix}/include' > "$stage/lib/pkgconfig/zlib.pc"
}

# The options that keep SDL2_mixer to WAV (the game's sounds are wave resources) and SDL2_ttf to
# FreeType alone.
mixer_wav_only=(-DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF
                -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF
                -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS= -DSDL2MIXER_WAVE=ON)
ttf_freetype_only=(-DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF)
# FreeType for the game's font alone: no compression or shaping libraries.
freetype_alone=(-DFT_DISABLE_ZLIB=TRUE -DFT_DISABLE_BZIP2=TRUE -DFT_DISABLE_PNG=TRUE
                -DFT_DISABLE_HARFBUZZ=TRUE -DFT_DISABLE_BROTLI=TRUE)

# Dear ImGui has no build system of its own: its core becomes a static library (compiled by the
# command line in "$@"), and the SDL backends' sources go beside it for the game to compile, as
# the Linux package ships them.
build_imgui_with() {  # build_imgui_with SOURCE AR COMPILER...
    local src=$1 ar=$2 obj=$work/build-imgui version
    shift 2
    mkdir -p "$obj" "$stage/include/imgui" "$stage/lib/pkgconfig" "$stage/share/imgui/backends"
    for f in imgui imgui_draw imgui_tables imgui_widgets; do
        "${launcher_command[@]}" "$@" -O2 -w -c "$src/$f.cpp" -o "$obj/$f.o" &
        [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n
    done
    wait
    rm -f "$stage/lib/libimgui.a"
    "$ar" rcs "$stage/lib/libimgui.a" "$obj"/*.o
    cp "$src"/*.h "$stage/include/imgui/"
    cp "$src"/backends/imgui_impl_sdl{,renderer}.{h,cpp} "$stage/share/imgui/backends/"
    version=$(sed -n 's/^#define IMGUI_VERSION  *"\(.*\)"/\1/p' "$src/imgui.h")
    cat > "$stage/lib/pkgconfig/imgui.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include/imgui
backends=\${prefix}/share/imgui/backends

Name: imgui
Description: Dear ImGui, built for $deps_name from Debian's source package
Version: $version
Libs: -L\${libdir} -limgui
Cflags: -I\${includedir}
EOF
}

# step NAME SOURCE-PACKAGE: build_NAME on that package's unpacked source, timed.
step() {
    local t=$SECONDS
    "build_$1" "${srcdir[$2]}"
    log "$1 built in $((SECONDS - t)) s"
}

# The libraries the game links, in the order they need each other.
game_library_steps() {
    step zlib zlib
    step libpng libpng1.6
    step freetype freetype
    step sdl2 libsdl2
    step sdl2_mixer libsdl2-mixer
    step sdl2_ttf libsdl2-ttf
    step imgui imgui
}

# --- the run ----------------------------------------------------------------------------------

deps_run() {
    install_missing "${tool_packages[@]}" "${linux_packages[@]}"
    local versions key cache_root package version fetched upstream started built=""
    versions=$(for p in "${linux_packages[@]}"; do source_of "$p"; done)
    # sed, not head: it reads the compiler's whole answer, which then never dies of a closed pipe.
    key=$( { echo "$versions"; cat "$0" "${BASH_SOURCE[0]}" "$toolchain"; "$compiler" --version | sed -n 1p; } |
           sha256sum | cut -c1-16)
    cache_root=${GNATRIX_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/gnatrix}
    prefix=$cache_root/$deps_name-$key
    if [ -f "$prefix/VERSIONS" ]; then
        echo "$prefix"
        return 0
    fi
    mkdir -p "$cache_root"
    work=$(mktemp -d "$cache_root/$deps_name-$key.build.XXXXXX")
    # Built in a staging folder and renamed into place at the end, so that a failed or
    # interrupted build never leaves a cache that looks complete.
    stage=$work/prefix
    # Removed when done; kept after a failure, for its logs.
    trap 'status=$?; [ $status -eq 0 ] && rm -rf "$work" || log "kept $work"' EXIT
    # ccache sees the same relative paths in every such folder, so a rebuild after a change to
    # these scripts reuses what did not change.
    export CCACHE_BASEDIR=$work
    started=$SECONDS
    log "building the $deps_name libraries into $prefix (once; takes some minutes)"
    enable_sources
    declare -gA srcdir
    cd "$work"
    while read -r package version; do
        [ "$package" = googletest ] && continue
        fetched=$(fetch "$package" "$version")
        built+="$package $fetched"$'\n'
        upstream=${fetched#*:}
        srcdir[$package]=$work/$package-${upstream%-*}
    done <<< "$versions"
    if [[ " ${linux_packages[*]} " == *" googletest "* ]]; then
        built+="googletest $(source_of googletest | cut -d' ' -f2) (/usr/src/googletest)"$'\n'
        srcdir[googletest]=/usr/src/googletest
    fi
    deps_steps
    # The paths written into the installed files name the staging folder; they move with it (a
    # build may have written none).
    { grep -rlIF "$stage" "$stage" || true; } | while read -r f; do sed -i "s|$stage|$prefix|g" "$f"; done
    printf '%s' "$built" > "$stage/VERSIONS"
    rm -rf "$prefix"
    mv "$stage" "$prefix"
    log "done in $((SECONDS - started)) s"
    echo "$prefix"
}
