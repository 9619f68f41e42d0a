#!/bin/sh
# Installs the dialog program's component into a fresh prefix and checks that
# a desktop finds it there: the program, its menu entry and its icon.
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component hoshibako >/dev/null || exit 1
status=0
for file in bin/hoshibako share/applications/hoshibako.desktop share/icons/hicolor/scalable/apps/hoshibako.svg; do
  if [ -f "$prefix/$file" ]; then echo "ok $file"; else echo "FAIL missing $file"; status=1; fi
done
[ -x "$prefix/bin/hoshibako" ] || { echo "FAIL bin/hoshibako is not executable"; status=1; }
grep -q '^Exec=hoshibako$' "$prefix/share/applications/hoshibako.desktop" || { echo "FAIL Exec line"; status=1; }
grep -q '^Icon=hoshibako$' "$prefix/share/applications/hoshibako.desktop" || { echo "FAIL Icon line"; status=1; }
exit $status
