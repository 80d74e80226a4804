#!/usr/bin/env bash
# Runs an example host against a loopback engine on a free port, with a
# registry that does not exist (so the host finds the control beside it), and
# checks that it ends with status 0 after printing the line that the echo
# station sent back.
#   run_example_host.sh <loopback-engine> <host> <the line the host sends>
set -euo pipefail
engine=$1 host=$2 line=$3
work=$(mktemp -d)
engine_pid=
finish() {
  if [[ -n $engine_pid ]]; then kill "$engine_pid" 2>/dev/null || true; wait "$engine_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT

"$engine" --port 0 >"$work/engine.out" &
engine_pid=$!
for _ in $(seq 200); do grep -q listening "$work/engine.out" && break; sleep 0.1; done
port=$(sed -n 's/^loopback-engine listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/engine.out")
if [[ -z $port ]]; then echo "the loopback engine did not start"; exit 1; fi

status=0
TIDEWIRE_COM_REGISTRY=$work/com-registry "$host" "$port" >"$work/host.out" 2>&1 || status=$?
cat "$work/host.out"
if ((status != 0)); then echo "the host ended with status $status"; exit 1; fi
# The line goes out only inside the event that says the channel is up, so
# seeing its text in the output means the echo station sent it back.
if ! grep -qF "$line" "$work/host.out"; then echo "the echoed line was not printed"; exit 1; fi
