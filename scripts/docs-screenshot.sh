#!/usr/bin/env bash
# Photographs the page of klog fleet --html for docs/log-reader.md: three
# machines' KivraLog folders, taken from the logs that the real Setup.exe wrote
# in the last make test (an installation, a damaged carrier, a refused
# password), rendered by Debian's headless Chromium into
# docs/screenshots/klog-fleet.png. Installs chromium when it is missing; make
# test does not need it.
#   scripts/docs-screenshot.sh [BUILD_TREE]   (default: the tree of the Windows tests)
set -eu
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
tree=${1:-build/win}
[ $# -gt 0 ] || [ "$(kivra_wine_arch)" = win32 ] || tree=build/win64
kept=$tree/kivralogs
klog=dist/bin/klog
for need in "$kept/installed" "$kept/failed-160" "$kept/password-refused" "$klog"; do
  [ -e "$need" ] || { echo "docs-screenshot: no $need: run make test first" >&2; exit 1; }
done
if ! command -v chromium >/dev/null; then
  echo "docs-screenshot: installing chromium"
  apt-get -q update >/dev/null || true
  DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends chromium >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The machines are named as an administrator's collection names them.
cp -r "$kept/installed" "$work/FIN-PC-017"
cp -r "$kept/failed-160" "$work/HR-LT-042"
cp -r "$kept/password-refused" "$work/SALES-PC-003"
"$klog" fleet --html "$work/fleet.html" "$work/FIN-PC-017" "$work/HR-LT-042" "$work/SALES-PC-003"

mkdir -p "$work/profile"
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
  --screenshot="$PWD/docs/screenshots/klog-fleet.png" --window-size=1280,560 "file://$work/fleet.html" \
  >"$work/chromium.log" 2>&1 || { cat "$work/chromium.log" >&2; exit 1; }
echo "docs-screenshot: docs/screenshots/klog-fleet.png"
