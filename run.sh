#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tovik Video Converter.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
tovik_install_missing
tovik_build
tovik_install_profile
program="$TOVIK_BUILD/src/app/tovik-converter"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    echo "No display: starting on a virtual X display (xvfb-run)."
    exec xvfb-run -a "$program" "$@"
fi
exec "$program" "$@"
