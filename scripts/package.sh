#!/usr/bin/env bash
# Makes the Debian packages: tidewire (headless: the program, the control and
# its runtime, the tools, the manual page, the unit and /etc/default/tidewire)
# and tidewire-gui (the window module).
#   bash scripts/package.sh                  # a build for /usr in build-deb/, then the packages
#   bash scripts/package.sh --from BUILD_DIR [--out DIR]
#                                            # the packages of a tree already built (the package test)
# The packages land in build-deb/packages/ (or DIR); lintian checks them when
# it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

from=
out=
while (($#)); do
  case "$1" in
    --from) from=${2:?--from needs a build directory}; shift 2 ;;
    --out) out=${2:?--out needs a directory}; shift 2 ;;
    -h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument '$1' (see --help)" >&2; exit 1 ;;
  esac
done

if [[ -z "$from" ]]; then
  from=build-deb
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  # Optimised with debugging information, as Debian builds (CPack strips
  # the files it packs); the compiler's flags are the development builds',
  # so ccache has most of it already.
  echo "package.sh: configuring $from (for /usr, without tests and benchmarks)"
  cmake -S . -B "$from" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_INSTALL_LIBDIR=lib -DTW_TESTS=OFF -DTW_BENCH=OFF -DTW_WINDOW=ON "${launcher[@]}" >/dev/null
  echo "package.sh: building"
  cmake --build "$from" -j "$(nproc)"
fi
out=${out:-$from/packages}
mkdir -p "$out"
out=$(cd "$out" && pwd)

echo "package.sh: packaging into $out"
cpack --config "$from/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
rm -rf "$out/_CPack_Packages"
for deb in "$out"/*.deb; do
  echo "package.sh: made $deb"
done
if command -v lintian >/dev/null && [[ "${TW_LINTIAN:-1}" == 1 ]]; then
  echo "package.sh: lintian"
  lintian --tag-display-limit 0 "$out"/*.deb || true
fi
