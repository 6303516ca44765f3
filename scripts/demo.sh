#!/usr/bin/env bash
# Runs Setup-demo.exe (Setup.exe with the demo payload) under Wine and Xvfb in a
# Wine session of its own (build/demo-wine), then prints the carrier's records,
# the setup log and the work directory's tree.
set -u
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
root=build/demo-wine
carrier=dist/Setup-demo.exe
[ "$(kivra_wine_arch)" = win32 ] || carrier=build/win64/Setup-demo.exe

echo "== records of $carrier"
dist/bin/kpack list "$carrier" || exit 1

scripts/wine-session.sh start "$root" || exit 1
trap 'scripts/wine-session.sh stop "$root"' EXIT
kivra_wine_env "$(cd "$root" && pwd)"
echo "== running $carrier under Wine ($KIVRA_WINE_ARCH prefix)"
start=$(date +%s)
"$WINE" "$carrier" >"$root/demo-run.log" 2>&1 </dev/null
echo "== Setup ended with exit code $? after $(($(date +%s) - start)) s"
c="$WINEPREFIX/drive_c"
for f in "$c"/KivraLog/setup*.log; do
  echo "== $(basename "$f")"
  cat "$f"
done
echo "== C:\\tmp\\KivraSetup0"
(cd "$c/tmp/KivraSetup0" && find . | sort)
