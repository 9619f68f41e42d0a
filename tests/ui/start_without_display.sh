#!/bin/sh
# The program started where no display can be opened: it says so on stderr
# and still exits with code 0. Three ways to have no display: no variable at
# all, an X display nobody serves, and a platform that does not exist.
program="$1"
status=0
check() {
  label="$1"
  shift
  output=$("$@" "$program" 2>&1 >/dev/null)
  code=$?
  if [ "$code" -ne 0 ]; then
    echo "FAIL ($label): exit code $code"
    status=1
  fi
  case "$output" in
    *"Fatal error!"*"Application failed to load."*) echo "ok ($label)" ;;
    *) echo "FAIL ($label): stderr was: $output"; status=1 ;;
  esac
}
check "no display variable" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM
check "display without a server" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:987
check "unknown platform" env QT_QPA_PLATFORM=no-such-platform
exit $status
