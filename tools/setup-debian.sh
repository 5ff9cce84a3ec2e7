#!/usr/bin/env bash
# Installs the Debian 12 packages the game needs to build, run and test. Idempotent:
# quiet and quick when everything is already there. With --extras it also installs what the
# fuzzers, the window shots and the resource scripts need (clang, Xvfb, sox).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-image-formats-plugins
  libplist-dev libplist++-dev zlib1g-dev libdeflate-dev libpng-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 zip imagemagick clang-format
  dpkg-dev file appstream
)
if [ "${1:-}" = "--extras" ]; then
  packages+=(clang libclang-rt-14-dev xvfb xauth xdotool sox)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
