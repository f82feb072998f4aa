#!/usr/bin/env bash
# Sets up the machine, builds Ostrel and installs it for the current user, without root:
# the VST3 bundle into ~/.vst3, the LV2 bundle into ~/.lv2 and the Standalone application into
# ~/.local/bin. scripts/uninstall.sh removes them again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

artefacts=build/Ostrel_artefacts/Release

install_bundle() { # install_bundle BUNDLE FOLDER: replaces FOLDER's copy of BUNDLE
    mkdir -p "$2"
    rm -rf "${2:?}/$(basename "$1")"
    cp -R "$1" "$2/"
    echo "Installed $2/$(basename "$1")"
}

install_bundle "$artefacts/VST3/Ostrel.vst3" "$HOME/.vst3"

if [ -d "$artefacts/LV2/Ostrel.lv2" ]; then
    install_bundle "$artefacts/LV2/Ostrel.lv2" "$HOME/.lv2"
fi

if [ -x "$artefacts/Standalone/Ostrel" ]; then
    install -D -m 755 "$artefacts/Standalone/Ostrel" "$HOME/.local/bin/Ostrel"
    echo "Installed $HOME/.local/bin/Ostrel"
fi
