#!/usr/bin/env bash
# Removes an installation of Ostrel.
#   scripts/uninstall.sh               what scripts/install.sh installed for the current user
#   scripts/uninstall.sh --prefix P    what `cmake --install build --prefix P` installed into P
set -euo pipefail

if [ $# -eq 2 ] && [ "$1" = "--prefix" ]; then
    targets=("$2/lib/vst3/Ostrel.vst3" "$2/lib/lv2/Ostrel.lv2" "$2/bin/Ostrel")
elif [ $# -eq 0 ]; then
    targets=("$HOME/.vst3/Ostrel.vst3" "$HOME/.lv2/Ostrel.lv2" "$HOME/.local/bin/Ostrel")
else
    echo "usage: $0 [--prefix PREFIX]" >&2
    exit 2
fi

for target in "${targets[@]}"; do
    if [ -e "$target" ]; then
        rm -rf "$target"
        echo "Removed $target"
    fi
done
