#!/usr/bin/env bash
# Set up, build and run the whole test suite headless. Used by the README and by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
# Every C++ file in the house style (.clang-format): a change that touches a file keeps it so.
tools/check-format.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
# The Debian package, unpacked into a temporary root and run from there.
tools/check-package.sh build
# Every test program again under AddressSanitizer and UndefinedBehaviorSanitizer.
tools/test-sanitized.sh
