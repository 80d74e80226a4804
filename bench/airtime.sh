#!/usr/bin/env bash
# Air time of one message through tidewire against a raw engine client, on
# two Dire Wolf engines at 1200 baud joined by simulated audio (the pair of
# the end-to-end tests). Alternating runs of each, per size; prints per run
# and as medians the bytes delivered, whether they arrived exact, the seconds
# from the first block to the called station's report of the disconnect, the
# ratio raw/tidewire, and two gaps read from engine A's output: B's UA heard
# .. A's first data transmission, B's last acknowledgement heard .. A's DISC.
#   bash bench/airtime.sh [RUNS, default 5] [SIZES, default 2000,10000] [--keep]
# BUILD_DIR (default build) is the build to use; it is configured if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
sizes=${2:-2000,10000}
shift $(($# < 2 ? $# : 2))
dir=${BUILD_DIR:-build}

command -v direwolf >/dev/null || { echo "airtime: direwolf is not installed (scripts/setup.sh)" >&2; exit 1; }
if [[ ! -f $dir/build.ninja ]]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TESTS=ON -DTW_BENCH=ON >/dev/null
fi
cmake --build "$dir" --target tw-airtime -j "$(nproc)" | tail -n 1
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$dir/bin/tw-airtime" --runs "$runs" --sizes "$sizes" "$@"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
