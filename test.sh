#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
tovik_install_missing
tovik_build
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
cd "$TOVIK_BUILD"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
