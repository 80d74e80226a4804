#!/usr/bin/env bash
# The soak for as long as asked: builds tidewire, the loopback engine and the
# soak driver in build/ (only those), then runs the driver at the lowest
# priority so that it shares the machine politely.
#   tests/soak/soak.sh [--minutes M] [--seed N] [--baud B] [--quiet]
# Prints the accounting table; the exit status is the driver's (0: every
# byte accounted for, 1: a loss nothing explains or corrupted data, 2: the
# programs could not be run).
set -euo pipefail
cd "$(dirname "$0")/../.."

dir=${TW_BUILD_DIR:-build}
if [[ ! -f $dir/CMakeCache.txt ]]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON >/dev/null
fi
cmake --build "$dir" --target tw-soak tidewire loopback-engine -j "$(nproc)" >/dev/null
exec nice -n 19 "$dir/bin/tw-soak" "$@"
