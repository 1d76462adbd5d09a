#!/usr/bin/env bash
# install-profile.sh puts the format-profile file into the settings folder once and never
# replaces a copy that is already there.
set -euo pipefail
script=$1
profile=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

XDG_CONFIG_HOME="$work/config" "$script" "$profile" >/dev/null
cmp -s "$profile" "$work/config/tovikavimovformat.ini" || fail "not installed"
[ "$(find "$work/config" -name '.tovik*' | wc -l)" -eq 0 ] || fail "temporary file left"

echo "; edited by the user" >>"$work/config/tovikavimovformat.ini"
XDG_CONFIG_HOME="$work/config" "$script" "$profile" >/dev/null
grep -q "edited by the user" "$work/config/tovikavimovformat.ini" || fail "user copy replaced"

# Without XDG_CONFIG_HOME: ~/.config; without an argument: the source tree's data folder.
HOME="$work/home" XDG_CONFIG_HOME="" "$script" >/dev/null
cmp -s "$profile" "$work/home/.config/tovikavimovformat.ini" || fail "default folder or source"

if XDG_CONFIG_HOME="$work/other" "$script" "$work/missing.ini" 2>/dev/null; then
    fail "a missing source must fail"
fi
[ ! -e "$work/other/tovikavimovformat.ini" ] || fail "nothing may be written for a missing source"
echo "install-profile: ok"
