#!/usr/bin/env bash
# scripts/run.sh before it sets anything up: its usage, and the engine it
# probes, read from the same arguments tidewire gets.
#   run_script_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# arguments (split on '|') => host port, or "refused: <what standard error says>"
cases=(
  "N0CALL => 127.0.0.1 8000"
  "N0CALL,1,true => 127.0.0.1 8000"
  "N0CALL,1,true,18530,18608 => 127.0.0.1 18530"
  "N0CALL,1,true,,18608 => refused: run.sh: the engine port '' is not a port number (1 to 65535)"
  "N0CALL,|2,|false,|18530 => 127.0.0.1 18530"
  "N0CALL, 2, false, 018530 => 127.0.0.1 18530"
  "N0CALL,1,true,+8005 => 127.0.0.1 8005"
  "--engine-host|192.0.2.7|G4XYZ,1,true,8001 => 192.0.2.7 8001"
  "--engine-host=192.0.2.8|--console|G4XYZ,1,true,8002 => 192.0.2.8 8002"
  "--listen-address|0.0.0.0|--host-mode|G4XYZ,1,true,8003 => 127.0.0.1 8003"
  "--|G4XYZ,1,true,8004 => 127.0.0.1 8004"
  "N0CALL,1,true,0 => refused: run.sh: the engine port '0' is not a port number (1 to 65535)"
  "N0CALL,1,true,65536 => refused: run.sh: the engine port '65536' is not a port number (1 to 65535)"
  "N0CALL,1,true,18530x => 127.0.0.1 18530"
  "N0CALL,1,true,x18530 => refused: run.sh: the engine port 'x18530' is not a port number (1 to 65535)"
  "N0CALL,1,true,99999999999999 => refused: run.sh: the engine port '99999999999999' is not a port number (1 to 65535)"
  "--engine-host= => refused: run.sh: --engine-host needs an address"
)
for entry in "${cases[@]}"; do
  given=${entry%% => *}
  want=${entry#* => }
  IFS='|' read -r -a args <<<"$given"
  got=$(
    source "$source_dir/scripts/lib/engine_address.sh"
    if engine_address "${args[@]}" 2>/tmp/engine_address.$$; then
      echo "$engine_host $engine_port"
    else
      echo "refused: $(cat /tmp/engine_address.$$)"
    fi
    rm -f /tmp/engine_address.$$
  )
  [[ "$got" == "$want" ]] || fail "run.sh ${args[*]}: got '$got', wanted '$want'"
done

# --help: the usage on standard output, status 0; no arguments: the usage
# on standard error, status 1. Neither sets anything up.
status=0
out=$(bash "$source_dir/scripts/run.sh" --help 2>&1) || status=$?
[[ "$status" == 0 && "$out" == usage:* && "$out" != *setup* ]] || fail "run.sh --help: status $status: $out"
status=0
out=$(bash "$source_dir/scripts/run.sh" 2>/dev/null) || status=$?
[[ "$status" == 1 && -z "$out" ]] || fail "run.sh without arguments: status $status, standard output: $out"

((failures == 0)) || exit 1
echo "run script test passed (${#cases[@]} command lines)"
