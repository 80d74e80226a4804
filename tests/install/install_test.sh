#!/usr/bin/env bash
# An install into a staging directory (DESTDIR): every file where the unit,
# the manual page and the program expect it; nothing registered; the staged
# program finds the control beside itself.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$(mktemp -d)
data=$(mktemp -d)
trap 'rm -rf "$stage" "$data"' EXIT
fail() { echo "FAIL: $*"; (cd "$stage" && find . | sort) ; exit 1; }

prefix=/usr/local
XDG_DATA_HOME="$data" DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
root=$stage$prefix

for f in lib/tidewire/tidewire lib/tidewire/libtwcom.so lib/tidewire/libVOKAPIXControl.so \
         lib/tidewire/VOKAPIXControl.comclass lib/tidewire/tw-regsvr lib/tidewire/loopback-engine \
         lib/tidewire/engine-probe share/tidewire/strmread.txt share/tidewire/tidewire.env \
         share/man/man1/tidewire.1.gz lib/systemd/system/tidewire.service include/tidewire/control/activex/vokapix.h; do
  [[ -e "$root/$f" ]] || fail "missing $f"
done
for program in tidewire tw-regsvr loopback-engine engine-probe; do
  [[ "$(readlink "$root/bin/$program")" == ../lib/tidewire/$program ]] || fail "bin/$program is not a link into lib/tidewire"
done

unit=$root/lib/systemd/system/tidewire.service
grep -q "^ExecStart=$prefix/lib/tidewire/tidewire-service /etc/default/tidewire $prefix/bin/tidewire --console " "$unit" \
  || fail "the unit does not start $prefix/bin/tidewire through its check"
[[ -x "$root/lib/tidewire/tidewire-service" ]] || fail "the service's check is not installed"
# The station's settings are the package's to install, never a source install's.
[[ ! -e "$stage/etc/default/tidewire" ]] || fail "the install wrote /etc/default/tidewire"
grep -q "^EnvironmentFile=-/etc/default/tidewire$" "$unit" || fail "the unit's environment file"
grep -q "^Restart=on-failure$" "$unit" || fail "the unit does not restart on failure"
grep -q "^TIDEWIRE_ARGS=" "$root/share/tidewire/tidewire.env" || fail "the settings file"
zgrep -q "strmread.txt" "$root/share/man/man1/tidewire.1.gz" || fail "the manual page"

# A staging install writes no registry.
[[ -z "$(find "$data" -type f)" ]] || fail "the install wrote into the registry's directory"

# The staged program, through its link, loads the control beside it.
out=$(mktemp)
XDG_DATA_HOME="$data" timeout 5 "$root/bin/tidewire" --console --verbose N0CALL,1,true,1,1 >"$out" 2>&1 || true
grep -q "using the one beside the program: $root/lib/tidewire/libVOKAPIXControl.so" "$out" \
  || { cat "$out"; rm -f "$out"; fail "the staged program did not find the control beside it"; }
rm -f "$out"
echo "install test passed"
