#!/bin/bash
# Build everything and run every test: once in a normal build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer with the plain code paths
# only; then run each fuzzer for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
# Warnings are errors here; a developer's own build may leave them on.
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLABELFILTER_TESTS=ON \
  -DLABELFILTER_BENCH=ON -DLABELFILTER_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
# The sanitizer build is also the portable one: its tests run the plain code
# that the vector copies of the page loops stand in for on this machine.
cmake -G Ninja -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLABELFILTER_SANITIZE=ON \
  -DLABELFILTER_PORTABLE=ON -DLABELFILTER_TESTS=ON -DLABELFILTER_BENCH=OFF \
  -DLABELFILTER_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== tests (release build)"
ctest --test-dir build --output-on-failure -j "$jobs"
echo "== tests (sanitizer build)"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
echo "== fuzzing (15 s per harness)"
bash fuzz/run.sh 15
