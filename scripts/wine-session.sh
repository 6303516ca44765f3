#!/usr/bin/env bash
# Starts or stops the Wine session of one test run (or of the demo):
#   wine-session.sh start ROOT   fresh prefix in ROOT/prefix, an Xvfb display,
#                                one persistent wineserver
#   wine-session.sh stop ROOT    stops that wineserver and that display
# KIVRA_WINE_LANE_ROOT, when set, takes the place of ROOT (scripts/wine-run.sh).
# Everything Wine prints goes to files under ROOT: its helper processes inherit
# whatever they are given and would hold a pipe open after the run.
set -u
cmd=${1:?start or stop}
root=${KIVRA_WINE_LANE_ROOT:-${2:?root folder}}
mkdir -p "$root"
root=$(cd "$root" && pwd)
. "$(dirname "$0")/wine-env.sh"

stop() {
  if [ -d "$root/prefix" ]; then
    kivra_wine_env "$root"
    "$WINESERVER" -k >>"$root/session.log" 2>&1
  fi
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" 2>/dev/null
    rm -f "$root/xvfb.pid"
  fi
  return 0
}

start() {
  stop
  rm -rf "$root/prefix" "$root/display" "$root/displayfd" "$root/arch"
  : >"$root/session.log"
  kivra_wine_arch >"$root/arch"
  # Xvfb picks the display itself, taking its lock file before it claims the
  # number: two runs started at the same moment cannot both pick one display.
  # It writes the number and a line break to fd 3 once it listens.
  local n=""
  : >"$root/displayfd" # there before the loop below reads it
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$root/displayfd" >"$root/xvfb.log" 2>&1 &
  echo $! >"$root/xvfb.pid"
  for _ in $(seq 100); do
    read -r n <"$root/displayfd" && [[ $n =~ ^[0-9]+$ ]] && break
    n=""
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "wine-session: Xvfb did not start" >&2
    cat "$root/xvfb.log" >&2
    stop
    exit 1
  fi
  echo ":$n" >"$root/display"
  kivra_wine_env "$root"
  # Make the prefix and let it settle, then keep one server for the whole run.
  "$WINE_BOOT" wineboot -i >>"$root/session.log" 2>&1 </dev/null
  # Xvfb runs no window manager; left managed, Wine waits two seconds for one
  # each time a window is hidden.
  "$WINE_BOOT" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$root/session.log" 2>&1 </dev/null
  # A program that crashes ends at once, its backtrace in the output: Wine's
  # crash dialog would wait for a click that no one under Xvfb gives.
  "$WINE_BOOT" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >>"$root/session.log" 2>&1 </dev/null
  "$WINESERVER" -w >>"$root/session.log" 2>&1 </dev/null
  "$WINESERVER" -p >>"$root/session.log" 2>&1 </dev/null
  if [ ! -d "$root/prefix/drive_c/windows/system32" ]; then
    cat "$root/session.log"
    exit 1
  fi
  echo "wine prefix ready: $root/prefix ($KIVRA_WINE_ARCH, display $DISPLAY)"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop ROOT" >&2; exit 2 ;;
esac
