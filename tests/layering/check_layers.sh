#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, of another layer of its own
# level, or a Qt header its layer may not use. The order is in layers.txt beside this script.
# Usage: check_layers.sh REPOSITORY_ROOT [LAYER_TABLE]
set -u
root=$1
table=${2:-$(dirname "$0")/layers.txt}

folders=() levels=() qts=()
while read -r level folder qt; do
    case "$level" in '' | \#*) continue ;; esac
    levels+=("$level") folders+=("$folder") qts+=("$qt")
done <"$table"

# Index of the layer of a path (relative to the root), the longest matching folder; -1 if none.
layer_of() {
    local path=$1 best=-1 best_len=0 i
    for i in "${!folders[@]}"; do
        local f=${folders[$i]}
        if [[ $path == "$f"/* && ${#f} -gt $best_len ]]; then
            best=$i best_len=${#f}
        fi
    done
    echo "$best"
}

status=0
checked=0
cd "$root" || exit 2
while IFS= read -r file; do
    from=$(layer_of "$file")
    [ "$from" -lt 0 ] && continue
    checked=$((checked + 1))
    while IFS= read -r line; do
        header=${line#*[\"<]}
        header=${header%%[\">]*}
        if [[ $line == *"<Q"* ]]; then
            case ${qts[$from]} in
            no) echo "FAIL: $file includes Qt <$header> but ${folders[$from]} is Qt-free"; status=1 ;;
            gui) if [[ $header == QtWidgets* || $header == QApplication* || $header == QWidget* ]]; then
                    echo "FAIL: $file includes <$header> but ${folders[$from]} may use QtGui only"; status=1
                 fi ;;
            esac
            continue
        fi
        # Project headers are named from src/ ("engine/FFmpeg.h") or from the repository root
        # ("tools/..."); a bare name is the file's own folder.
        [[ $header != */* ]] && continue
        to=$(layer_of "src/$header")
        [ "$to" -lt 0 ] && to=$(layer_of "$header")
        [ "$to" -lt 0 ] && continue
        [ "$to" -eq "$from" ] && continue
        if [ "${levels[$to]}" -ge "${levels[$from]}" ]; then
            echo "FAIL: $file (${folders[$from]}, level ${levels[$from]}) includes $header" \
                "(${folders[$to]}, level ${levels[$to]})"
            status=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file")
done < <(find src tools -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort)

echo "checked $checked files against $table"
exit $status
