#!/usr/bin/env bash
# The window under a virtual X server: tidewire starts against the loopback
# engine and shows the engine's version line in its log, the engine's and the
# client's state and the stream table; Help opens with the "strmread.txt"
# the build put beside the program, then with the one in the working
# directory; About opens and closes; Save log... writes the log box to the
# file the chooser is given;
# Escape leaves the main window open; closing it while a stream holds a link
# asks first (Cancel keeps it), and once confirmed runs the shutdown (the
# link ended at the engine, the call-sign unregistered) and the program exits
# with status 0. The window writes what it shows to a probe file
# (TIDEWIRE_UI_PROBE), which is what is checked.
#   window_smoke_test.sh TIDEWIRE LOOPBACK_ENGINE STRMREAD_TXT CLOSE_WINDOW HOSTMODE_CLIENT
set -euo pipefail

tidewire=$1
engine=$2
helpfile=$3
close_window=$4
client=$5

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe"; cat "$work/probe" 2>/dev/null || true
  echo "--- tidewire"; cat "$work/tidewire.out" 2>/dev/null || true
  echo "--- engine (last lines)"; tail -20 "$work/engine.err" 2>/dev/null || true
  exit 1
}

# Waits (at most 30 s) until the probe file has a line matching $1.
await() {
  for _ in $(seq 300); do
    grep -q -- "$1" "$work/probe" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the window never showed: $1"
}

# A display of our own: Xvfb picks a free number and writes it to fd 3.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 display <&3 || fail "Xvfb did not start"
export DISPLAY=":$display"

"$engine" --port 0 --trace 3 >"$work/engine.out" 2>"$work/engine.err" &
pids+=($!)
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/engine.out")
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "${port:-}" ]] || fail "the loopback engine did not start"

# A free port for the mail client: one the system hands a second engine.
"$engine" --port 0 >"$work/spare.out" 2>/dev/null &
spare=$!
for _ in $(seq 100); do
  listen=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/spare.out")
  [[ -n "$listen" ]] && break
  sleep 0.1
done
kill "$spare"; wait "$spare" 2>/dev/null || true
[[ -n "${listen:-}" ]] || fail "no free port"

cd "$work"
TIDEWIRE_UI_PROBE="$work/probe" TIDEWIRE_COM_REGISTRY="$work/registry" \
  "$tidewire" --status-port 0 "N0CALL,1,true,$port,$listen" >"$work/tidewire.out" 2>&1 &
tidewire_pid=$!
pids+=($tidewire_pid)

await "^VOKPE version "
grep -q "^caption=Tidewire streams 2.2$" probe || fail "caption"
grep -q "^mycall=N0CALL$" probe || fail "MyCall box"
grep -q "^port= 1$" probe || fail "default radio port box"
grep -q "^accept=ANY$" probe || fail "accept box"

# The state below the boxes: the engine up, no client yet, ten free streams.
await "^engine=Engine 127.0.0.1:$port: up, version "
grep -q "^client=Client: none, listening on 0.0.0.0 port $listen$" probe || fail "client line"
[[ $(grep -c "^stream=[A-J]|disconnected|||||$" probe) -eq 10 ]] || fail "stream table"

window=$(xdotool search --sync --name "^Tidewire streams 2.2$" | head -1)
key() { xdotool key --window "$1" "$2" 2>/dev/null || true; }

# Help without the file in the working directory: the copy the build put
# beside the program.
key "$window" alt+h
await "^help=shown$"
grep -q "^help-source=$(dirname "$tidewire")/strmread.txt$" probe || fail "help from beside the program"
grep -q "^help-head=Tidewire streams - help$" probe || fail "help text beside the program"
help=$(xdotool search --sync --name "^Tidewire Help$" | head -1)
key "$help" Escape
await "^help=hidden$"

# Help with the file in the working directory: read again when shown again.
cp "$helpfile" "$work/strmread.txt"
key "$window" alt+h
await "^help-source=strmread.txt$"
grep -q "^help=shown$" probe || fail "help shown again"
grep -q "^help-head=Tidewire streams - help$" probe || fail "help text"

key "$window" alt+a
await "^about=shown$"
sleep 0.5
key "$(xdotool getactivewindow 2>/dev/null || echo "$window")" Return || true
xdotool key Return 2>/dev/null || true
await "^about=hidden$"

# Save log...: the chooser offers tidewire.log in the working directory, and
# Return takes it; the file holds the log box as shown, CR LF line ends.
key "$window" alt+s
chooser=$(xdotool search --sync --name "^Save log$" | head -1)
sleep 0.5
key "$chooser" Return
for _ in $(seq 100); do
  [[ -s "$work/tidewire.log" ]] && break
  sleep 0.1
done
[[ -s "$work/tidewire.log" ]] || fail "Save log wrote no tidewire.log"
grep -q $'^EVENT: PE is ready\r$' "$work/tidewire.log" || fail "the saved log lacks the engine's line"
grep -q $'^listening for the client on 0.0.0.0 port '"$listen"$'\r$' "$work/tidewire.log" ||
  fail "the saved log lacks the listening line"
[[ $(grep -c $'\r$' "$work/tidewire.log") -eq $(wc -l <"$work/tidewire.log") ]] || fail "a saved line without CR LF"
kill -0 "$tidewire_pid" 2>/dev/null || fail "saving the log ended the program"

# Escape is not a close.
key "$window" Escape
sleep 1
kill -0 "$tidewire_pid" 2>/dev/null || fail "Escape ended the program"
grep -q "^main=shown$" probe || fail "Escape hid the main window"

# A mail client with a link to the echo station, kept open meanwhile.
printf 'connect ECHO\nwait 120\n' >"$work/client.script"
"$client" --port "$listen" --script "$work/client.script" >"$work/client.out" 2>&1 &
pids+=($!)
await "^links=1$"

# Closing asks while a link is up; Cancel keeps everything.
"$close_window" "$window" || fail "the close request could not be sent"
await "^question=1 links are up. Close them and quit?$"
sleep 0.5
xdotool key Escape 2>/dev/null || true
await "^question=$"
kill -0 "$tidewire_pid" 2>/dev/null || fail "Cancel ended the program"
grep -q "^main=shown$" probe || fail "Cancel hid the main window"

# Closing the main window (Help still open) and confirming ends the program.
"$close_window" "$window" || fail "the close request could not be sent"
await "^question=1 links are up. Close them and quit?$"
sleep 0.5
xdotool key Return 2>/dev/null || true
status=0
for _ in $(seq 150); do
  kill -0 "$tidewire_pid" 2>/dev/null || break
  sleep 0.1
done
wait "$tidewire_pid" || status=$?
[[ $status -eq 0 ]] || fail "tidewire ended with status $status"
grep -q "^main=hidden$" probe || fail "the main window is still shown"
grep -q "^help=hidden$" probe || fail "the help window is still shown"
grep -q "Kind\[x\].*From(N0CALL)" "$work/engine.err" || fail "the engine never saw the call-sign unregistered"
grep -q "Kind\[d\].*From(N0CALL) To(ECHO)" "$work/engine.err" || fail "the engine never saw the link end"
echo "window smoke test passed"
