#!/usr/bin/env bash
# The Debian packages of a built tree (scripts/package.sh --from): their
# control data and file lists, then both unpacked into a scratch root where
# the installed programs run: tidewire --version, the probe against the
# installed loopback engine, tidewire itself against that engine, and the
# service's check refusing the settings file as shipped.
#   package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

TW_LINTIAN=0 bash "$source_dir/scripts/package.sh" --from "$build" --out "$work/debs" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; echo "FAIL: package.sh"; exit 1; }
headless=$(ls "$work"/debs/tidewire_*.deb)
gui=$(ls "$work"/debs/tidewire-gui_*.deb)

# Control fields: field | package | what it must match (grep -E) | or must not
control_cases=(
  "Package|$headless|^tidewire$|"
  "Depends|$headless|libc6 .*libstdc\+\+6|libfltk|libx11"
  "Recommends|$headless|^direwolf$|"
  "Section|$headless|^hamradio$|"
  "Package|$gui|^tidewire-gui$|"
  "Depends|$gui|libfltk1\.3.*|"
  "Depends|$gui|tidewire \(= [0-9.]+-1\)|"
)
for entry in "${control_cases[@]}"; do
  IFS='|' read -r field deb want unwanted <<<"$entry"
  value=$(dpkg-deb --field "$deb" "$field")
  echo "$value" | grep -Eq -- "$want" || fail "$(basename "$deb") $field: '$value' does not match $want"
  if [[ -n "$unwanted" ]] && echo "$value" | grep -Eiq -- "$unwanted"; then
    fail "$(basename "$deb") $field: '$value' names $unwanted"
  fi
done
[[ "$(dpkg-deb --info "$headless" conffiles)" == "/etc/default/tidewire" ]] ||
  fail "the settings file is not the package's conffile"

# File lists: package | path | present (yes) or absent (no)
dpkg-deb --contents "$headless" | awk '{print $6}' >"$work/headless.list"
dpkg-deb --contents "$gui" | awk '{print $6}' >"$work/gui.list"
file_cases=()
for f in tidewire libtwcom.so libVOKAPIXControl.so VOKAPIXControl.comclass loopback-engine engine-probe \
         tw-hostmode-client tw-regsvr tidewire-service; do
  file_cases+=("headless|./usr/lib/tidewire/$f|yes")
done
for f in tidewire loopback-engine engine-probe tw-hostmode-client tw-regsvr; do
  file_cases+=("headless|./usr/bin/$f|yes" "headless|./usr/share/man/man1/$f.1.gz|yes")
done
file_cases+=(
  "headless|./etc/default/tidewire|yes"
  "headless|./usr/share/doc/tidewire/copyright|yes"
  "headless|./usr/share/doc/tidewire/changelog.Debian.gz|yes"
  "gui|./usr/share/doc/tidewire-gui/copyright|yes"
  "gui|./usr/share/doc/tidewire-gui/changelog.Debian.gz|yes"
  "headless|./usr/lib/systemd/system/tidewire.service|yes"
  "headless|./usr/share/tidewire/strmread.txt|yes"
  "headless|./usr/lib/tidewire/libtidewire-window.so|no"
  "gui|./usr/lib/tidewire/libtidewire-window.so|yes"
  "gui|./usr/lib/tidewire/tidewire|no"
)
for entry in "${file_cases[@]}"; do
  IFS='|' read -r which path present <<<"$entry"
  if grep -qx -- "$path" "$work/$which.list"; then
    [[ "$present" == yes ]] || fail "$which package holds $path"
  else
    [[ "$present" == no ]] || fail "$which package lacks $path"
  fi
done

# The scratch root: both packages unpacked, as dpkg would install them.
root=$work/root
dpkg-deb -x "$headless" "$root"
dpkg-deb -x "$gui" "$root"

version=$("$root/usr/bin/tidewire" --version)
[[ "$version" == "tidewire $(dpkg-deb --field "$headless" Version | sed 's/-[^-]*$//')" ]] ||
  fail "installed tidewire --version said '$version'"
if ldd "$root/usr/lib/tidewire/tidewire" | grep -Eq 'libX11|libfltk'; then
  fail "the installed program links a display library: $(ldd "$root/usr/lib/tidewire/tidewire" | grep -E 'libX11|libfltk')"
fi

"$root/usr/bin/loopback-engine" --port 0 >"$work/engine.out" 2>"$work/engine.err" &
pids+=($!)
for _ in $(seq 100); do
  grep -q "listening on" "$work/engine.out" && break
  sleep 0.05
