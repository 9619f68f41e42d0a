#!/usr/bin/env bash
# Builds the packages from existing builds into build/packages (or $HOSHIBAKO_PACKAGES):
# - hoshibako_<version>-<revision>_amd64.deb by CPack from the Linux build
#   (build/release, or $HOSHIBAKO_LINUX_BUILD): both programs with their man
#   pages, the menu entry, the icon, the copyright file and the changelog
#   (packaging/); library dependencies from dpkg-shlibdeps;
# - hoshibako-<version>-windows.zip from the Windows build (build/windows, or
#   $HOSHIBAKO_WINDOWS_BUILD): the two stripped .exe files and the Japanese
#   read-me (UTF-8 with a byte-order mark, CR LF, which Notepad reads in
#   every Windows language).
# Only the package targets are rebuilt; the builds themselves must exist
# (scripts/test.sh makes them, or see docs/desktop.md and docs/windows.md).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="${HOSHIBAKO_LINUX_BUILD:-$root/build/release}"
windows="${HOSHIBAKO_WINDOWS_BUILD:-$root/build/windows}"
out="${HOSHIBAKO_PACKAGES:-$root/build/packages}"
jobs="${HOSHIBAKO_JOBS:-2}"
mkdir -p "$out"

version=$(sed -n 's/^project(Hoshibako VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

[ -f "$linux/CPackConfig.cmake" ] || { echo "build-packages: no Linux build in $linux" >&2; exit 1; }
cmake --build "$linux" -j "$jobs" --target hoshibako hoshibako-cli hoshibako-package-files
rm -f "$out"/hoshibako_*.deb
(cd "$out" && cpack --config "$linux/CPackConfig.cmake" -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
echo "build-packages: $(ls "$out"/hoshibako_*.deb)"

exe_dir="$windows/src"
if [ ! -f "$exe_dir/app/hoshibako.exe" ] || [ ! -f "$exe_dir/cli/hoshibako-cli.exe" ]; then
  echo "build-packages: no Windows build in $windows (scripts/test-windows.sh or scripts/build-windows.sh)" >&2
  exit 1
fi
name="hoshibako-$version-windows"
stage="$out/$name"
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/hoshibako.exe" "$exe_dir/app/hoshibako.exe"
x86_64-w64-mingw32-strip -o "$stage/hoshibako-cli.exe" "$exe_dir/cli/hoshibako-cli.exe"
cp "$root/packaging/windows/readme.txt" "$stage/readme.txt"
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
rm -rf "$stage"
echo "build-packages: $out/$name.zip"
