#!/usr/bin/env bash
# Installs what building and testing Ovarn needs, from Debian's packages.
set -euo pipefail

packages=(juce-modules-source cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev
          xvfb xauth x11-utils fonts-dosis lilv-utils sox ccache)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}"
fi
