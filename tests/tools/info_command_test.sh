#!/usr/bin/env bash
# "tovik-cli info": descriptions of good files, an error line per bad one, and an exit code
# that tells whether every file could be described.
# Usage: info_command_test.sh TOVIK_CLI MEDIA_DIR
set -uo pipefail
cli=$1
media=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_line() { # file, exact line
    grep -qxF -- "$2" "$1" || fail "no line '$2' in $1:"$'\n'"$(cat "$1")"
}
expect_count() { # file, fixed text, count
    local got
    got=$(grep -cF -- "$2" "$1")
    [ "$got" -eq "$3" ] || fail "'$2' appears $got times in $1, not $3"
}

# One good file: the whole description, plain line feeds, exit 0.
"$cli" info "$media/clip.avi" > "$work/clip.out" 2> "$work/clip.err"
status=$?
[ "$status" -eq 0 ] || fail "clip.avi: exit $status, stderr: $(cat "$work/clip.err")"
[ -s "$work/clip.err" ] && fail "clip.avi: unexpected stderr: $(cat "$work/clip.err")"
expect_line "$work/clip.out" "File Name: $media/clip.avi"
expect_line "$work/clip.out" "Format Name: avi"
expect_line "$work/clip.out" "File Size: $(awk -v b="$(stat -c %s "$media/clip.avi")" \
    'BEGIN { printf "%.2f KB", b / 1024 }')"
grep -q $'\r' "$work/clip.out" && fail "carriage returns in the output"
grep -qE '^Duration: 00:00:02\.0[0-9]{2}$' "$work/clip.out" || fail "clip.avi duration"
grep -qE '^Stream #0, 1/25: Video: mpeg4 .*160x120.*, 25 fps, 25 tbr, 25 tbn' "$work/clip.out" ||
    fail "clip.avi video line: $(grep '^Stream #0' "$work/clip.out")"
grep -qE '^Stream #1, [0-9]+/[0-9]+: Audio: mp3.*44100 Hz, stereo' "$work/clip.out" ||
    fail "clip.avi audio line: $(grep '^Stream #1' "$work/clip.out")"
expect_count "$work/clip.out" "Stream #" 2

# The program file: streams listed once, under their program.
"$cli" info "$media/probe_program.ts" > "$work/ts.out" 2>&1 || fail "probe_program.ts failed"
expect_line "$work/ts.out" "Program 1 TovikLab@Channel7"
expect_count "$work/ts.out" "Stream #" 2
grep -qF ", 29.97 fps, 29.97 tbr, 90k tbn" "$work/ts.out" || fail "ts rates: $(cat "$work/ts.out")"

# Good and bad files mixed: every good one described, one error line per bad one, exit 1.
"$cli" info "$media/clip.avi" "$media/no_such_file.avi" "$media/probe_text.avi" \
    "$media/probe_folder.avi" "$media/video_only.avi" > "$work/mixed.out" 2> "$work/mixed.err"
status=$?
[ "$status" -ne 0 ] || fail "bad files must give a non-zero exit"
expect_count "$work/mixed.out" "File Name: " 2
expect_line "$work/mixed.out" "File Name: $media/video_only.avi"
expect_line "$work/mixed.err" "$media/no_such_file.avi: No such file or directory"
grep -qF "$media/probe_text.avi: " "$work/mixed.err" || fail "no error for the text file"
grep -qF "$media/probe_folder.avi: " "$work/mixed.err" || fail "no error for the folder"
[ "$(wc -l < "$work/mixed.err")" -eq 3 ] || fail "one error line per bad file: $(cat "$work/mixed.err")"

# No file at all is a usage error.
"$cli" info > /dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "no arguments: exit $status, not 2"

[ "$failures" -eq 0 ] && echo "info command: all checks passed"
exit $((failures > 0))
