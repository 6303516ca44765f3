#!/usr/bin/env bash
# Runs Setup.exe under Wine in a Wine session of its own (build/demo-wine) and
# prints the setup log it wrote.
set -u
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
root=build/demo-wine
tree=build/win
[ "$(kivra_wine_arch)" = win32 ] || tree=build/win64
exe=$tree/setup/Setup.exe

scripts/wine-session.sh start "$root" || exit 1
trap 'scripts/wine-session.sh stop "$root"' EXIT
kivra_wine_env "$(cd "$root" && pwd)"
echo "== running $exe under Wine ($KIVRA_WINE_ARCH prefix)"
"$WINE" "$exe" >"$root/demo-run.log" 2>&1 </dev/null
echo "== Setup.exe ended with exit code $?"
logs="$WINEPREFIX/drive_c/KivraLog"
for f in "$logs"/setup*.log; do
  echo "== $(basename "$f")"
  cat "$f"
done
