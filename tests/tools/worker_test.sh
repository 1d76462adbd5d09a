#!/usr/bin/env bash
# tovik-worker as a runner uses it: a task description on standard input, records on
# standard output; the job's text layer is drawn; pause holds the conversion, stop ends it
# with a finished output; a broken description is refused with exit status 2.
# Usage: worker_test.sh TOVIK_WORKER MEDIA_DIR FFMPEG
set -u
worker=$1
media=$2
ffmpeg=$3
dir=$(mktemp -d)
trap 'kill %1 2>/dev/null; rm -rf "$dir"' EXIT
export HOME="$dir" XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=offscreen
status=0
fail() { echo "FAIL: $*"; status=1; }

describe() { # input output duration-us [overlays]
    printf '{"Input":{"FileName":"%s"},"Output":{"FileName":"%s","VideoCodec":"mpeg4","AudioCodec":"aac","Duration":%s},"Effects":{"Overlays":[%s]}}\n' \
        "$1" "$2" "$3" "${4:-}"
}

# A converted job with a red text layer over the top left: the layer's box is red there, and
# nowhere else does the picture change.
layer='{"Kind":0,"Text":"WWWWWWWW","TextLeft":0,"TextTop":0,"TextWidth":160,"TextHeight":60,"Font":{"Name":"DejaVu Sans","Size":40,"Bold":true,"Color":255},"BackFilled":true,"BackColor":255,"EndSecond":100}'
describe "$media/clip.avi" "$dir/plain.mov" 1000000 | "$worker" >"$dir/plain.out" 2>/dev/null ||
    fail "plain conversion: exit $?"
describe "$media/clip.avi" "$dir/layer.mov" 1000000 "$layer" | "$worker" >"$dir/layer.out" 2>/dev/null ||
    fail "conversion with a layer: exit $?"
tail -n 1 "$dir/layer.out" | grep -q '"end":{"error":"","failed":false,"finished":true}' ||
    fail "the last record is not a finished end: $(tail -n 1 "$dir/layer.out")"
grep -q '^{"progress":' "$dir/layer.out" || fail "no progress record"
grep -vq '^{"\(progress\|log\|end\)":' "$dir/layer.out" && fail "a line that is not a record"
pixel() { # file x y -> "r g b"
    "$ffmpeg" -v error -ss 0.5 -i "$1" -frames:v 1 -vf "format=rgb24,crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - |
        od -An -tu1 | tr -s ' ' | sed 's/^ //'
}
read -r r g b <<<"$(pixel "$dir/layer.mov" 10 10)"
[ "${r:-0}" -gt 200 ] && [ "${g:-255}" -lt 60 ] && [ "${b:-255}" -lt 60 ] ||
    fail "the layer's box is not red: $r $g $b"
# Far from the layer the two encodings agree within the encoder's noise.
read -r r1 g1 b1 <<<"$(pixel "$dir/layer.mov" 150 110)"
read -r r2 g2 b2 <<<"$(pixel "$dir/plain.mov" 150 110)"
awk -v a="$r1 $g1 $b1" -v b="$r2 $g2 $b2" 'BEGIN { split(a, x); split(b, y)
    for (i = 1; i <= 3; ++i) if (x[i] - y[i] > 16 || y[i] - x[i] > 16) exit 1 }' ||
    fail "the picture changed outside the layer: $r1 $g1 $b1 against $r2 $g2 $b2"

# Pause holds the conversion (no progress while paused); stop then ends it with an output
# that plays, up to where it was stopped.
"$ffmpeg" -v error -f lavfi -i testsrc2=size=640x480:rate=25:duration=40 -f lavfi \
    -i sine=duration=40 -c:v libx264 -preset ultrafast -c:a aac "$dir/long.mp4" ||
    fail "the ffmpeg tool could not make the long clip"
mkfifo "$dir/in"
"$worker" <"$dir/in" >"$dir/long.out" 2>/dev/null &
exec 3>"$dir/in"
describe "$dir/long.mp4" "$dir/long.mov" -9223372036854775808 >&3
# Pause once pictures are coming, so that the stop below has something to finish (a slow
# build, as under the race checker, may take seconds to the first one).
for _ in $(seq 300); do
    grep -q '^{"progress":.*"frame":[1-9]' "$dir/long.out" && break
    sleep 0.1
