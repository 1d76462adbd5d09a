#!/usr/bin/env bash
# "tovik-cli convert" runs each file in a worker process: a worker that crashes fails only its
# file, the other files convert, the summary comes and the exit status says some failed.
# The worker is wrapped so that it dies of SIGSEGV on the file named "crashing", as a library
# that aborts on a damaged file would make it die. Without a worker, files convert in-process.
# Usage: convert_isolation_test.sh TOVIK_CLI TOVIK_WORKER MEDIA_DIR PROFILE
set -u
cli=$1
worker=$2
media=$3
profile=$4
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$home/in"
cp "$profile" "$XDG_CONFIG_HOME/tovikavimovformat.ini"
status=0
fail() { echo "FAIL: $*"; status=1; }

# The worker dies of SIGSEGV at the description of the file named "crashing".
export TOVIK_REAL_WORKER="$worker" TOVIK_FAIL_ON=crashing TOVIK_FAIL_SIGNAL=SEGV
for name in first crashing last; do
    cp "$media/clip.avi" "$home/in/$name.avi"
done

TOVIK_WORKER_PROGRAM="$(dirname "$0")/../support/failing_worker.sh" "$cli" convert --format 0 --jobs 1 --outdir "$home/out" \
    "$home/in/first.avi" "$home/in/crashing.avi" "$home/in/last.avi" >"$home/out.txt" 2>"$home/err.txt"
code=$?
[ "$code" = 1 ] || fail "exit status $code, expected 1 (some failed)"
[ "$(wc -l <"$home/out.txt")" = 2 ] || fail "written files: $(cat "$home/out.txt")"
grep -q 'first_(new).mov$' "$home/out.txt" || fail "the first file was not converted"
grep -q 'last_(new).mov$' "$home/out.txt" || fail "the file after the crash was not converted"
grep -q 'crashing.avi: The conversion stopped unexpectedly (SIGSEGV)' "$home/err.txt" ||
    fail "the crash is not reported: $(cat "$home/err.txt")"
grep -q 'Converted 2 of 3 file(s).' "$home/err.txt" || fail "no summary: $(cat "$home/err.txt")"
[ ! -e "$home/out/crashing_(new).mov" ] || fail "the crashed file left an output"
for output in $(cat "$home/out.txt"); do
    "$cli" info "$output" >/dev/null || fail "does not open: $output"
done

# A worker that dies in the middle of a file whose output plays up to there (MPEG, format
# 100): the part written is kept. This process has no media libraries of its own in the
# worker path; it loads them to look at what the crash left.
"$cli" info "$home/in/first.avi" >/dev/null || fail "no info for the source"
ffmpeg -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=120 -f lavfi \
    -i sine=duration=120 -c:v mpeg4 -q:v 4 -c:a libmp3lame "$home/in/crashing-late.avi" ||
    fail "the ffmpeg tool could not make the long clip"
TOVIK_FAIL_AFTER=1 TOVIK_WORKER_PROGRAM="$(dirname "$0")/../support/failing_worker.sh" \
    "$cli" convert --format 100 --jobs 1 --outdir "$home/late" "$home/in/crashing-late.avi" \
    >"$home/late.txt" 2>"$home/late.err"
code=$?
[ "$code" = 1 ] || fail "a crash in the middle exits $code, expected 1"
grep -q 'The conversion stopped unexpectedly (SIGSEGV)' "$home/late.err" ||
    fail "the crash in the middle is not reported: $(cat "$home/late.err")"
partial=("$home/late"/*.mpg)
if [ -f "${partial[0]}" ]; then
    "$cli" info "${partial[0]}" >/dev/null || fail "the part kept does not open"
else
    fail "the part written before the crash was removed"
fi

# A tovik-cli copied away from its worker still converts, in its own process.
mkdir -p "$home/alone"
cp "$cli" "$home/alone/tovik-cli"
"$home/alone/tovik-cli" convert --format 0 --outdir "$home/alone-out" "$home/in/first.avi" \
    >"$home/alone.txt" 2>"$home/alone.err" || fail "without a worker: $(cat "$home/alone.err")"
grep -q 'first_(new).mov$' "$home/alone.txt" || fail "without a worker nothing was written"

[ "$status" = 0 ] && echo "convert isolation: all checks passed"
exit "$status"
