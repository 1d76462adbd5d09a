#!/usr/bin/env bash
# Runs one fuzz target for a while: scripts/fuzz.sh TARGET SECONDS
# TARGET: fuzz_ini, fuzz_options, fuzz_probe, fuzz_convert or fuzz_task. Builds build-fuzz/ with clang
# (AddressSanitizer, UBSan, libFuzzer) when needed and makes the seeds. New inputs that grow
# the coverage are kept in build-fuzz/corpus/TARGET; an input that crashes is written to
# build-fuzz/artifacts/ and the script exits non-zero.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: fuzz.sh TARGET SECONDS}
seconds=${2:?usage: fuzz.sh TARGET SECONDS}
build=${TOVIK_FUZZ_BUILD:-$root/build-fuzz}
case "$target" in
fuzz_ini) seeds=ini ;;
fuzz_options) seeds=options ;;
fuzz_probe) seeds=probe ;;
fuzz_convert) seeds=convert ;;
fuzz_task) seeds=task ;;
*)
    echo "fuzz.sh: unknown target $target" >&2
    exit 2
    ;;
esac
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -G Ninja -S "$root" -B "$build" -DTOVIK_FUZZ=ON \
        -DTOVIK_BUILD_GUI=OFF -DTOVIK_BUILD_TESTS=OFF -DTOVIK_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --target "$target" fuzz_seeds
corpus=$build/corpus/$target
mkdir -p "$corpus" "$build/artifacts"
# A failing allocation of a damaged file's claimed size is reported, not taken for a leak of
# ours; the libraries themselves are not instrumented, so leaks inside them go unreported.
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# TOVIK_FUZZ_SEED fixes the order of the inputs tried (CI), so that a run is repeatable.
seed=()
[ -n "${TOVIK_FUZZ_SEED:-}" ] && seed=(-seed="$TOVIK_FUZZ_SEED")
exec "$build/fuzz/$target" "${seed[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$corpus" "$build/fuzz/seeds/$seeds"
