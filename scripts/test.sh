#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and an address/undefined-
# behaviour sanitizer build, both with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  # Tests and benchmarks named: run.sh may have configured build/ without them.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON -DTW_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
}

echo "== normal build"
run_suite build -DTW_BENCH=ON
echo "== sanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DTW_SANITIZE=ON -DTW_BENCH=OFF
