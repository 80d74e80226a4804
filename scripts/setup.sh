#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
# Runs as root (or through sudo when available).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libasio-dev libfltk1.3-dev
  libcpp-httplib-dev nlohmann-json3-dev
  direwolf
  socat
  xvfb xdotool
  chromium
)
if [[ "${TW_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  as_root=()
  if [[ $(id -u) -ne 0 ]]; then as_root=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
