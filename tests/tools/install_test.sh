#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, the installation moved elsewhere, and the
# installed programs run with the source and build trees out of reach: they find their format
# profile in the prefix and the media libraries on the system. The desktop entry and the
# metainfo pass their validators.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR MEDIA_DIR
set -uo pipefail
build=$1
source=$2
media=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
app_id=org.example.tovik.VideoConverter

cmake --install "$build" --prefix "$work/stage" >"$work/install.log" 2>&1 ||
    { echo "FAIL: cmake --install: $(cat "$work/install.log")" >&2; exit 1; }
# Wherever the installation is copied, it keeps working.
mv "$work/stage" "$work/moved"
prefix="$work/moved"
for file in bin/tovik-converter bin/tovik-cli bin/tovik-install-profile lib/tovik/tovik-worker lib/tovik/tovik-layers.so \
    share/tovik/tovikavimovformat.ini share/tovik/help/watermark.html \
    share/applications/$app_id.desktop \
    share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/$app_id.svg \
    share/icons/hicolor/16x16/apps/$app_id.png share/icons/hicolor/48x48/apps/$app_id.png \
    share/icons/hicolor/256x256/apps/$app_id.png \
    share/man/man1/tovik-converter.1.gz share/man/man1/tovik-cli.1.gz; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
gzip -t "$prefix/share/man/man1/tovik-cli.1.gz" || fail "man page is not gzip"
# The installed worker runs and refuses an empty description with its own status.
: | QT_QPA_PLATFORM=offscreen "$prefix/lib/tovik/tovik-worker" >/dev/null 2>&1
[ $? = 2 ] || fail "the installed worker does not answer an empty description with status 2"
grep -q '^Exec=tovik-converter %F$' "$prefix/share/applications/$app_id.desktop" ||
    fail "desktop entry Exec line"
grep -q '^GenericName=Video Converter$' "$prefix/share/applications/$app_id.desktop" ||
    fail "desktop entry generic name"
desktop-file-validate "$prefix/share/applications/$app_id.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/as.log")"
# No path of the build machine stays in the programs' search paths.
if readelf -d "$prefix/bin/tovik-converter" | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
    fail "tovik-converter keeps a run path into the build tree"
fi

cp "$media/clip.avi" "$work/clip.avi"
mkdir -p "$work/home/config" "$work/home/runtime" "$work/run"
chmod 700 "$work/home/runtime"
# The installed programs only, in a bare environment.
run_installed() {
    env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" \
        XDG_RUNTIME_DIR="$work/home/runtime" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
        LANG=C.UTF-8 "$@"
}
# The checks below run with the source and build trees hidden under empty folders when the
# system lets this user make a mount namespace; otherwise the move above is the check.
cat >"$work/installed.sh" <<'SCRIPT'
set -u
cd "$1"
tovik-cli --version || exit 11
tovik-cli convert --format 104 --length 1 --outdir out clip.avi >converted.txt 2>convert.err ||
    { cat convert.err >&2; exit 12; }
[ -f "$XDG_CONFIG_HOME/tovikavimovformat.ini" ] || exit 13
tovik-cli info --json "$(cat converted.txt)" >info.json || exit 14
# A fresh settings folder: the window's first start puts the profile there too.
rm -f "$XDG_CONFIG_HOME/tovikavimovformat.ini"
TOVIK_QUIT_AFTER_MS=500 tovik-converter clip.avi >gui.log 2>&1 || { cat gui.log >&2; exit 15; }
[ -f "$XDG_CONFIG_HOME/tovikavimovformat.ini" ] || exit 16
exit 0
SCRIPT
hide=()
if unshare -m true 2>/dev/null; then
    hide=(unshare -m sh -c 'mount -t tmpfs none "$1" && { [ "$2" = "$1" ] || case "$2" in "$1"/*) true ;; *) mount -t tmpfs none "$2" ;; esac; } && shift 2 && exec "$@"' sh "$source" "$build")
    "${hide[@]}" test ! -e "$source/CMakeLists.txt" || hide=()
fi
[ ${#hide[@]} -gt 0 ] || echo "note: no mount namespace; the installation is only moved"
run_installed "${hide[@]}" bash "$work/installed.sh" "$work"
status=$?
[ "$status" -eq 0 ] || fail "installed programs: step $status failed"
if [ "$status" -eq 0 ]; then
    jq -e '.files[0].format.format_name == "avi" and (.files[0].streams | length == 2)' \
        "$work/info.json" >/dev/null || fail "converted file: $(cat "$work/info.json")"
    cmp -s "$work/home/config/tovikavimovformat.ini" "$source/data/tovikavimovformat.ini" ||
        fail "the profile put in the settings folder is not the installed one"
fi

[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit $((failures > 0))
