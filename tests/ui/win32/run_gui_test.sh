#!/usr/bin/env bash
# Runs a Win32 GUI test program under Wine on a virtual X display, inside a
# Wine desktop window (so dialogs get their Wine-drawn captions), in a Wine
# prefix of its own.
#
#   run_gui_test.sh WINE_PREFIX program.exe [args...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="$1"
shift
export HOSHIBAKO_WINE_DESKTOP=1024x768
exec timeout -k 10 280 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$here/../../../scripts/wine-run.sh" --prefix "$prefix" --timeout 240 "$@"
