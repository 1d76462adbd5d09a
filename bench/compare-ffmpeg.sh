#!/usr/bin/env bash
# Converts the same clip with "tovik-cli engine" and with the ffmpeg tool, same settings,
# and prints the fastest of the runs and the ratio ours/theirs per line, with the engine's
# stages in one thread (TOVIK_STAGE_THREADS=0, as before the stage threads) beside; then the
# peak memory of a 20 s and a 60 s conversion. Usage: bench/compare-ffmpeg.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-3}
cli="$build/tools/tovik-cli"
work="$build/bench-media"
mkdir -p "$work"
clip="$work/clip720p20.avi"
long="$work/clip720p60.avi"
make_clip() { # seconds file
    [ -f "$2" ] || ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$1" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$1" \
        -c:v mpeg4 -q:v 4 -c:a libmp3lame -b:a 128k -ac 2 "$2"
}
make_clip 20 "$clip"
make_clip 60 "$long"

minimum() { sort -n | head -1; }
seconds() { # command... ; prints wall seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

# name | our options | ffmpeg options | extension
lines=(
    "x264 aac mov 720p|-vcodec libx264 -acodec aac|-c:v libx264 -c:a aac|mov"
    "x264 aac mov 320x240|-vcodec libx264 -acodec aac -s 320x240|-c:v libx264 -c:a aac -s 320x240|mov"
    "mpeg4 mp3 avi|-vcodec mpeg4 -acodec libmp3lame|-c:v mpeg4 -c:a libmp3lame|avi"
    "mpeg2 mp2 mpg|-vcodec mpeg2video -acodec mp2|-c:v mpeg2video -c:a mp2|mpg"
    "wmv2 wmav2 wmv|-vcodec wmv2 -acodec wmav2|-c:v wmv2 -c:a wmav2|wmv"
    "mp3 audio only|-vn -acodec libmp3lame|-vn -c:a libmp3lame|mp3"
)
# One line: name, ours, theirs, ratio, ours in one thread, its ratio.
row() { printf '%-22s %10.2f %10.2f %8.3f %10.2f %8.3f\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)" \
            "$4" "$(echo "$4 / $3" | bc -l)"; }
printf '%-22s %10s %10s %8s %10s %8s\n' "line" "ours(s)" "ffmpeg(s)" "ratio" "1thread(s)" "ratio"
for line in "${lines[@]}"; do
    IFS='|' read -r name ours theirs ext <<<"$line"
    out="$work/out.$ext"
    tovik=()
    ffm=()
    plain=()
    for _ in $(seq "$runs"); do
        # shellcheck disable=SC2086
        tovik+=("$(seconds "$cli" engine -i "$clip" $ours "$out")")
        rm -f "$out"
        # shellcheck disable=SC2086
        ffm+=("$(seconds ffmpeg -hide_banner -loglevel error -y -i "$clip" $theirs "$out")")
        rm -f "$out"
        # shellcheck disable=SC2086
        plain+=("$(seconds env TOVIK_STAGE_THREADS=0 "$cli" engine -i "$clip" $ours "$out")")
        rm -f "$out"
    done
    row "$name" "$(printf '%s\n' "${tovik[@]}" | minimum)" "$(printf '%s\n' "${ffm[@]}" | minimum)" \
        "$(printf '%s\n' "${plain[@]}" | minimum)"
done

# "tovik-cli convert" per format code against the equivalent ffmpeg command, on a 10 s clip,
# with the profile's default choices in a settings folder of its own.
short="$work/clip480p10.avi"
[ -f "$short" ] || ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=640x480:rate=25:duration=10" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=10" \
    -c:v mpeg4 -q:v 4 -c:a libmp3lame -b:a 128k -ac 2 "$short"
config="$work/config"
rm -rf "$config" && mkdir -p "$config"
cp "$(dirname "$0")/../data/tovikavimovformat.ini" "$config/"
for code in 0 100 101 102 103 104 105 106 107 108 109 200 201 202 203 204 205 206; do
    out="$work/convert-$code"
    ours=()
    theirs=()
    plain=()
    for _ in $(seq "$runs"); do
        rm -rf "$out"
        plain+=("$(seconds env TOVIK_STAGE_THREADS=0 XDG_CONFIG_HOME="$config" "$cli" convert --format "$code" --outdir "$out" "$short")")
        rm -rf "$out"
        ours+=("$(seconds env XDG_CONFIG_HOME="$config" "$cli" convert --format "$code" --outdir "$out" "$short")")
        file=$(ls "$out"/* | head -1)
        args=$(env XDG_CONFIG_HOME="$config" "$build/bench/tovik_bench_ffmpeg_args" "$code" "$short" "$file")
        rm -f "$file"
        theirs+=("$(eval seconds ffmpeg -hide_banner -loglevel error -y "$args")")
    done
    row "convert format $code" "$(printf '%s\n' "${ours[@]}" | minimum)" \
        "$(printf '%s\n' "${theirs[@]}" | minimum)" "$(printf '%s\n' "${plain[@]}" | minimum)"
    rm -rf "$out"
done

# A batch of four 20 s 720p files to the default MOV format: "tovik-cli convert" with
# automatic jobs (and one at a time) against the ffmpeg tool converting them one after another
# with the same settings. Fastest of the runs.
batch="$work/batch"
mkdir -p "$batch"
for name in a b c d; do [ -f "$batch/$name.avi" ] || cp "$clip" "$batch/$name.avi"; done
auto=()
single=()
sequential=()
for _ in $(seq "$runs"); do
    rm -rf "$work/batch-out"
    auto+=("$(seconds env XDG_CONFIG_HOME="$config" "$cli" convert --format 0 --outdir "$work/batch-out" "$batch"/?.avi)")
    rm -rf "$work/batch-out"
    single+=("$(seconds env XDG_CONFIG_HOME="$config" "$cli" convert --format 0 --jobs 1 --outdir "$work/batch-out" "$batch"/?.avi)")
    all=$(for name in a b c d; do
        env XDG_CONFIG_HOME="$config" "$build/bench/tovik_bench_ffmpeg_args" 0 "$batch/$name.avi" "$work/batch-out/$name.mov"
    done)
    rm -rf "$work/batch-out" && mkdir -p "$work/batch-out"
    start=$(date +%s.%N)
    while read -r args; do
        eval ffmpeg -nostdin -hide_banner -loglevel error -y "$args" >/dev/null 2>&1
    done <<<"$all"
    end=$(date +%s.%N)
    sequential+=("$(echo "$end - $start" | bc -l)")
done
a=$(printf '%s\n' "${auto[@]}" | minimum)
c=$(printf '%s\n' "${single[@]}" | minimum)
b=$(printf '%s\n' "${sequential[@]}" | minimum)
printf '%-22s %10.2f %10.2f %8.3f\n' "batch 4x720p auto" "$a" "$b" "$(echo "$a / $b" | bc -l)"
printf '%-22s %10.2f %10.2f %8.3f\n' "batch 4x720p jobs 1" "$c" "$b" "$(echo "$c / $b" | bc -l)"
rm -rf "$work/batch-out"

# The cost of the custom hook's picture round trip (a hook that changes nothing).
plain=()
hooked=()
for _ in $(seq "$runs"); do
    plain+=("$(seconds "$cli" engine -i "$clip" -vcodec libx264 -acodec aac "$work/h.mov")")
    hooked+=("$(seconds "$cli" engine -nullhook -i "$clip" -vcodec libx264 -acodec aac "$work/h.mov")")
done
a=$(printf '%s\n' "${plain[@]}" | minimum)
b=$(printf '%s\n' "${hooked[@]}" | minimum)
printf '%-22s %10.2f %10.2f %8.3f\n' "hook round trip" "$b" "$a" "$(echo "$b / $a" | bc -l)"

# The cost of converting in a worker process: the 20 s 720p clip to the default MOV format
# through the worker, against a copy of tovik-cli with no worker beside it (in-process).
alone="$work/alone"
mkdir -p "$alone" && cp "$cli" "$alone/tovik-cli"
worker=()
inprocess=()
for _ in $(seq "$runs"); do
    rm -rf "$work/w-out"
    worker+=("$(seconds env XDG_CONFIG_HOME="$config" "$cli" convert --format 0 --jobs 1 --outdir "$work/w-out" "$clip")")
    rm -rf "$work/w-out"
    inprocess+=("$(seconds env XDG_CONFIG_HOME="$config" "$alone/tovik-cli" convert --format 0 --jobs 1 --outdir "$work/w-out" "$clip")")
done
a=$(printf '%s\n' "${worker[@]}" | minimum)
b=$(printf '%s\n' "${inprocess[@]}" | minimum)
printf '%-22s %10.2f %10.2f %8.3f\n' "worker vs in-process" "$a" "$b" "$(echo "$a / $b" | bc -l)"
rm -rf "$work/w-out" "$alone"

# Peak memory: nothing may grow with the length.
rss() { /usr/bin/time -f '%M' "$cli" engine -i "$1" -vcodec libx264 -acodec aac "$work/m.mov" 2>&1 >/dev/null | tail -1; }
short=$(rss "$clip")
longer=$(rss "$long")
printf 'peak RSS 20 s: %d kB, 60 s: %d kB, ratio %.3f\n' "$short" "$longer" "$(echo "$longer / $short" | bc -l)"
rm -f "$work"/out.* "$work/h.mov" "$work/m.mov"
