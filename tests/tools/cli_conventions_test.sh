#!/usr/bin/env bash
# tovik-cli behaves as scripts expect of a command-line tool: help and version on standard
# output, documented exit statuses, results on standard output and errors on standard error,
# progress without carriage returns unless on a terminal, -q/--quiet, and JSON that jq reads.
# Usage: cli_conventions_test.sh TOVIK_CLI MEDIA_DIR PROFILE
set -uo pipefail
cli=$1
media=$2
profile=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$XDG_CONFIG_HOME"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_status() { # expected, description, command...
    local expected=$1 what=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" -eq "$expected" ] || fail "$what: exit $got, not $expected; stderr: $(cat "$work/err")"
}

# Help and version: standard output, status 0.
expect_status 0 "--help" "$cli" --help
grep -q '^usage: tovik-cli' "$work/out" || fail "--help text: $(cat "$work/out")"
grep -q 'Exit status' "$work/out" || fail "--help names no exit statuses"
[ -s "$work/err" ] && fail "--help wrote to standard error"
for command in info formats convert engine libs; do
    expect_status 0 "$command --help" "$cli" "$command" --help
    grep -q "^usage: tovik-cli $command" "$work/out" || fail "$command --help: $(cat "$work/out")"
    cp "$work/out" "$work/help1"
    expect_status 0 "help $command" "$cli" help "$command"
    cmp -s "$work/out" "$work/help1" || fail "help $command differs from $command --help"
done
expect_status 0 "--version" "$cli" --version
grep -qE '^tovik-cli \(Tovik Video Converter\) [0-9]+\.[0-9]+\.[0-9]+$' "$work/out" ||
    fail "--version: $(cat "$work/out")"

# Usage errors: status 2, nothing on standard output.
expect_status 2 "no command" "$cli"
[ -s "$work/out" ] && fail "a usage error wrote to standard output"
expect_status 2 "unknown command" "$cli" frobnicate
expect_status 2 "unknown option" "$cli" --frobnicate info "$media/clip.avi"
expect_status 2 "unknown info option" "$cli" info --xml "$media/clip.avi"
expect_status 2 "help of an unknown command" "$cli" help frobnicate

# info --json: one document with the probe's facts.
expect_status 0 "info --json" "$cli" info --json "$media/clip.avi" "$media/rotated.mp4" \
    "$media/probe_program.ts"
json="$work/out"
jq -e . "$json" >/dev/null || fail "info --json is not JSON: $(head -c 400 "$json")"
check() { # jq filter that must give true
    jq -e "$1" "$json" >/dev/null || fail "info --json: $1 does not hold; $(jq -c "${2:-.}" "$json")"
}
check '.files | length == 3'
check ".files[0].filename == \"$media/clip.avi\""
check '.files[0].format.format_name == "avi"'
check ".files[0].format.size == $(stat -c %s "$media/clip.avi")"
check '.files[0].format.duration > 2.0 and .files[0].format.duration < 2.1' '.files[0].format'
check '.files[0].format.nb_streams == 2'
check '.files[0].streams[0] | .index == 0 and .codec_type == "video" and .codec_name == "mpeg4"'
check '.files[0].streams[0] | .width == 160 and .height == 120 and .r_frame_rate == "25/1"'
check '.files[0].streams[0] | .pix_fmt == "yuv420p" and (has("rotation") | not)'
check '.files[0].streams[1] | .codec_type == "audio" and .codec_name == "mp3"'
check '.files[0].streams[1] | .sample_rate == 44100 and .channels == 2'
check '.files[1].streams[0].rotation | fabs == 90' '.files[1].streams[0]'
check '.files[2].programs | length == 1'
check '.files[2].programs[0] | .program_id == 1 and (.streams | length == 2)' '.files[2].programs'
check '.files[2].programs[0].tags.service_name == "Channel7"'
check '.files[2].format.format_name == "mpegts"'
# A bad file among good ones: still one document, the error on standard error, status 1.
expect_status 1 "info --json with a bad file" "$cli" info --json "$media/clip.avi" \
    "$media/no_such_file.avi"
jq -e '.files | length == 1' "$work/out" >/dev/null || fail "document with a bad file"
grep -qF "$media/no_such_file.avi" "$work/err" || fail "bad file not named: $(cat "$work/err")"

# formats --json.
expect_status 0 "formats --json" "$cli" formats --json "$profile"
jq -e '.formats | length == 18' "$work/out" >/dev/null || fail "formats --json: 18 formats"
jq -e '.formats[] | select(.code == 0) | .extension == "mov"' "$work/out" >/dev/null ||
    fail "formats --json: code 0 is mov"
jq -e '[.formats[].name] | all(length > 0)' "$work/out" >/dev/null || fail "formats names"

# Without a format profile anywhere, convert is a set-up error.
expect_status 3 "convert without a profile" "$cli" convert --outdir "$work/none" "$media/clip.avi"
grep -q "format profile" "$work/err" || fail "missing profile not named: $(cat "$work/err")"

cp "$profile" "$XDG_CONFIG_HOME/tovikavimovformat.ini"
# Into a pipe: plain progress lines, no carriage returns; the written file on standard output.
"$cli" convert --format 104 --length 1 --outdir "$work/piped" "$media/clip.avi" \
    2> >(cat >"$work/piped.err") | cat >"$work/piped.out"
status=${PIPESTATUS[0]}
wait
[ "$status" -eq 0 ] || fail "piped convert: exit $status: $(cat "$work/piped.err")"
grep -q $'\r' "$work/piped.err" && fail "carriage returns in piped progress: $(cat -A "$work/piped.err")"
grep -qE '^clip\.avi: done in [0-9]+:[0-9]{2}:[0-9]{2}$' "$work/piped.err" ||
    fail "no final progress line: $(cat "$work/piped.err")"
[ "$(cat "$work/piped.out")" = "$work/piped/clip_(new).avi" ] ||
    fail "standard output: $(cat "$work/piped.out")"

# Quiet, before the command or as its option: nothing on standard error, the result stays.
for quiet in "-q convert" "--quiet convert" "convert -q"; do
    # shellcheck disable=SC2086
    expect_status 0 "$quiet" "$cli" $quiet --format 104 --length 1 --outdir "$work/quiet" \
        "$media/clip.avi"
    [ -s "$work/err" ] && fail "$quiet wrote to standard error: $(cat "$work/err")"
    grep -q "^$work/quiet/clip_(new.*)\.avi$" "$work/out" || fail "$quiet result: $(cat "$work/out")"
done

# On a terminal the progress line is redrawn in place.
if command -v script >/dev/null; then
    script -qec "'$cli' convert --format 104 --length 1 --outdir '$work/tty' '$media/clip.avi'" \
        "$work/typescript" >/dev/null 2>&1 </dev/null
    grep -q $'\r''clip\.avi ' "$work/typescript" || fail "no redrawn line on a terminal: $(cat -A "$work/typescript")"
fi

[ "$failures" -eq 0 ] && echo "command-line conventions: all checks passed"
exit $((failures > 0))
