#!/usr/bin/env bash
# The Windows build and its tests: builds the static MinGW-w64 libraries once
# (scripts/build-windows-deps.sh, cached), cross-compiles the project into
# build/windows and runs every test under Wine through CTest, in a fresh Wine
# prefix inside the build folder.
#
#   scripts/test-windows.sh [extra cmake -D options...]
#
# Then converts the demo song with both hoshibako-cli builds and compares the
# outputs (needs the Linux build, build/release by default).
#
# Environment: HOSHIBAKO_JOBS (default 2), HOSHIBAKO_WINDOWS_BUILD (build folder),
# HOSHIBAKO_WINE_TIMEOUT (seconds per Wine call, default 300),
# HOSHIBAKO_NATIVE_CLI (the Linux hoshibako-cli to compare with).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${HOSHIBAKO_WINDOWS_BUILD:-$root/build/windows}"
jobs="${HOSHIBAKO_JOBS:-2}"

prefix="$(timeout 1800 "$here/build-windows-deps.sh")"


timeout 600 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DHOSHIBAKO_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSHIBAKO_WERROR=ON -DHOSHIBAKO_BENCH=OFF \
  -DHOSHIBAKO_UI=ON "$@"
timeout 1800 cmake --build "$build" -j "$jobs"

# A fresh Wine prefix for every run; the runner creates it on first use.
rm -rf "$build/wine-prefix" "$build/wine-prefix.lock" "$build/wine-prefix-gui" "$build/wine-prefix-gui.lock"
status=0
timeout 1800 ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 || status=$?
# The same conversion by the Linux build, when there is one, must agree.
native_cli="${HOSHIBAKO_NATIVE_CLI:-$root/build/release/src/cli/hoshibako-cli}"
if [ -x "$native_cli" ] && [ -f "$build/src/cli/hoshibako-cli.exe" ]; then
  "$here/compare-windows-output.sh" "$native_cli" "$build/src/cli/hoshibako-cli.exe" "$build/compare" \
    "$build/wine-prefix" || status=1
else
  echo "test-windows: no Linux hoshibako-cli at $native_cli; output comparison skipped"
fi
# Let the prefix's Wine server go before the next step of the caller.
wineserver="$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)"
for wine_prefix in "$build/wine-prefix" "$build/wine-prefix-gui"; do
  WINEPREFIX="$wine_prefix" timeout 30 "$wineserver" -k 2>/dev/null || true
done
exit "$status"
