#!/usr/bin/env bash
# The include rules of HACKING.md, checked on every C++ file of the game and its platform:
#   - SDL, Dear ImGui and libpng only in platform/sdl/;
#   - any other header that is not the C++ standard library's (unistd.h, sys/..., windows.h ...)
#     only in a system implementation, platform/system/<system>/, which includes nothing of the
#     project but platform/system/system.h;
#   - the portable part never includes the SDL part;
#   - each layer includes only its own headers and those of the layers below it.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
fail() {  # fail FILE:LINE: what
    echo "check_includes: $*" >&2
    status=1
}

# The project folders a layer may include from (its own and the layers below).
allowed_folders() {
    case "$1" in
        gfx | input | audio) echo "platform $1" ;;
        game | screens) echo "platform gfx input audio game screens" ;;
        app) echo "platform gfx input audio game screens app" ;;
    esac
}

while IFS= read -r file; do
    top=${file%%/*}
    while IFS=: read -r line text; do
        header=$(sed -E 's/^\s*#\s*include\s*[<"]([^>"]+)[>"].*/\1/' <<<"$text")
        where="$file:$line: $header"
        if [[ $text == *'<'* ]]; then
            case "$header" in
                SDL* | SDL2/* | imgui* | png.h)
                    [[ $file == platform/sdl/* ]] || fail "$where: only platform/sdl/ uses SDL, ImGui and libpng" ;;
                *.h | */*)
                    [[ $file == platform/system/*/* || $header == immintrin.h ]] ||
                        fail "$where: system headers only in platform/system/<system>/" ;;
            esac
            continue
        fi
        case "$file" in
            platform/system/*/*)
                # Its own folder's private headers are system code too.
                [[ $header == platform/system/system.h || $header == "${file%/*}"/* ]] ||
                    fail "$where: a system implementation includes only platform/system/system.h" ;;
            platform/system/system.h)
                fail "$where: the system interface includes only standard headers" ;;
            platform/portable/*)
                [[ $header != platform/sdl/* ]] || fail "$where: the portable part never includes the SDL part" ;;
            platform/*) ;;
            *)
                folder=${header%%/*}
                [[ " $(allowed_folders "$top") " == *" $folder "* ]] ||
                    fail "$where: $top/ may include only from: $(allowed_folders "$top")"
                [[ $header != platform/*/* ]] ||
                    fail "$where: the game includes only the platform's own headers (platform/*.h)" ;;
        esac
    done < <(grep -nE '^\s*#\s*include\s*[<"]' "$file" || true)
done < <(git ls-files -- 'app/*' 'gfx/*' 'input/*' 'audio/*' 'game/*' 'screens/*' 'platform/*' |
         grep -E '\.(cpp|h)$')

[ $status -eq 0 ] && echo "check_includes: the include rules hold"
exit $status
