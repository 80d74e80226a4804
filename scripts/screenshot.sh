#!/usr/bin/env bash
# Takes docs/tidewire-window.png: Tidewire's window during a session with two
# links up (streams A and B to the loopback engine's echo station, on radio
# ports 1 and 2), under a virtual X server.
#   bash scripts/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/tidewire-window.png}

scripts/setup.sh
missing=()
for p in x11-apps imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  as_root=()
  [[ $(id -u) -ne 0 ]] && as_root=(sudo)
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tidewire loopback-engine tw-hostmode-client VOKAPIXControl

work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"' EXIT

exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 display <&3
export DISPLAY=":$display"

build/bin/loopback-engine --port 0 --ports 2 >"$work/engine.out" 2>&1 &
pids+=($!)
until grep -q "listening on" "$work/engine.out"; do sleep 0.1; done
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$work/engine.out")
listen=$((port + 1))

(cd "$work" && TIDEWIRE_COM_REGISTRY="$work/registry" "$OLDPWD/build/bin/tidewire" --listen-address 127.0.0.1 --status-port 0 "N0CALL-1,1,true,$port,$listen" \
  >"$work/tidewire.out" 2>&1) &
pids+=($!)
xdotool search --sync --name "^Tidewire streams 2.2$" >/dev/null

# A mail client's side: two links to the echo station, left connected.
cat >"$work/session" <<'EOF'
connect ECHO
wait 3 for CONNECTED
Hello, echo station: this is Tidewire.
wait 2 for Tidewire
stream B
connect ECHO port 2
wait 3 for CONNECTED
A second link, on radio port 2.
wait 2 for second
status
wait 30
EOF
build/bin/tw-hostmode-client --port "$listen" --script "$work/session" >"$work/client.out" 2>&1 &
pids+=($!)
sleep 6

mkdir -p "$(dirname "$out")"
window=$(xdotool search --name "^Tidewire streams 2.2$" | head -1)
xwd -silent -id "$window" | convert xwd:- "$out"
echo "written: $out"