done
echo pause >&3
sleep 2
before=$(grep -c '^{"progress":' "$dir/long.out")
sleep 2
[ "$(grep -c '^{"progress":' "$dir/long.out")" = "$before" ] || fail "progress went on while paused"
# Resumed and stopped at once: on a fast machine the rest of the clip converts in a second.
{ echo resume; echo stop; } >&3
# The worker waits for further tasks until its input ends.
exec 3>&-
wait %1
code=$?
[ "$code" = 0 ] || fail "a stopped conversion exits $code"
tail -n 1 "$dir/long.out" | grep -q '"failed":false' ||
    fail "a stop was taken for a failure: $(tail -n 1 "$dir/long.out")"
length=$("$ffmpeg" -i "$dir/long.mov" -f null - 2>&1 | sed -n 's/.*time=\([0-9:.]*\).*/\1/p' | tail -1)
case "$length" in
00:00:[0-3]*) ;;
*) fail "the stopped output is not shorter than the source: $length" ;;
esac

# Tasks one after another in one worker: each ends with its own record, and a command that
# comes after a task has ended (a runner's stop that crossed the end) does not touch the next.
mkfifo "$dir/two.in"
"$worker" <"$dir/two.in" >"$dir/two.out" 2>/dev/null &
exec 4>"$dir/two.in"
describe "$media/clip.avi" "$dir/first.mov" 1000000 >&4
for _ in $(seq 600); do
    grep -q '^{"end"' "$dir/two.out" && break
    sleep 0.1
done
{ echo stop; describe "$media/clip.avi" "$dir/second.mov" 1000000; } >&4
exec 4>&-
wait %1 || fail "two tasks in one worker: exit $?"
[ "$(grep -c '^{"end":{"error":"","failed":false,"finished":true}}' "$dir/two.out")" = 2 ] ||
    fail "two tasks did not both finish: $(grep '^{"end"' "$dir/two.out")"
for output in first second; do
    "$ffmpeg" -v error -i "$dir/$output.mov" -f null - || fail "$output.mov does not play"
done

# Qt is loaded only for layers: the worker links none of it, and a worker whose drawing
# module is missing still converts tasks without layers (colour passes included), while a
# task with a layer ends failed with the reason and no output.
if ldd "$worker" | grep -q 'libQt6'; then
    fail "the worker links Qt: $(ldd "$worker" | grep libQt6 | tr -d '\t')"
fi
mkdir -p "$dir/alone"
cp "$worker" "$dir/alone/tovik-worker"
colours='{"Input":{"FileName":"%s"},"Output":{"FileName":"%s","VideoCodec":"mpeg4","AudioCodec":"aac","Duration":1000000},"Effects":{"Brightness":%s,"Overlays":[%s]}}\n'
printf "$colours" "$media/clip.avi" "$dir/alone-plain.mov" 200 "" | "$dir/alone/tovik-worker" >"$dir/alone-plain.out" 2>/dev/null ||
    fail "a task without layers needs the drawing module: $(tail -n 1 "$dir/alone-plain.out")"
"$ffmpeg" -v error -i "$dir/alone-plain.mov" -f null - || fail "alone-plain.mov does not play"
read -r r1 g1 b1 <<<"$(pixel "$dir/alone-plain.mov" 150 110)"
# 255 is the neutral brightness: 200 darkens.
[ "$((r1 + g1 + b1 + 60))" -lt "$((r2 + g2 + b2))" ] ||
    fail "brightness was not applied without the module: $r1 $g1 $b1 against $r2 $g2 $b2"
printf "$colours" "$media/clip.avi" "$dir/alone-layer.mov" 128 "$layer" | "$dir/alone/tovik-worker" >"$dir/alone-layer.out" 2>/dev/null
[ $? = 1 ] || fail "a task with a layer and no drawing module does not exit 1"
tail -n 1 "$dir/alone-layer.out" | grep -q '"end":{"error":"Cannot draw the layers: [^"]*tovik-layers.so[^"]*","failed":true' ||
    fail "the missing module is not the reason given: $(tail -n 1 "$dir/alone-layer.out")"
[ -e "$dir/alone-layer.mov" ] && fail "a task that could not draw its layers left an output"

# A broken description: exit status 2 and an end record that says why.
echo '{"Output": {"Volume": "loud"}}' | "$worker" >"$dir/bad.out" 2>/dev/null
code=$?
[ "$code" = 2 ] || fail "a broken description exits $code"
grep -q '"error":"Task description: Output.Volume must be a whole number"' "$dir/bad.out" ||
    fail "the refusal does not say why: $(cat "$dir/bad.out")"
: | "$worker" >"$dir/none.out" 2>/dev/null
[ $? = 2 ] || fail "no description does not exit 2"

[ "$status" = 0 ] && echo "worker: all checks passed"
exit "$status"
