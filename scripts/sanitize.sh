#!/usr/bin/env bash
# Builds everything but the windows with AddressSanitizer + UndefinedBehaviorSanitizer into
# build-asan/ and runs those tests: scripts/sanitize.sh [CTEST-ARGUMENTS...]
# The media libraries are loaded at run time and not instrumented; our code around them is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOVIK_ASAN_BUILD:-$root/build-asan}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -G Ninja -S "$root" -B "$build" -DTOVIK_ASAN=ON -DTOVIK_WERROR=ON \
        -DTOVIK_BUILD_GUI=OFF -DTOVIK_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# Leaks inside the uninstrumented libraries cannot be told from ours by their stacks alone;
# leak checking stays on for the code that is instrumented.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
