#!/usr/bin/env bash
# Builds the libraries of the Windows build as static MinGW-w64 libraries:
# libogg, libvorbis, libpng and libFLAC from Debian's source packages
# (apt-get source),
# GoogleTest from /usr/src/googletest, zlib from libz-mingw-w64-dev.
#
# The result is a prefix in a cache folder keyed by the source versions, the
# compiler and this script, so it is built once per machine and reused:
#   ${HOSHIBAKO_DEPS_CACHE:-$HOME/.cache/hoshibako/mingw-deps}/<key>/prefix
# The prefix path is printed on stdout (the only line there); progress goes to
# stderr, build logs to <key>/logs.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
cache="${HOSHIBAKO_DEPS_CACHE:-$HOME/.cache/hoshibako/mingw-deps}"
jobs="${HOSHIBAKO_JOBS:-2}"
# Bumped when the way the libraries are built changes.
recipe=4

log() { echo "build-windows-deps: $*" >&2; }

if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi

source_packages=(libogg libvorbis libpng1.6 flac)

# Source package lists: add a deb-src entry for bookworm when apt knows none.
if ! apt-cache showsrc libogg 2>/dev/null | grep -q '^Version:'; then
  log "adding a deb-src entry for bookworm"
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/hoshibako-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  "${sudo_cmd[@]}" timeout 300 apt-get update -q >&2
fi

# The cache key: every source version apt offers, the GoogleTest and zlib
# packages, the compiler and the recipe.
key_text="recipe=$recipe"
for p in "${source_packages[@]}"; do
  versions="$(apt-cache showsrc --only-source "$p" | awk '/^Version:/ {print $2}' | sort -V | tr '\n' ' ')"
  [ -n "$versions" ] || { log "no source package $p"; exit 1; }
  key_text+=" $p=$versions"
done
key_text+=" googletest=$(dpkg-query -W -f='${Version}' googletest) zlib=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
key_text+=" gcc=$(x86_64-w64-mingw32-g++-posix -dumpversion)"
key="$(printf '%s' "$key_text" | sha256sum | cut -c1-16)"
work="$cache/$key"
prefix="$work/prefix"

if [ -f "$work/done" ]; then
  echo "$prefix"
  exit 0
fi

log "building into $work ($key_text)"
rm -rf "$work"
mkdir -p "$work/src" "$work/build" "$work/logs" "$prefix"
printf '%s\n' "$key_text" >"$work/key.txt"

# Fetches and unpacks one source package (Debian patches applied). The
# security archive can list a version whose files are gone; then the point
# release's version is taken.
fetch() {
  local p="$1"
  (cd "$work/src" && timeout 300 apt-get source -q "$p" >>"$work/logs/fetch.log" 2>&1) && return 0
  log "$p: newest source not available, falling back to the bookworm release"
  (cd "$work/src" && timeout 300 apt-get source -q "$p/bookworm" >>"$work/logs/fetch.log" 2>&1)
}

# Configures, builds and installs one CMake project into the prefix.
build() {
  local name="$1" source="$2"
  shift 2
  log "building $name"
  if ! {
    timeout 600 cmake -S "$source" -B "$work/build/$name" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DHOSHIBAKO_MINGW_PREFIX="$prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF \
      -DCMAKE_POLICY_DEFAULT_CMP0091=NEW "$@" &&
      timeout 900 cmake --build "$work/build/$name" -j "$jobs" &&
      timeout 300 cmake --install "$work/build/$name"
  } >"$work/logs/$name.log" 2>&1; then
    log "$name failed; last lines of $work/logs/$name.log:"
    tail -n 30 "$work/logs/$name.log" >&2
    exit 1
  fi
}

for p in "${source_packages[@]}"; do
  fetch "$p" || { log "cannot fetch the source of $p"; tail -n 20 "$work/logs/fetch.log" >&2; exit 1; }
done
src_dir() { find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

mingw_root=/usr/x86_64-w64-mingw32
build libogg "$(src_dir libogg)" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
# The flags Debian's own amd64 build of libvorbis ends up with (its configure
# adds -ffast-math, dpkg-buildflags -O2): the encoder's floating-point work
# then rounds the same way, and the Windows build writes the same packets.
build libvorbis "$(src_dir libvorbis)" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=None \
  "-DCMAKE_C_FLAGS=-O2 -ffast-math -fsigned-char -D_REENTRANT"
build libpng "$(src_dir libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=OFF \
  -DZLIB_LIBRARY="$mingw_root/lib/libz.a" -DZLIB_INCLUDE_DIR="$mingw_root/include"
# The C library alone, without Ogg FLAC or the command-line programs, with
# the flags Debian's own build ends up with (-O2 after configure's -O3
# -funroll-loops; NDEBUG, which also keeps the library's debugging messages
# off stderr). The SSE/AVX routines stay in, chosen at run time as there.
build flac "$(src_dir flac)" -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
  -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF \
  -DWITH_STACK_PROTECTOR=OFF -DCMAKE_BUILD_TYPE=None "-DCMAKE_C_FLAGS=-O3 -funroll-loops -O2 -DNDEBUG"
build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON

touch "$work/done"
log "done"
echo "$prefix"
