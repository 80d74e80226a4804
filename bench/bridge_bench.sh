#!/usr/bin/env bash
# tidewire's figures, in a Release build:
#  (a) relay throughput: MEGABYTES in data blocks over ten streams through
#      tidewire to the loopback engine's echo station (unpaced) and back,
#      against a plain TCP relay (socat, to a socat echo) carrying the same
#      blocks from the same client in the same run;
#  (b) the latency tidewire adds to one 100-byte block on its way from the
#      mail client to the engine, median and 99th percentile;
#  (c) tidewire's resident memory with ten busy streams;
#  (d) tidewire's CPU time over IDLE seconds idle with a client connected.
#   bash bench/bridge_bench.sh [MEGABYTES, default 100] [IDLE, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
megabytes=${1:-100}
idle=${2:-60}

scripts/setup.sh
dir=build-bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_BENCH=ON -DTW_TESTS=OFF >/dev/null
cmake --build "$dir" --target tidewire loopback-engine tw-bridge-bench -j "$(nproc)" | tail -n 1
bin=$dir/bin
work=$(mktemp -d)
pids=()
cleanup() {
  local status=$?
  if ((status != 0)); then
    echo "--- tidewire's log ends:" >&2; tail -n 20 "$work/tidewire.log" >&2 || true
    echo "--- the engine's log ends:" >&2; tail -n 20 "$work/engine.log" >&2 || true
  fi
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

answers() { timeout 1 bash -c ": </dev/tcp/127.0.0.1/$1" 2>/dev/null; }
free_port() {
  local port
  while true; do
    port=$(shuf -i 20000-32000 -n 1)
    answers "$port" || { echo "$port"; return; }
  done
}
wait_for() {  # file text
  for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return; sleep 0.1; done
  echo "bridge_bench: \"$2\" never appeared in $1:" >&2; cat "$1" >&2; exit 1
}
wait_listening() {
  for _ in $(seq 100); do answers "$1" && return; sleep 0.1; done
  echo "bridge_bench: nothing listens on $1" >&2; exit 1
}
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }

"$bin/loopback-engine" --port 0 --ports 10 >"$work/engine.log" 2>&1 &
pids+=($!)
wait_for "$work/engine.log" "listening on"
engine=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/engine.log")

listen=$(free_port)
TIDEWIRE_COM_REGISTRY=$work/com-registry "$bin/tidewire" --listen-address 127.0.0.1 \
  "N0CALL,1,true,$engine,$listen" >"$work/tidewire.log" 2>&1 &
tidewire=$!
pids+=($tidewire)
wait_for "$work/tidewire.log" "MyCall: N0CALL"
rss_start=$(awk '/VmRSS/ {print $2}' "/proc/$tidewire/status")

echo_port=$(free_port)
socat "TCP-LISTEN:$echo_port,bind=127.0.0.1,fork,reuseaddr" PIPE &
pids+=($!)
relay_port=$(free_port)
socat "TCP-LISTEN:$relay_port,bind=127.0.0.1,fork,reuseaddr" "TCP:127.0.0.1:$echo_port" &
pids+=($!)
wait_listening "$echo_port"
wait_listening "$relay_port"

echo "running: ${megabytes} MB each way through tidewire, then through socat; latency; ${idle} s idle"
bridge=$("$bin/tw-bridge-bench" throughput "$listen" "$megabytes" "$tidewire")
relay=$("$bin/tw-bridge-bench" relay "$relay_port" "$megabytes")
latency=$("$bin/tw-bridge-bench" latency "$listen" "$engine" 500)
quiet=$("$bin/tw-bridge-bench" idle "$listen" "$tidewire" "$idle")

b=$(field mbps "$bridge"); r=$(field mbps "$relay")
echo
echo "(a) relay throughput, $(field bytes "$bridge") bytes in 128-byte data blocks over ten streams to the echo and back:"
echo "    tidewire + loopback engine:   $b MB/s ($(field seconds "$bridge") s)"
echo "    socat relay + socat echo:     $r MB/s ($(field seconds "$relay") s)"
echo "    ratio: $(awk -v b="$b" -v r="$r" 'BEGIN { printf "%.3f", b / r }') (goal >= 0.9 on an idle machine; load average now $(cut -d' ' -f1-3 /proc/loadavg))"
echo "(b) one 100-byte block from the sender to the far station, 500 samples:"
echo "    engine alone (raw client):    median $(field direct_median_us "$latency") us, p99 $(field direct_p99_us "$latency") us"
echo "    mail client through tidewire: median $(field bridged_median_us "$latency") us, p99 $(field bridged_p99_us "$latency") us"
echo "    added by tidewire:            median $(field added_median_us "$latency") us, p99 $(field added_p99_us "$latency") us"
echo "(c) tidewire resident memory: $rss_start kB at start, $(field rss_kb "$bridge") kB at most with ten busy streams (sampled VmRSS; VmHWM then $(field hwm_kb "$bridge") kB)"
echo "(d) tidewire CPU time over $(field seconds "$quiet") s idle with a client connected: $(field cpu_seconds "$quiet") s (client still connected: $(field connected "$quiet"))"
