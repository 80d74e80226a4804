#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each of them for a while.
#   scripts/fuzz.sh [seconds per target, default 60] [target...]
# Without target names every target that fuzz/CMakeLists.txt declares runs.
# Each target keeps its corpus in fuzz-corpus/<target>; crashes are written
# to fuzz-corpus/<target>-crashes.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

TW_WITH_FUZZ=1 scripts/setup.sh

dir=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTW_FUZZ=ON -DTW_TESTS=OFF -DTW_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_all -j "$(nproc)"

# Each line of fuzz_targets.txt: a target's name and the libFuzzer flags it
# runs with.
declare -A flags
while read -r name options; do
  [[ -n $name ]] && flags[$name]=$options
done <"$dir/fuzz/fuzz_targets.txt"
if (($#)); then
  targets=("$@")
else
  mapfile -t targets < <(cut -d' ' -f1 "$dir/fuzz/fuzz_targets.txt" | grep -v '^$')
fi

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
  corpus=fuzz-corpus/$target
  crashes=fuzz-corpus/$target-crashes
  mkdir -p "$corpus" "$crashes"
  echo "== $target for ${seconds}s"
  read -ra options <<<"${flags[$target]:-}"
  if ! "$dir/bin/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$crashes/" "${options[@]}" 2>"$dir/fuzz/$target.log"; then
    echo "!! $target failed; see $dir/fuzz/$target.log and $crashes/"
    status=1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+[[:space:]]+DONE)' "$dir/fuzz/$target.log" || true
  echo "   corpus: $(find "$corpus" -type f | wc -l) inputs"
done
exit $status
