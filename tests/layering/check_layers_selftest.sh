#!/usr/bin/env bash
# The layering check must catch what it is there for: an upward include, a sideways include
# between layers of one level, and Qt in the media kit; and let downward includes pass.
set -u
check=$(dirname "$0")/check_layers.sh
table=$(dirname "$0")/layers.txt
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/src/{media,engine,player,workspace/core,effects,app} "$tree"/tools
cat >"$tree/src/media/Up.h" <<'X'
#include "workspace/core/Job.h"
X
cat >"$tree/src/engine/Sideways.cpp" <<'X'
#include "player/Player.h"
X
cat >"$tree/src/player/Qt.cpp" <<'X'
#include <QString>
X
cat >"$tree/src/effects/Widgets.cpp" <<'X'
#include <QtWidgets/QWidget>
X
cat >"$tree/src/app/Down.cpp" <<'X'
#include "media/Bitmap.h"
#include "workspace/core/Job.h"
#include <QWidget>
#include "Local.h"
X
out=$("$check" "$tree" "$table")
status=$?
fail() { echo "$out"; echo "SELFTEST FAILED: $1"; exit 1; }
[ $status -ne 0 ] || fail "a tree with bad includes passed"
for file in src/media/Up.h src/engine/Sideways.cpp src/player/Qt.cpp src/effects/Widgets.cpp; do
    grep -q "FAIL: $file" <<<"$out" || fail "$file was not reported"
done
grep -q "FAIL: src/app/Down.cpp" <<<"$out" && fail "downward includes were reported"
rm "$tree"/src/{media/Up.h,engine/Sideways.cpp,player/Qt.cpp,effects/Widgets.cpp}
"$check" "$tree" "$table" >/dev/null || fail "a clean tree failed"
echo "ok: the layering check reports bad includes and passes good ones"
