#!/usr/bin/env bash
# "tovik-cli" on real-world files: a broken file in a batch fails only itself; SIGTERM and
# SIGHUP finish the output as Ctrl+C does; a negative length is refused.
# Usage: realworld_cli_test.sh TOVIK_CLI MEDIA_DIR PROFILE
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

duration_of() { # file: seconds as the probe reads them, empty when it does not open
    "$cli" info "$1" 2>/dev/null | sed -n 's/^Duration: 00:00:\([0-9.]*\).*/\1/p'
}

# Good, broken, good: both good files convert, the status says something failed.
for broken in unknown_fourcc.avi cut_early.mkv; do
    out="$home/batch_${broken%.*}"
    "$cli" convert --format 104 --outdir "$out" --length 1 \
        "$media/clip.avi" "$media/$broken" "$media/steps_h264.mp4" >/dev/null 2>&1
    code=$?
    [ $code -eq 1 ] || fail "batch with $broken: status $code, expected 1"
    for good in clip steps_h264; do
        d=$(duration_of "$out/${good}_(new).avi")
        awk -v d="$d" 'BEGIN { exit !(d >= 0.9 && d <= 1.1) }' ||
            fail "batch with $broken: $good gave duration '$d'"
    done
    [ ! -e "$out/${broken%.*}_(new).avi" ] || fail "batch with $broken: its output was left"
done

# SIGTERM and SIGHUP stop the conversion and still finish the MOV (it has its index).
for signal in TERM HUP; do
    out="$home/stopped_$signal.mov"
    "$cli" engine -re -i "$media/long.avi" -vcodec mpeg4 -acodec aac "$out" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        [ -s "$out" ] && break
        sleep 0.1
    done
    sleep 1
    kill -s "$signal" $pid
    wait $pid
    code=$?
    [ $code -eq 130 ] || fail "SIG$signal: status $code, expected 130 (stopped)"
    d=$(duration_of "$out")
    awk -v d="$d" 'BEGIN { exit !(d > 0.2 && d < 4) }' ||
        fail "SIG$signal: the stopped MOV does not open or is empty (duration '$d')"
done

# A phone video's rotation turns it upright: the filter graph that does it is built in the
# worker, which loads the filter library only then. "As source" keeps the turned size.
sed -i '/^\[formatInfo0\]/,/^\[/ s/^iVideoSize=.*/iVideoSize=0/' "$XDG_CONFIG_HOME/tovikavimovformat.ini"
"$cli" convert --format 0 --outdir "$home/upright" "$media/rotated.mp4" >/dev/null 2>&1
code=$?
[ $code -eq 0 ] || fail "rotated.mp4: status $code, expected 0"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 \
    "$home/upright/rotated_(new).mov" 2>/dev/null)
[ "$size" = "120,160" ] || fail "rotated.mp4: converted size '$size', expected upright 120,160"

# A negative length is refused and leaves no file.
"$cli" engine -i "$media/clip.avi" -t -1 "$home/negative.avi" >/dev/null 2>&1
code=$?
[ $code -eq 1 ] || fail "-t -1: status $code, expected 1"
[ ! -e "$home/negative.avi" ] || fail "-t -1 left a file"
exit $status
