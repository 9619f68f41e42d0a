#!/usr/bin/env bash
# Runs a Windows program under Wine with a time limit; CTest uses it as the
# cross-compiling emulator. No display is needed for console programs.
#
#   wine-run.sh [--prefix DIR] [--timeout SECONDS] program.exe [args...]
#
# DIR is the Wine prefix (default: $WINEPREFIX, else ./wine-prefix). A missing
# prefix is created once, under a lock, so parallel tests share it. The time
# limit (default $HOSHIBAKO_WINE_TIMEOUT, else 300 s) kills the program and,
# after it, the prefix's Wine server.
set -euo pipefail

prefix="${WINEPREFIX:-$PWD/wine-prefix}"
limit="${HOSHIBAKO_WINE_TIMEOUT:-300}"
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix="$2"; shift 2 ;;
    --timeout) limit="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: wine-run.sh [--prefix DIR] [--timeout SECONDS] program.exe [args...]" >&2
  exit 2
fi

find_wine_tool() {
  command -v "$1" 2>/dev/null || { [ -x "/usr/lib/wine/$1" ] && echo "/usr/lib/wine/$1"; } || true
}
wine="$(find_wine_tool wine64)"
[ -n "$wine" ] || wine="$(find_wine_tool wine)"
wineserver="$(find_wine_tool wineserver64)"
[ -n "$wineserver" ] || wineserver="$(find_wine_tool wineserver)"
if [ -z "$wine" ]; then
  echo "wine-run.sh: wine64 is not installed (scripts/setup.sh installs it)" >&2
  exit 127
fi

export WINEPREFIX
WINEPREFIX="$(mkdir -p "$prefix" && cd "$prefix" && pwd)"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Font names the dialogs ask for, mapped to the installed Japanese font.
fonts_reg() {
  cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS UI Gothic"="IPAPGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS Shell Dlg"="IPAGothic"
"MS Shell Dlg 2"="IPAGothic"
REG
}

(
  flock 9
  if [ ! -f "$WINEPREFIX/.hoshibako-ready" ]; then
    timeout -k 10 180 "$wine" wineboot -i >/dev/null 2>&1 || true
    fonts_reg | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$WINEPREFIX/fonts.reg"
    # regedit wants the Windows path; Z: maps the Unix root.
    timeout -k 10 60 "$wine" regedit /S "Z:${WINEPREFIX//\//\\}\\fonts.reg" >/dev/null 2>&1 || true
    [ -n "$wineserver" ] && timeout -k 5 60 "$wineserver" -w || true
    touch "$WINEPREFIX/.hoshibako-ready"
  fi
  # GUI runs can ask for a Wine desktop window of a given size, inside which
  # Wine draws every window with its frame and caption.
  if [ -n "${HOSHIBAKO_WINE_DESKTOP:-}" ] && [ ! -f "$WINEPREFIX/.hoshibako-desktop-$HOSHIBAKO_WINE_DESKTOP" ]; then
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' "\"Default\"=\"$HOSHIBAKO_WINE_DESKTOP\"" |
      iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$WINEPREFIX/desktop.reg"
    timeout -k 10 60 "$wine" regedit /S "Z:${WINEPREFIX//\//\\}\\desktop.reg" >/dev/null 2>&1 || true
    [ -n "$wineserver" ] && timeout -k 5 60 "$wineserver" -w || true
    touch "$WINEPREFIX/.hoshibako-desktop-$HOSHIBAKO_WINE_DESKTOP"
  fi
) 9>"$WINEPREFIX.lock"

status=0
timeout -k 10 "$limit" "$wine" "$@" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "wine-run.sh: $1 did not finish within $limit s" >&2
  [ -n "$wineserver" ] && "$wineserver" -k 2>/dev/null || true
fi
exit "$status"
