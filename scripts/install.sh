#!/usr/bin/env bash
# Sets up the machine, builds Ostrel and installs the plug-in for the current user.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/Ostrel.vst3"
cp -R build/Ostrel_artefacts/Release/VST3/Ostrel.vst3 "$HOME/.vst3/"
echo "Installed $HOME/.vst3/Ostrel.vst3"
