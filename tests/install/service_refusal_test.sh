#!/usr/bin/env bash
# The service's start-up check (dist/tidewire-service) as the unit runs it:
# the settings file's variables in its environment (systemd's
# EnvironmentFile=-, so a missing file gives none), the settings file's name
# and the program's command line as arguments. Each configuration that
# cannot work gives its one line on standard error and the status the unit
# names in RestartPreventExitStatus; a good one becomes the program.
#   service_refusal_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
check=$source_dir/dist/tidewire-service
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The status the unit keeps from restarting.
no_restart=$(sed -n 's/^RestartPreventExitStatus=//p' "$source_dir/dist/tidewire.service.in")
[[ -n "$no_restart" ]] || { echo "FAIL: the unit names no RestartPreventExitStatus"; exit 1; }

# Runs the check on settings file $1 (absent when "-"), as the unit would,
# with `printf` standing in for the program.
run_as_unit() {
  local settings=$1
  local -a environment=()
  if [[ -e "$settings" ]]; then
    # systemd's reading of an environment file: KEY=VALUE lines, comments
    # and blank lines left out.
    while IFS= read -r line; do
      [[ "$line" =~ ^[A-Za-z_][A-Za-z0-9_]*= ]] && environment+=("$line")
    done <"$settings"
  fi
  env -i PATH="$PATH" "${environment[@]}" "$check" "$settings" printf '[%s]' --console N0CALL-ARGS \
    >"$work/out" 2>"$work/err"
}

# settings file contents ("-" for no file) | status | the line on standard error
# (for status 0: what the program was started with, on standard output)
cases=(
  "-|$no_restart|refusing to start: the settings file @FILE@ is missing; copy tidewire.env there and put your call-sign in TIDEWIRE_ARGS"
  "TIDEWIRE_ARGS=|$no_restart|refusing to start: no call-sign in TIDEWIRE_ARGS of @FILE@"
  "TIDEWIRE_OPTIONS=--host-mode|$no_restart|refusing to start: no call-sign in TIDEWIRE_ARGS of @FILE@"
  "TIDEWIRE_ARGS=,2,false|$no_restart|refusing to start: no call-sign in TIDEWIRE_ARGS of @FILE@"
  "TIDEWIRE_ARGS=N0CALL|$no_restart|refusing to start: TIDEWIRE_ARGS of @FILE@ still holds the placeholder call-sign N0CALL; put your own there"
  "TIDEWIRE_ARGS=n0call,1,true,8001|$no_restart|refusing to start: TIDEWIRE_ARGS of @FILE@ still holds the placeholder call-sign N0CALL; put your own there"
  "TIDEWIRE_ARGS=N0CALL-7, 2|$no_restart|refusing to start: TIDEWIRE_ARGS of @FILE@ still holds the placeholder call-sign N0CALL; put your own there"
  "TIDEWIRE_ARGS=G4XYZ-1,2,false|0|[--console][N0CALL-ARGS]"
  "TIDEWIRE_ARGS=N0CALLS|0|[--console][N0CALL-ARGS]"
)

for entry in "${cases[@]}"; do
  IFS='|' read -r contents want_status want_line <<<"$entry"
  settings=$work/default-tidewire
  rm -f "$settings"
  [[ "$contents" == "-" ]] || printf '# settings\n%s\n' "$contents" >"$settings"
  want_line=${want_line//@FILE@/$settings}
  status=0
  run_as_unit "$settings" || status=$?
  if ((want_status == 0)); then
    got=$(cat "$work/out")
    [[ ! -s "$work/err" ]] || got="$got (and on standard error: $(cat "$work/err"))"
  else
    got=$(cat "$work/err")
    [[ ! -s "$work/out" ]] || got="$got (and on standard output: $(cat "$work/out"))"
  fi
  if [[ "$status" != "$want_status" || "$got" != "$want_line" ]]; then
    echo "FAIL: settings '$contents': status $status, got: $got"
    echo "      wanted status $want_status: $want_line"
    failures=$((failures + 1))
  fi
done

# The settings file as shipped still holds the placeholder: refused.
status=0
run_as_unit "$source_dir/dist/tidewire.env" || status=$?
if [[ "$status" != "$no_restart" ]] || ! grep -q "placeholder call-sign N0CALL" "$work/err"; then
  echo "FAIL: the shipped settings file was not refused: status $status, $(cat "$work/err")"
  failures=$((failures + 1))
fi

((failures == 0)) || exit 1
echo "service refusal test passed (${#cases[@]} configurations and the shipped settings file)"
