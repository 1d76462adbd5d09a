#!/usr/bin/env bash
# "tovik-cli formats": every format code with its extension and row text, read from the
# profile given or from the settings folder; a missing profile is reported.
set -euo pipefail
cli=$1
profile=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

output=$("$cli" formats "$profile")
[ "$(grep -cE '^ +[0-9]+ ' <<<"$output")" -eq 18 ] || fail "expected 18 format rows: $output"
for code in 0 100 101 102 103 104 105 106 107 108 109 200 201 202 203 204 205 206; do
    grep -qE "^ +$code " <<<"$output" || fail "format $code missing"
done
grep -qE '^ +0  mov   MOV - Quick Time Video \(\*\.mov\)$' <<<"$output" || fail "row 0: $output"
grep -qE '^ +104  avi   AVI Video \(\*\.avi\)$' <<<"$output" || fail "row 104"
grep -qE '^ +206  ac3   AC-3 Audio Codec \(\*\.ac3\)$' <<<"$output" || fail "row 206"
grep -qx 'General Audio formates' <<<"$output" || fail "group row"

# Default location: the settings folder ($XDG_CONFIG_HOME).
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
if XDG_CONFIG_HOME=$config "$cli" formats >"$config/out" 2>"$config/err"; then
    fail "a missing profile must give a non-zero status"
fi
grep -q "format-profile file not found: $config/tovikavimovformat.ini" "$config/err" ||
    fail "missing profile not reported: $(cat "$config/err")"
cp "$profile" "$config/tovikavimovformat.ini"
XDG_CONFIG_HOME=$config "$cli" formats | grep -qE '^ +108  dv    DV - NTSC' || fail "settings folder profile"
echo "formats command: ok"
