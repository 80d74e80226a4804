#!/usr/bin/env bash
# Builds the benchmarks in Release and prints frames/s and MB/s per case.
#   scripts/bench.sh [extra Google Benchmark options, e.g. --benchmark_filter=Kiss]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

dir=build-bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_BENCH=ON -DTW_TESTS=OFF >/dev/null
cmake --build "$dir" --target tw_bench tw_bench_component tw_bench_control -j "$(nproc)"

json="$dir/bench.json"
"$dir/bin/tw_bench" --benchmark_out="$json" --benchmark_out_format=json "$@"

echo
echo "Summary (MB = 10^6 bytes):"
awk '
  /"name":/             { gsub(/[",]/, "", $2); name = $2 }
  /"bytes_per_second":/ { gsub(/,/, "", $2); bytes = $2 }
  /"items_per_second":/ { gsub(/,/, "", $2); items = $2 }
  /^    }/ {
    if (name != "") printf "  %-40s %14.0f frames/s %10.1f MB/s\n", name, items, bytes / 1e6
    name = ""; bytes = 0; items = 0
  }
' "$json"

echo
echo "The component against the bare link:"
"$dir/bin/tw_bench_component" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true | sed -n '/^connected data/,$p'

echo
echo "The control's dispatch surface against the component:"
"$dir/bin/tw_bench_control" --benchmark_min_time=1
