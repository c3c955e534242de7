#!/usr/bin/env bash
# Every C++ file in git is formatted as .clang-format says (clang-format 14, Debian's).
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format)
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror; then
    echo "check_format: run '$format -i' on the files above" >&2
    exit 1
fi
echo "check_format: every C++ file is formatted"
