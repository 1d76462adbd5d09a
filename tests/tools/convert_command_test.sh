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

# Several files at once: each output is the one a run of one file at a time makes, packet for
# packet, and the written names come in the order the files were given.
mkdir -p "$home/batch"
for name in d c b a; do cp "$media/clip.avi" "$home/batch/$name.avi"; done
batch=("$home/batch/d.avi" "$home/batch/c.avi" "$home/batch/b.avi" "$home/batch/a.avi")
"$cli" convert --format 0 --outdir "$home/out/one" --length 1 --jobs 1 "${batch[@]}" \
    >"$home/one.out" 2>/dev/null || fail "one at a time: convert failed"
"$cli" convert --format 0 --outdir "$home/out/two" --length 1 --jobs 2 "${batch[@]}" \
    >"$home/two.out" 2>"$home/two.err" || fail "two at once: convert failed: $(cat "$home/two.err")"
expected=$(printf '%s\n' "$home/out/two/"{d,c,b,a}"_(new).mov")
[ "$(cat "$home/two.out")" = "$expected" ] || fail "two at once: names $(cat "$home/two.out")"
for name in a b c d; do
    one=$(ffmpeg -hide_banner -loglevel error -i "$home/out/one/${name}_(new).mov" -map 0 -c copy \
        -f framemd5 - 2>&1 | grep -v '^#')
    two=$(ffmpeg -hide_banner -loglevel error -i "$home/out/two/${name}_(new).mov" -map 0 -c copy \
        -f framemd5 - 2>&1 | grep -v '^#')
    [ -n "$one" ] && [ "$one" = "$two" ] || fail "two at once: $name differs from one at a time"
done
grep -q '^Converted 4 of 4 file(s)\.' "$home/two.err" || fail "summary: $(cat "$home/two.err")"
# A bad file among them fails alone.
: >"$home/batch/broken.avi"
"$cli" convert --format 104 --outdir "$home/out/mixed4" --length 1 --jobs 3 "$home/batch/a.avi" \
    "$home/batch/broken.avi" "$home/batch/b.avi" "$home/batch/c.avi" >"$home/mixed4.out" 2>/dev/null
[ $? -eq 1 ] || fail "a bad file among four must make the exit status 1"
[ "$(wc -l <"$home/mixed4.out")" -eq 3 ] || fail "three of four: $(cat "$home/mixed4.out")"

# Two files of one name from two folders, in one run: two outputs, never one written twice.
mkdir -p "$home/left" "$home/right"
cp "$media/clip.avi" "$home/left/same.avi"
cp "$media/clip.avi" "$home/right/same.avi"
"$cli" convert --format 104 --outdir "$home/out/same" --length 1 --jobs 2 "$home/left/same.avi" \
    "$home/right/same.avi" >"$home/same.out" 2>/dev/null || fail "same names: convert failed"
expected=$(printf '%s\n' "$home/out/same/same_(new).avi" "$home/out/same/same_(new_1).avi")
[ "$(cat "$home/same.out")" = "$expected" ] || fail "same names: $(cat "$home/same.out")"
[ "$(ls "$home/out/same" | wc -l)" -eq 2 ] || fail "same names: $(ls "$home/out/same")"

# "Keep the original file dates": the output takes the source's modification time.
touch -d "2019-05-04 10:20:30.25" "$home/left/same.avi"
printf '[settings]\nkeepFileDates=1\n' >"$XDG_CONFIG_HOME/tovikavimovconverter.ini"
"$cli" convert --format 104 --outdir "$home/out/dated" --length 1 "$home/left/same.avi" \
    >/dev/null 2>&1 || fail "dated: convert failed"
[ "$(stat -c %y "$home/out/dated/same_(new).avi")" = "$(stat -c %y "$home/left/same.avi")" ] ||
    fail "dated: $(stat -c %y "$home/out/dated/same_(new).avi")"
rm "$XDG_CONFIG_HOME/tovikavimovconverter.ini"

# Bad arguments.
"$cli" convert --length abc "$media/clip.avi" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a bad --length must give status 2"
for jobs in 0 -1 two ""; do
    "$cli" convert --jobs "$jobs" "$media/clip.avi" >/dev/null 2>&1
    [ $? -eq 2 ] || fail "--jobs '$jobs' must give status 2"
done
exit $status
