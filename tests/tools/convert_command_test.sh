#!/usr/bin/env bash
# "tovik-cli convert": every format code converts a short AVI with the profile's default
# choices; the outputs are probed; bad files are reported and make the exit status 1.
# Usage: convert_command_test.sh TOVIK_CLI MEDIA_DIR PROFILE
set -u
cli=$1
media=$2
profile=$3
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config"
mkdir -p "$XDG_CONFIG_HOME"
cp "$profile" "$XDG_CONFIG_HOME/tovikavimovformat.ini"
status=0
fail() { echo "FAIL: $*"; status=1; }

expect_streams() { # code streams-expected
    local out="$home/out/$1"
    local file
    file=$(ls "$out"/clip_\(new\).* 2>/dev/null | head -1)
    [ -n "$file" ] || { fail "format $1: no output"; return; }
    local text
    text=$("$cli" info "$file") || { fail "format $1: output does not open: $file"; return; }
    local streams
    streams=$(grep -c '^Stream' <<<"$text")
    [ "$streams" -ge "$2" ] || fail "format $1: $streams stream(s), expected $2"
    local duration
    duration=$(sed -n 's/^Duration: 00:00:\([0-9.]*\).*/\1/p' <<<"$text")
    awk -v d="$duration" 'BEGIN { exit !(d >= 0.9 && d <= 1.1) }' ||
        fail "format $1: duration $duration, expected about 1 s"
}

for code in 0 100 101 102 103 104 105 106 107 108 109; do
    "$cli" convert --format "$code" --outdir "$home/out/$code" --length 1 "$media/clip.avi" \
        >/dev/null 2>&1 || fail "format $code: convert failed"
    expect_streams "$code" 2
done
for code in 200 201 202 203 204 205 206; do
    "$cli" convert --format "$code" --outdir "$home/out/$code" --length 1 "$media/clip.avi" \
        >/dev/null 2>&1 || fail "format $code: convert failed"
    expect_streams "$code" 1
done

# A second conversion of the same file gets the next free name.
"$cli" convert --format 104 --outdir "$home/out/104" --length 1 "$media/clip.avi" >/dev/null 2>&1
[ -f "$home/out/104/clip_(new_1).avi" ] || fail "second output not named _(new_1)"

# One good and one bad file: the good one converts and is named on standard output, the
# summary and the bad one go to standard error, status 1.
written=$("$cli" convert --format 104 --outdir "$home/out/mixed" --length 1 \
    "$media/clip.avi" "$media/empty.avi" 2>"$home/mixed.err")
[ $? -eq 1 ] || fail "a failed file must make the exit status 1"
[ "$written" = "$home/out/mixed/clip_(new).avi" ] || fail "standard output: $written"
grep -q '^Converted 1 of 2 file(s)\.' "$home/mixed.err" || fail "summary: $(cat "$home/mixed.err")"
grep -q "^tovik-cli convert: $media/empty.avi: " "$home/mixed.err" ||
    fail "the bad file is not named: $(cat "$home/mixed.err")"

# The start position and length are honoured.
"$cli" convert --format 104 --outdir "$home/out/cut" --start 0.5 --length 1.2 "$media/clip.avi" \
    >/dev/null 2>&1 || fail "cut conversion failed"
cut=$("$cli" info "$home/out/cut/clip_(new).avi" | sed -n 's/^Duration: 00:00:\([0-9.]*\).*/\1/p')
awk -v d="$cut" 'BEGIN { exit !(d >= 1.1 && d <= 1.3) }' || fail "cut duration $cut, expected 1.2"

# Bad arguments.
"$cli" convert --length abc "$media/clip.avi" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a bad --length must give status 2"
exit $status
