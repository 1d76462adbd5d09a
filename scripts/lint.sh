#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on the files of src/ (or the files given),
# using the compile commands of a build folder. Exits 1 on any warning.
#   scripts/lint.sh [BUILD_DIR] [FILE...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
[ -f "$build/compile_commands.json" ] || { echo "lint: no compile_commands.json in $build" >&2; exit 2; }
command -v run-clang-tidy >/dev/null || { echo "lint: run-clang-tidy is not installed" >&2; exit 2; }
# Two compiler warnings clang adds on top of ours: FFmpeg's AV_TIME_BASE_Q-style macros are
# compound literals, and the kit's printf-style text helpers take their formats at run time.
extra=(-extra-arg=-Wno-c99-extensions -extra-arg=-Wno-format-nonliteral)
if [ $# -gt 0 ]; then
    files=("$@")
else
    files=("$root/src/")
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "${extra[@]}" "${files[@]}" >"$log" 2>&1 || status=$?
if grep -qE '(warning|error): ' "$log"; then
    grep -E '(warning|error): ' "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u
    echo "lint: clang-tidy found the problems above"
    exit 1
fi
[ $status -eq 0 ] || { tail -20 "$log"; echo "lint: clang-tidy failed"; exit 1; }
echo "lint: clang-tidy clean"
