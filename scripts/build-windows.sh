#!/usr/bin/env bash
# Builds the two Windows programs, hoshibako.exe (the dialogs) and
# hoshibako-cli.exe, cross-compiled with MinGW-w64 and statically linked, and
# puts them into build/windows/dist. No tests; scripts/test-windows.sh builds
# and tests everything.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${HOSHIBAKO_WINDOWS_BUILD:-$root/build/windows}"
jobs="${HOSHIBAKO_JOBS:-2}"

bash "$here/setup.sh"
prefix="$(timeout 1800 "$here/build-windows-deps.sh")"
# The configuration of scripts/test-windows.sh, so both share one build folder.
timeout 600 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DHOSHIBAKO_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSHIBAKO_WERROR=ON -DHOSHIBAKO_BENCH=OFF \
  -DHOSHIBAKO_UI=ON "$@" >/dev/null
timeout 1800 cmake --build "$build" -j "$jobs" --target hoshibako hoshibako-cli
mkdir -p "$build/dist"
cp "$build/src/app/hoshibako.exe" "$build/src/cli/hoshibako-cli.exe" "$build/dist/"
x86_64-w64-mingw32-strip "$build/dist/hoshibako.exe" "$build/dist/hoshibako-cli.exe"
echo "Windows programs in $build/dist:"
ls -l "$build/dist"
