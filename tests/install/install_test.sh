#!/bin/sh
# Installs the build into a fresh prefix with `cmake --install`, checks that the bundles land where
# hosts look for them (lib/vst3, lib/lv2) and that lilv finds the installed LV2 bundle there, then
# removes them with scripts/uninstall.sh --prefix.
# usage: install_test.sh CMAKE BUILD_FOLDER SOURCE_FOLDER LV2LS LV2_URI
set -u
cmake=$1 build=$2 source=$3 lv2ls=$4 uri=$5

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

"$cmake" --install "$build" --prefix "$prefix" > /dev/null || fail "cmake --install failed"

for file in lib/vst3/Ostrel.vst3/Contents/*-linux/Ostrel.so lib/lv2/Ostrel.lv2/libOstrel.so \
    lib/lv2/Ostrel.lv2/manifest.ttl lib/lv2/Ostrel.lv2/dsp.ttl bin/Ostrel; do
    [ -f "$prefix"/$file ] || fail "$file is not installed"
done

LV2_PATH=$prefix/lib/lv2 "$lv2ls" | grep -Fxq "$uri" || fail "lilv does not find $uri in the installed bundle"
cmp -s "$build"/Ostrel_artefacts/*/LV2/Ostrel.lv2/dsp.ttl "$prefix/lib/lv2/Ostrel.lv2/dsp.ttl" \
    || fail "the installed dsp.ttl is not the corrected one of the build"

bash "$source/scripts/uninstall.sh" --prefix "$prefix" > /dev/null || fail "uninstall.sh failed"
left=$(find "$prefix" -name 'Ostrel*')
[ -z "$left" ] || fail "uninstall.sh left $left"
echo "PASS"
