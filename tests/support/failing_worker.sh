#!/bin/sh
# Stands in for the conversion worker in tests. Every line it is given goes on to the real
# worker (TOVIK_REAL_WORKER, with the same arguments); at a line that contains TOVIK_FAIL_ON
# it dies of TOVIK_FAIL_SIGNAL (SEGV, ABRT, ...) and takes the real worker along, as a worker
# dies when a library crashes on a damaged file. A worker given one task after another must
# die at the right one, so every line is looked at, not only the first. With TOVIK_FAIL_AFTER
# (seconds) it dies that long after passing on the task description instead: in the middle
# of the conversion, with part of the output written.
set -u
folder=$(mktemp -d)
mkfifo "$folder/lines"
"$TOVIK_REAL_WORKER" "$@" <"$folder/lines" &
worker=$!
exec 9>"$folder/lines"
rm -rf "$folder"
while IFS= read -r line; do
    case "$line" in
    *"$TOVIK_FAIL_ON"*)
        if [ -n "${TOVIK_FAIL_AFTER:-}" ]; then
            case "$line" in
            "{"*)
                printf '%s\n' "$line" >&9
                sleep "$TOVIK_FAIL_AFTER"
                ;;
            *)
                printf '%s\n' "$line" >&9
                continue
                ;;
            esac
        fi
        kill -KILL "$worker"
        kill -"$TOVIK_FAIL_SIGNAL" $$
        ;;
    esac
    printf '%s\n' "$line" >&9
done
exec 9>&-
wait "$worker"
