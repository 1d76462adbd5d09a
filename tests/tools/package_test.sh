#!/usr/bin/env bash
# The Debian package builds with CPack, holds the installed files under /usr and depends on
# the packages of the libraries the programs load at run time.
# Usage: package_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
    { echo "FAIL: cpack: $(cat "$work/cpack.log")" >&2; exit 1; }
package=$(ls "$work"/tovik-converter_*_*.deb 2>/dev/null | head -1)
[ -n "$package" ] || { echo "FAIL: no package in $work" >&2; exit 1; }
dpkg-deb --info "$package" >"$work/info" || fail "dpkg-deb --info"
depends=$(sed -n 's/^ Depends: //p' "$work/info")
for needed in libavcodec59 libavformat59 libavutil57 libswscale6 libswresample4 libavfilter8 \
    libsdl2-2.0-0 libqt6widgets6 libqt6network6 qt6-qpa-plugins libc6; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "no dependency on $needed: $depends"
done
grep -q '^ Package: tovik-converter$' "$work/info" || fail "package name: $(cat "$work/info")"
grep -q '^ Section: video$' "$work/info" || fail "section"
dpkg-deb --contents "$package" >"$work/contents" || fail "dpkg-deb --contents"
for file in usr/bin/tovik-converter usr/bin/tovik-cli usr/share/tovik/tovikavimovformat.ini \
    usr/share/tovik/help/watermark.html \
    usr/share/applications/org.example.tovik.VideoConverter.desktop \
    usr/share/metainfo/org.example.tovik.VideoConverter.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.example.tovik.VideoConverter.svg \
    usr/share/icons/hicolor/48x48/apps/org.example.tovik.VideoConverter.png \
    usr/share/man/man1/tovik-cli.1.gz; do
    grep -qE " \./$file\$" "$work/contents" || fail "not in the package: $file"
done
# Every package the dependencies name exists on this system (they were installed to build).
for name in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/ //g'); do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" ||
        fail "dependency $name is not a package installed here"
done
[ "$failures" -eq 0 ] && echo "package: all checks passed ($(basename "$package"))"
exit $((failures > 0))
