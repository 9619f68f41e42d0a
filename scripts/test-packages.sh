#!/usr/bin/env bash
# Builds the .deb and the Windows .zip (scripts/build-packages.sh, from the
# release and Windows builds), checks the .zip's contents, runs lintian over
# the .deb (any error fails; warnings are printed), then installs the
# .deb with apt as a user would, runs the installed programs (hoshibako-cli
# --version; hoshibako started headless, which must still be running after a
# few seconds) and removes the package again. Installing needs root (or sudo).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${HOSHIBAKO_PACKAGES:-$root/build/packages}"
export HOSHIBAKO_PACKAGES="$out"

bash "$root/scripts/build-packages.sh"

status=0
fail() {
  echo "FAIL $*"
  status=1
}

version=$(sed -n 's/^project(Hoshibako VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$(ls "$out"/hoshibako_"$version"-*_*.deb)
zip="$out/hoshibako-$version-windows.zip"

# The .zip: the two programs and the read-me, in one folder.
listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected=$(printf 'hoshibako-%s-windows/%s\n' "$version" hoshibako-cli.exe "$version" hoshibako.exe \
  "$version" readme.txt | sort)
[ "$listing" = "$expected" ] || fail "zip holds: $listing"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
head -c 3 "$unpacked/hoshibako-$version-windows/readme.txt" | cmp -s - <(printf '\xef\xbb\xbf') ||
  fail "readme.txt does not start with a UTF-8 byte-order mark"
grep -q $'\r$' "$unpacked/hoshibako-$version-windows/readme.txt" || fail "readme.txt has no CR LF line ends"

# The .deb: its fields first.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libvorbis libpng libqt6widgets6 qt6-translations-l10n "fonts-noto-cjk | fonts-ipafont-gothic"; do
  case "$depends" in *"$package"*) ;; *) fail "Depends lacks $package" ;; esac
done
mkdir "$unpacked/deb"
dpkg-deb -x "$deb" "$unpacked/deb"
# FLAC encoding links libFLAC: shlibdeps must then have named its package.
if readelf -d "$unpacked/deb/usr/bin/hoshibako-cli" | grep -q 'NEEDED.*libFLAC'; then
  case "$depends" in *libflac*) ;; *) fail "hoshibako-cli needs libFLAC, Depends lacks libflac" ;; esac
fi
maintainer=$(dpkg-deb -f "$deb" Maintainer)
case "$maintainer" in *@localhost* | *@*.localdomain*) fail "Maintainer $maintainer is not a reachable address" ;; esac
# The changelog's newest entry is this package's version, of this project version.
changelog_version=$(zcat "$unpacked/deb/usr/share/doc/hoshibako/changelog.Debian.gz" | sed -n '1s/^hoshibako (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$(dpkg-deb -f "$deb" Version)" ] ||
  fail "changelog names $changelog_version, the package is $(dpkg-deb -f "$deb" Version)"
case "$changelog_version" in "$version"-*) ;; *) fail "changelog version $changelog_version is not of $version" ;; esac
for page in hoshibako hoshibako-cli; do
  # man's own check of the page: no output when it formats cleanly.
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l \
    "$unpacked/deb/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

# What a distribution's reviewer runs first. Warnings and notes are listed,
# errors fail.
lintian_output=$(lintian --fail-on error --info "$deb" 2>&1) || fail "lintian reports errors"
echo "$lintian_output" | grep -E '^(E|W): ' || echo "lintian: no errors or warnings"

if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
elif command -v sudo >/dev/null; then
  sudo_cmd=(sudo)
else
  echo "test-packages: installing needs root or sudo" >&2
  exit 1
fi
remove() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q hoshibako >/dev/null 2>&1 || true; }
trap 'remove; rm -rf "$unpacked"' EXIT

# As a user installs it; the path must name the file (./ or /) for apt to take it.
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >/dev/null
for file in /usr/bin/hoshibako /usr/bin/hoshibako-cli /usr/share/applications/hoshibako.desktop \
  /usr/share/icons/hicolor/scalable/apps/hoshibako.svg /usr/share/man/man1/hoshibako-cli.1.gz \
  /usr/share/man/man1/hoshibako.1.gz /usr/share/doc/hoshibako/copyright \
  /usr/share/doc/hoshibako/changelog.Debian.gz; do
  [ -f "$file" ] && echo "ok $file" || fail "missing $file"
done

printed=$(cd /tmp && /usr/bin/hoshibako-cli --version)
echo "hoshibako-cli --version: $printed"
case "$printed" in *"$version"*) ;; *) fail "--version does not name $version" ;; esac

# The dialog program runs until its main dialog is closed: on the offscreen
# platform it must still be running after five seconds, without complaint.
run_dir=$(mktemp -d)
set +e
(cd "$run_dir" && QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/hoshibako >"$run_dir/out.txt" 2>&1)
code=$?
set -e
if [ "$code" -eq 124 ]; then
  echo "ok hoshibako still running after 5 s"
else
  fail "hoshibako ended with $code: $(cat "$run_dir/out.txt")"
fi
rm -rf "$run_dir"

remove
trap 'rm -rf "$unpacked"' EXIT
dpkg-query -W -f='${Status}' hoshibako 2>/dev/null | grep -q 'install ok installed' && fail "package still installed"
[ "$status" -eq 0 ] && echo "test-packages: ok"
exit "$status"
