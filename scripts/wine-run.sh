#!/usr/bin/env bash
# Runs one Windows program in the Wine session that scripts/wine-session.sh made
# (CMake uses this as the emulator of the Windows test tree). KIVRA_WINE_ROOT
# names the session's folder; KIVRA_WINE_LANE_ROOT, when set, another one (the
# WoW64 lane of scripts/run-tests.sh), which the program is told as its
# KIVRA_WINE_ROOT. The program's output is collected in a file and
# printed after it ends: Wine's helper processes would otherwise keep the
# caller's pipe open.
set -u
root=${KIVRA_WINE_LANE_ROOT:-${KIVRA_WINE_ROOT:?KIVRA_WINE_ROOT must name the Wine session folder}}
export KIVRA_WINE_ROOT=$root
. "$(dirname "$0")/wine-env.sh"
kivra_wine_env "$root"
# KIVRA_RUN_IN_PREFIX=1 runs a copy of the program from the prefix's C:\tests:
# whatever its tests put beside the program (a package copy, a link planted as
# one) then lies in this run's prefix, not in the build tree.
if [ "${KIVRA_RUN_IN_PREFIX:-}" = 1 ]; then
  mkdir -p "$WINEPREFIX/drive_c/tests"
  cp "$1" "$WINEPREFIX/drive_c/tests/" || exit 1
  set -- "C:\\tests\\$(basename "$1")" "${@:2}"
fi
out=$(mktemp "$root/run.XXXXXX")
"$WINE" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
