#!/usr/bin/env bash
# Sets up the machine, builds Ostrel, installs the plug-in for the current user and renders the demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/Ostrel.vst3"
cp -R build/Ostrel_artefacts/Release/VST3/Ostrel.vst3 "$HOME/.vst3/"
echo "Installed $HOME/.vst3/Ostrel.vst3"

# Show the effect working: render the built-in demo loop and report what it did to the loudness.
renderer=build/tools/ostrel-render/ostrel_render_artefacts/Release/ostrel-render
mkdir -p build/renders
echo
"$renderer" -o build/renders/demo-default.wav
echo
"$renderer" --preset "Punchy Drums" -o build/renders/demo-punchy-drums.wav
