#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs what is missing (Debian 12), configures and
# builds into build/. Idempotent: a second run only rebuilds what changed.
set -euo pipefail

TOVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TOVIK_BUILD="$TOVIK_ROOT/build"

tovik_packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
    libavfilter-dev libavdevice-dev libsdl2-dev
    ffmpeg libgtest-dev libgmock-dev libbenchmark-dev
    fonts-dejavu-core xvfb xauth
    clang-format clang-tidy clang libclang-rt-14-dev
    desktop-file-utils appstream jq nlohmann-json3-dev
)

tovik_install_missing() {
    local missing=()
    local package
    for package in "${tovik_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            sudo="sudo"
        else
            echo "Missing packages and no permission to install them: ${missing[*]}" >&2
            echo "Install them with: sudo apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

tovik_build() {
    local cmake_args=(-G Ninja -S "$TOVIK_ROOT" -B "$TOVIK_BUILD" -DTOVIK_WERROR=ON "$@")
    if [ ! -f "$TOVIK_BUILD/CMakeCache.txt" ]; then
        cmake "${cmake_args[@]}"
    fi
    cmake --build "$TOVIK_BUILD" --parallel "$(nproc)"
}

# The format-profile file belongs in the settings folder; the program never writes it.
tovik_install_profile() {
    "$TOVIK_ROOT/scripts/install-profile.sh" "$TOVIK_ROOT/data/tovikavimovformat.ini"
}
