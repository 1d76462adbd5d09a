#!/usr/bin/env bash
# Checks the C++ files against .clang-format without changing them.
#   scripts/check-format.sh          every tracked C++ file (what CI runs)
#   scripts/check-format.sh BASE     the C++ files changed since BASE (a commit), and the
#                                    uncommitted ones: the quick check before a commit
# Prints the files that need formatting and exits 1 when there are any. Fix them with
# clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 2; }
if [ $# -ge 1 ]; then
    mapfile -t files < <( { git diff --name-only --diff-filter=ACMR "$1" -- '*.h' '*.cpp';
                            git ls-files --others --exclude-standard -- '*.h' '*.cpp'; } | sort -u)
else
    mapfile -t files < <(git ls-files -- '*.h' '*.cpp')
fi
[ ${#files[@]} -eq 0 ] && { echo "format: no C++ files to check"; exit 0; }
existing=()
for file in "${files[@]}"; do [ -f "$file" ] && existing+=("$file"); done
# One run for all files: each difference is reported as "FILE:LINE:COL: error: ...".
mapfile -t bad < <(clang-format --dry-run --Werror "${existing[@]}" 2>&1 |
                   sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
    echo "format: these files differ from .clang-format (run clang-format -i on them):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
