#!/usr/bin/env bash
# Installs the Debian packages that are missing, as root (or through sudo).
#   scripts/setup.sh run    what building and running Tidewire needs (scripts/run.sh)
#   scripts/setup.sh test   that and what the tests, benchmarks and packaging need (scripts/test.sh)
# One package a line, so that adding one is a one-line change.
set -euo pipefail

run_packages=(
  g++
  cmake
  ninja-build
  pkg-config
  libasio-dev
  libfltk1.3-dev
  libcpp-httplib-dev
  nlohmann-json3-dev
)
test_packages=(
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  direwolf
  socat
  fbb
  xvfb
  xdotool
  dpkg-dev
  file
  chromium
)
fuzz_packages=(
  clang
  libclang-rt-14-dev
)

# Without an argument: everything (the scripts that build the tests).
what=${1:-test}
case "$what" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: scripts/setup.sh run|test" >&2; exit 1 ;;
esac
if [[ "${TW_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=("${fuzz_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: everything for '$what' is installed"
  exit 0
fi

echo "setup: installing for '$what': ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
echo "setup: apt-get update"
"${as_root[@]}" apt-get update -qq
# One line per package unpacked and set up, as it happens; errors as apt-get
# writes them.
set +e
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" |
  grep --line-buffered -E '^(Unpacking|Setting up) '
status=${PIPESTATUS[0]}
set -e
if ((status != 0)); then
  echo "setup: apt-get install failed (status $status)" >&2
  exit 1
fi
echo "setup: installed ${missing[*]}"
