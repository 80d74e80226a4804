#!/usr/bin/env bash
# Builds Tidewire and runs it headless with the given command line, against
# the packet engine on 127.0.0.1:8000. When nothing answers there, the
# bundled loopback engine (no radio; its station ECHO sends back what it
# gets) is started on that port for as long as Tidewire runs.
#   bash scripts/run.sh [tidewire options] MYCALL[,defport[,acceptany[,engineport[,listenport]]]]
# Ctrl-C ends Tidewire (it disconnects its links first).
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 1 || "$1" == "--help" || "$1" == "-h" ]]; then
  echo "usage: bash scripts/run.sh [tidewire options] MYCALL[,defport[,acceptany[,engineport[,listenport]]]]" >&2
  exit 1
fi

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON >/dev/null
cmake --build build --target tidewire loopback-engine tw-hostmode-client -j "$(nproc)" | tail -n 1

engine_answers() {
  timeout 1 bash -c ': </dev/tcp/127.0.0.1/8000' 2>/dev/null
}

engine_pid=
stop_engine() {
  if [[ -n "$engine_pid" ]] && kill -0 "$engine_pid" 2>/dev/null; then
    echo "run.sh: stopping the loopback engine"
    kill -TERM "$engine_pid" 2>/dev/null || true
    wait "$engine_pid" 2>/dev/null || true
  fi
}
trap stop_engine EXIT
# Ctrl-C reaches Tidewire itself; the script stays to stop the engine after it.
trap true INT TERM

if engine_answers || { sleep 1; engine_answers; }; then
  echo "run.sh: using the packet engine on 127.0.0.1:8000"
else
  echo "run.sh: no packet engine answers on 127.0.0.1:8000, so the bundled loopback engine is started there"
  echo "run.sh: (no radio: connect to ECHO to try a session; it stops when Tidewire ends; its log: build/loopback-engine.log)"
  # In a session of its own, so that Ctrl-C meant for Tidewire leaves it
  # running until Tidewire has said goodbye to it.
  setsid build/bin/loopback-engine --port 8000 >build/loopback-engine.log 2>&1 &
  engine_pid=$!
  for _ in $(seq 50); do
    grep -q "listening on" build/loopback-engine.log 2>/dev/null && break
    kill -0 "$engine_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q "listening on" build/loopback-engine.log 2>/dev/null; then
    echo "run.sh: the loopback engine did not start:" >&2
    cat build/loopback-engine.log >&2
    exit 1
  fi
fi

status=0
build/bin/tidewire --console "$@" || status=$?
exit "$status"
