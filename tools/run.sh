#!/usr/bin/env bash
# Set up, build the game (only the game: tests and benchmarks wait for tools/test.sh) and start it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tobbin-jigsaw
exec build/tobbin-jigsaw "$@"
