#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark.
# Safe to run again: apt-get skips what is already there. Works as root or through sudo.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config git
  # libraries of the converters and the dialogs
  libvorbis-dev libogg-dev libpng-dev zlib1g-dev libflac-dev qt6-base-dev
  # Qt's own texts in Japanese (the program loads qtbase_ja whatever the locale)
  qt6-translations-l10n
  # tests: GoogleTest, fuzzing with clang's libFuzzer, headless UI, a Japanese UI font
  googletest libgtest-dev clang libclang-rt-14-dev xvfb xauth fonts-noto-cjk fonts-ipafont
  # the formatting check
  clang-format-14
  # the window titles as the X server holds them (xprop)
  x11-utils
  # benchmarks: the reference tools our converters are measured against
  vorbis-tools imagemagick flac
  # scripts/test-packages.sh: the checks a distribution runs over the .deb
  lintian
  # the Windows build: MinGW-w64 cross compiler, Wine to run its tests, deb-src tooling
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 libz-mingw-w64-dev dpkg-dev
  # scripts/make-windows-icon.sh: the .ico from the SVG icon
  librsvg2-bin icoutils
)

if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
