#!/usr/bin/env bash
# Builds the core libraries' tests (support, imaging, model, services and the fuzz corpus
# replays) with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs them
# headless. Called at the end of tools/test.sh; any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

suites=(support imaging model services fuzz)
targets=()
for suite in support imaging model services; do
  for source in tests/$suite/*_test.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
done
for source in tests/fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" _fuzz.cpp)_replay")
done

# -O1 keeps the sanitizers' reports exact while the tests run at a useful speed.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DTJ_SANITIZE=ON -DTJ_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan --target "${targets[@]}"
for suite in "${suites[@]}"; do
  [ -d "build-asan/tests/$suite" ] || continue
  ctest --test-dir "build-asan/tests/$suite" --output-on-failure -j2
done
