#!/usr/bin/env bash
# Renders the program icon (src/ui/icons/hoshibako.svg) into the Windows icon
# src/ui/win32/hoshibako.ico at the sizes Explorer and the title bar use.
# The .ico is committed; run this again after changing the SVG.
# Needs librsvg2-bin (rsvg-convert) and icoutils (icotool).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 24 32 48 64 256; do
  rsvg-convert -w "$size" -h "$size" -o "$work/icon-$size.png" src/ui/icons/hoshibako.svg
  pngs+=("$work/icon-$size.png")
done
# The 256-pixel image is stored as PNG inside the icon, the small ones as bitmaps.
icotool -c -o src/ui/win32/hoshibako.ico "${pngs[@]:0:5}" -r "${pngs[5]}"
echo "wrote src/ui/win32/hoshibako.ico"