done
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/engine.out")
[[ -n "$port" ]] || { cat "$work/engine.err"; fail "the installed loopback engine did not start"; exit 1; }

"$root/usr/bin/engine-probe" --port "$port" >"$work/probe.out" 2>&1 || fail "the installed probe failed: $(cat "$work/probe.out")"
grep -q "^Engine version 2005\.127$" "$work/probe.out" || fail "the probe did not report the engine's version"
grep -q "^Ports: 2$" "$work/probe.out" || fail "the probe did not report the engine's ports"

# The installed program, by its link in bin/, with the control beside it and
# no display even where there is one.
data=$work/data
mkdir -p "$data"
# A listen port picked at random, again when it is taken (the program then
# ends at once).
for _ in 1 2 3 4 5; do
  listen=$((20000 + RANDOM % 40000))
  XDG_DATA_HOME=$data "$root/usr/bin/tidewire" --console --verbose G4XYZ,1,true,"$port","$listen" >"$work/tidewire.out" 2>&1 &
  tidewire_pid=$!
  pids+=("$tidewire_pid")
  for _ in $(seq 100); do
    grep -qE "(^| )MyCall: G4XYZ" "$work/tidewire.out" && break
    kill -0 "$tidewire_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$tidewire_pid" 2>/dev/null && break
done
grep -q "using the one beside the program: $root/usr/lib/tidewire/libVOKAPIXControl.so" "$work/tidewire.out" ||
  fail "the installed program did not load the control beside it"
grep -qE "(^| )VOKPE version 2005.127" "$work/tidewire.out" && grep -qE "(^| )MyCall: G4XYZ" "$work/tidewire.out" ||
  fail "the installed program did not come up with the engine: $(cat "$work/tidewire.out")"
[[ -z "$(find "$data" -type f)" ]] || fail "running the installed program registered something"

# The headless package alone, where a display is named: the program runs as
# with --console and says why there is no window. module state | its note
kill "$tidewire_pid" 2>/dev/null || true
module=$root/usr/lib/tidewire/libtidewire-window.so
mv "$module" "$work/module.so"
module_cases=(
  "absent|no window: $module is not installed, so the log goes to standard output"
  "not a library|no window: $module: file too short, so the log goes to standard output"
)
for entry in "${module_cases[@]}"; do
  IFS='|' read -r state want <<<"$entry"
  rm -f "$module"
  [[ "$state" == absent ]] || : >"$module"
  DISPLAY=:0 XDG_DATA_HOME=$data timeout 3 "$root/usr/bin/tidewire" --verbose G4XYZ,1,true,"$port","$listen" \
    >"$work/nowindow.out" 2>"$work/nowindow.err" || true
  grep -qxF "$root/usr/bin/tidewire: $want" "$work/nowindow.err" ||
    fail "module $state: wanted '$want', got: $(cat "$work/nowindow.err")"
  # It went on as the console does, its log on standard output.
  grep -q "using the one beside the program" "$work/nowindow.out" || fail "module $state: no console log"
done
rm -f "$module"
mv "$work/module.so" "$module"

# The unit starts the installed check, which refuses the settings as shipped.
unit=$root/usr/lib/systemd/system/tidewire.service
grep -q "^ExecStart=/usr/lib/tidewire/tidewire-service /etc/default/tidewire /usr/bin/tidewire --console " "$unit" ||
  fail "the unit's ExecStart: $(grep ExecStart "$unit")"
status=0
env -i TIDEWIRE_ARGS=N0CALL "$root/usr/lib/tidewire/tidewire-service" "$root/etc/default/tidewire" true \
  2>"$work/check.err" || status=$?
[[ "$status" == 78 ]] && grep -q "placeholder call-sign N0CALL" "$work/check.err" ||
  fail "the installed check did not refuse N0CALL: status $status, $(cat "$work/check.err")"
env -i "$root/usr/lib/tidewire/tidewire-service" "$root/etc/default/nothing" true 2>"$work/check.err" || true
grep -qF "copy $root/usr/share/tidewire/tidewire.env there" "$work/check.err" ||
  fail "the installed check does not name the installed template: $(cat "$work/check.err")"

if ((failures)); then
  echo "--- package.sh"; cat "$work/package.log"
  echo "--- tidewire"; cat "$work/tidewire.out"
  exit 1
fi
echo "package test passed"
