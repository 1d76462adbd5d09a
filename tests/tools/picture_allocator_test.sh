#!/usr/bin/env bash
# Conversions run with the allocator set for picture buffers: the engine command starts itself
# again with GLIBC_TUNABLES, under its own name and with its arguments, and the convert
# command's workers get the setting in their environment. Each reads a named pipe that nobody
# writes, so it waits on its source while its environment is read.
# Usage: picture_allocator_test.sh TOVIK_CLI FORMAT_PROFILE
set -u
cli=$1
profile=$2
dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
export HOME="$dir" XDG_CONFIG_HOME="$dir/config"
mkdir -p "$XDG_CONFIG_HOME" && cp "$profile" "$XDG_CONFIG_HOME/"
status=0
fail() { echo "FAIL: $*"; status=1; }

# Waits for PID's environment to carry the allocator setting; prints it.
tunables_of() {
    local value=""
    for _ in $(seq 100); do
        value=$(tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep '^GLIBC_TUNABLES=')
        [ -n "$value" ] && break
        sleep 0.1
    done
    echo "$value"
}

mkfifo "$dir/engine.avi" "$dir/convert.avi"
unset GLIBC_TUNABLES
"$cli" engine -i "$dir/engine.avi" -vcodec mpeg4 "$dir/out.avi" >/dev/null 2>&1 &
engine=$!
pids+=("$engine")
value=$(tunables_of "$engine")
[[ "$value" == GLIBC_TUNABLES=glibc.malloc.hugetlb=1* ]] ||
    fail "the engine command runs without the allocator setting: '$value'"
[ "$(cat "/proc/$engine/comm" 2>/dev/null)" = "tovik-cli" ] ||
    fail "the engine command shows as '$(cat "/proc/$engine/comm" 2>/dev/null)'"
tr '\0' ' ' <"/proc/$engine/cmdline" | grep -q -- "engine -i $dir/engine.avi -vcodec mpeg4" ||
    fail "the engine command lost its arguments: $(tr '\0' ' ' <"/proc/$engine/cmdline")"

"$cli" convert --jobs 1 --outdir "$dir/out" "$dir/convert.avi" >/dev/null 2>&1 &
convert=$!
pids+=("$convert")
worker=""
for _ in $(seq 100); do
    worker=$(pgrep -P "$convert" tovik-worker | head -n 1)
    [ -n "$worker" ] && break
    sleep 0.1
done
if [ -z "$worker" ]; then
    fail "the convert command started no worker"
else
    pids+=("$worker")
    value=$(tunables_of "$worker")
    [[ "$value" == GLIBC_TUNABLES=glibc.malloc.hugetlb=1* ]] ||
        fail "the worker runs without the allocator setting: '$value'"
fi
# The command line's own process is left as it was started: it converts nothing itself.
tr '\0' '\n' <"/proc/$convert/environ" | grep -q '^GLIBC_TUNABLES=' &&
    fail "the convert command was started again"
exit $status
