#!/usr/bin/env bash
# Sets up, builds, installs the plug-ins for this user and renders the demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh -DOVARN_BUILD_TESTS=OFF -DOVARN_BUILD_BENCH=OFF

artefacts=build/Ovarn_artefacts/Release
mkdir -p "$HOME/.vst3" "$HOME/.lv2" "$HOME/.local/bin"
rm -rf "$HOME/.vst3/Ovarn.vst3" "$HOME/.lv2/Ovarn.lv2"
cp -r "$artefacts/VST3/Ovarn.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/Ovarn.lv2" "$HOME/.lv2/"
cp "$artefacts/Standalone/Ovarn" "$HOME/.local/bin/Ovarn"

echo
echo "Installed:"
echo "  VST3        $HOME/.vst3/Ovarn.vst3"
echo "  LV2         $HOME/.lv2/Ovarn.lv2"
echo "  Standalone  $HOME/.local/bin/Ovarn"

if [ -x build/tools/ovarn-render ]; then
    mkdir -p out
    build/tools/ovarn-render -o out/demo.wav --plot out/demo.png
    echo "  Demo        $PWD/out/demo.wav and $PWD/out/demo.png"
fi
