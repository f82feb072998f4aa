#!/usr/bin/env bash
# Installs the Debian packages that building and testing Ostrel need. Idempotent: packages that
# are already present are skipped, and the package lists are refreshed only when something is
# missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    juce-modules-source
    libflac-dev libvorbis-dev libogg-dev libebur128-dev
    libfreetype-dev libfontconfig1-dev libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libasound2-dev libgl-dev libxtst-dev
    libjack-jackd2-dev
    lv2-dev liblilv-dev lilv-utils x11-utils
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth
    clang-format-14
    clang libclang-rt-14-dev
    g++-aarch64-linux-gnu qemu-user
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
