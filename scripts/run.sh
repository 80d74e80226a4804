#!/usr/bin/env bash
# Installs what running needs, builds Tidewire and runs it headless with the
# given command line, against the packet engine that command line names
# (engine port, default 8000; --engine-host, default 127.0.0.1). What answers
# there is probed first: a packet engine is used, anything else is refused.
# When nothing answers on this machine, the bundled loopback engine (no
# radio; its station ECHO sends back what it gets) is started on that port
# for as long as Tidewire runs. Ctrl-C ends Tidewire (it disconnects its
# links first).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: bash scripts/run.sh [tidewire options] MYCALL[,defport[,acceptany[,engineport[,listenport]]]]"
  echo "  Sets up and builds what is missing (build/), checks the packet engine on the engine port"
  echo "  (the bundled loopback engine is started there when nothing answers), then runs"
  echo "  build/bin/tidewire --console with these arguments. See build/bin/tidewire --help."
}
if [[ $# -ge 1 && ("$1" == "--help" || "$1" == "-h") ]]; then
  usage
  exit 0
fi
if [[ $# -lt 1 ]]; then
  usage >&2
  exit 1
fi

source scripts/lib/engine_address.sh
engine_address "$@" || exit 1

echo "run.sh: checking the packages that running needs"
scripts/setup.sh run

if [[ ! -f build/CMakeCache.txt ]]; then
  echo "run.sh: configuring build/ (first time; the output goes to build/configure.log)"
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  mkdir -p build
  if ! cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON \
      -DTW_TESTS=OFF -DTW_BENCH=OFF "${launcher[@]}" >build/configure.log 2>&1; then
    cat build/configure.log >&2
    echo "run.sh: configuring failed (above)" >&2
    exit 1
  fi
fi
echo "run.sh: building tidewire, the control, the loopback engine and the engine probe"
cmake --build build --target tidewire loopback-engine engine-probe tw-hostmode-client -j "$(nproc)"

# Probes the engine: 0 a packet engine answered (its report in build/probe.log),
# 2 nothing listens, anything else something that is not a packet engine.
probe() {
  local status=0
  build/bin/engine-probe --host "$engine_host" --port "$engine_port" --timeout 3 >build/probe.log 2>&1 || status=$?
  return "$status"
}
say_found() {
  echo "run.sh: $1 on $engine_host:$engine_port:"
  grep -E '^(Engine version|Ports:|  Port [0-9]+:)' build/probe.log | sed 's/^/run.sh:   /'
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

echo "run.sh: probing for a packet engine on $engine_host:$engine_port"
status=0
probe || status=$?
case "$status" in
  0) say_found "a packet engine answers" ;;
  2)
    if [[ "$engine_host" != 127.0.0.1 && "$engine_host" != localhost && "$engine_host" != ::1 ]]; then
      echo "run.sh: no packet engine answers on $engine_host:$engine_port; Tidewire waits for it"
    else
      echo "run.sh: nothing answers on $engine_host:$engine_port, so the bundled loopback engine is started there"
      echo "run.sh: (no radio: connect to ECHO to try a session; it stops when Tidewire ends; its log: build/loopback-engine.log)"
      # In a session of its own, so that Ctrl-C meant for Tidewire leaves it
      # running until Tidewire has said goodbye to it.
      setsid build/bin/loopback-engine --port "$engine_port" >build/loopback-engine.log 2>&1 &
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
      status=0
      probe || status=$?
      if ((status != 0)); then
        echo "run.sh: the loopback engine does not answer the probe:" >&2
        cat build/probe.log >&2
        exit 1
      fi
      say_found "the loopback engine answers"
    fi
    ;;
  *)
    echo "run.sh: what answers on $engine_host:$engine_port is not a packet engine:" >&2
    sed 's/^/run.sh:   /' build/probe.log >&2
    echo "run.sh: give the engine's AGW port as the fourth field (MYCALL,1,true,PORT) or stop what listens there" >&2
    exit 1
    ;;
esac

echo "run.sh: starting build/bin/tidewire --console $*"
status=0
build/bin/tidewire --console "$@" || status=$?
exit "$status"
