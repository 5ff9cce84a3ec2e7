#!/usr/bin/env bash
# Builds the game and makes its Debian package: build/tobbin-jigsaw_VERSION_ARCH.deb.
# Install it with: sudo apt install ./build/tobbin-jigsaw_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tobbin-jigsaw
rm -f "$build"/tobbin-jigsaw_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/tobbin-jigsaw_*.deb
