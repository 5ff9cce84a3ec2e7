#!/usr/bin/env bash
# Builds every test program (support, imaging, model, play, services, app and the fuzz corpus
# replays) with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs them
# headless. Called at the end of tools/test.sh; any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

# -O1 keeps the sanitizers' reports exact while the tests run at a useful speed; line tables
# are all a report needs.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
  -DCMAKE_C_FLAGS_DEBUG="-g1 -O1" -DTJ_SANITIZE=ON -DTJ_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan --target tj_tests
# The crash harness kills the game at random: a sanitizer's report of that is no finding.
ctest --test-dir build-asan --output-on-failure -j2 -LE crash
