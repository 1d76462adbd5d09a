#!/usr/bin/env bash
# Makes the small media files the tests read. Usage: make_test_media.sh FFMPEG OUTDIR
# Each script in fixtures.d/ adds its own files; they run in name order with the helper
# function `run` (the ffmpeg tool, quiet, overwriting) and the variables $out, $video, $tone.
# Files are made once per build tree; a stamp records the version of all scripts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
ffmpeg=$1
out=$2
mkdir -p "$out"
stamp="$out/.stamp"
version=$(cat "$0" "$here"/fixtures.d/*.sh | sha1sum | cut -c1-12)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
    exit 0
fi
run() { "$ffmpeg" -hide_banner -loglevel error -nostdin -y "$@"; }
video="testsrc2=size=160x120:rate=25"
tone="sine=frequency=440:sample_rate=44100"
for script in "$here"/fixtures.d/*.sh; do
    # shellcheck source=/dev/null
    source "$script"
done
echo "$version" > "$stamp"
