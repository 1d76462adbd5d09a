#!/usr/bin/env bash
# Puts the format-profile file into the settings folder ($XDG_CONFIG_HOME, default ~/.config)
# when it is not there yet. The program only ever reads that file; a copy the user has edited
# is never replaced. Usage: install-profile.sh [PROFILE]
# Without PROFILE the file is looked for beside an installed program (../share/tovik) and
# then in the source tree's data folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_file=${1:-}
if [ -z "$source_file" ]; then
    for candidate in "$here/../share/tovik/tovikavimovformat.ini" "$here/../data/tovikavimovformat.ini"; do
        if [ -f "$candidate" ]; then
            source_file=$candidate
            break
        fi
    done
fi
if [ -z "$source_file" ] || [ ! -f "$source_file" ]; then
    echo "install-profile: format-profile file not found${source_file:+: $source_file}" >&2
    exit 1
fi
config=${XDG_CONFIG_HOME:-}
[ -n "$config" ] || config="$HOME/.config"
target="$config/tovikavimovformat.ini"
[ -e "$target" ] && exit 0
mkdir -p "$config"
# Copy beside the target and rename, so that a reader never sees half a file.
temporary=$(mktemp "$config/.tovikavimovformat.ini.XXXXXX")
cp "$source_file" "$temporary"
chmod 0644 "$temporary"
mv -n "$temporary" "$target"
rm -f "$temporary"
echo "Installed the format profiles: $target"
