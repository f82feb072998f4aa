#!/bin/sh
# The framework's Turtle dump step, which runs after every link of the LV2 bundle, opens the
# plug-in and its editor; it must not write into the home folder of whoever builds.
# usage: check_helper_home.sh LV2_HELPER BUNDLE_FOLDER
set -u
helper=$1 bundle=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
cp -R "$bundle" "$work/Ostrel.lv2"
rm "$work/Ostrel.lv2/dsp.ttl"

HOME=$work/home "$helper" "$work/Ostrel.lv2/libOstrel.so" || { echo "FAIL: the helper failed"; exit 1; }
[ -s "$work/Ostrel.lv2/dsp.ttl" ] || { echo "FAIL: the helper wrote no dsp.ttl"; exit 1; }

left=$(find "$work/home" -mindepth 1)
[ -z "$left" ] || { echo "FAIL: the helper wrote into the home folder:"; echo "$left"; exit 1; }
echo "PASS"
