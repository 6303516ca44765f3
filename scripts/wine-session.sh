#!/usr/bin/env bash
# Starts or stops the Wine session of one test run (or of the demo):
#   wine-session.sh start ROOT   fresh prefix in ROOT/prefix, an Xvfb display,
#                                one persistent wineserver
#   wine-session.sh stop ROOT    stops that wineserver and that display
# Everything Wine prints goes to files under ROOT: its helper processes inherit
# whatever they are given and would hold a pipe open after the run.
set -u
cmd=${1:?start or stop}
root=${2:?root folder}
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
  rm -rf "$root/prefix" "$root/display" "$root/arch"
  : >"$root/session.log"
  kivra_wine_arch >"$root/arch"
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
  echo $! >"$root/xvfb.pid"
  echo ":$n" >"$root/display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  kivra_wine_env "$root"
  # Make the prefix and let it settle, then keep one server for the whole run.
  "$WINE" wineboot -i >>"$root/session.log" 2>&1 </dev/null
  # Xvfb runs no window manager; left managed, Wine waits two seconds for one
  # each time a window is hidden.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$root/session.log" 2>&1 </dev/null
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
