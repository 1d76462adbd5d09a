#!/usr/bin/env bash
# Makes the small media files the tests read. Usage: make_test_media.sh FFMPEG OUTDIR
# Files are made once per build tree; a stamp records the version of this script.
set -euo pipefail
ffmpeg=$1
out=$2
mkdir -p "$out"
stamp="$out/.stamp"
version=$(sha1sum "$0" | cut -c1-12)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
    exit 0
fi
run() { "$ffmpeg" -hide_banner -loglevel error -y "$@"; }
video="testsrc2=size=160x120:rate=25"
tone="sine=frequency=440:sample_rate=44100"

# AVI with MPEG-4 video and MP3 sound, 2 s.
run -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -ac 2 "$out/clip.avi"
# Video only, audio only.
run -f lavfi -i "$video:duration=1" -c:v mpeg4 -q:v 5 "$out/video_only.avi"
run -f lavfi -i "$tone:duration=1" -c:a pcm_s16le "$out/audio_only.wav"

echo "$version" > "$stamp"
