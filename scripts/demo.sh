#!/usr/bin/env bash
# Runs Setup-demo.exe (Setup.exe with the demo payload) under Wine and Xvfb in a
# Wine session of its own (build/demo-wine), then prints the carrier's records,
# the logs and the work directory's tree.
#   scripts/demo.sh               an unprotected client: the whole installation
#   scripts/demo.sh --protected   an installed client protected by the uninstall
#                                 password "demo-pass": the dialog appears and is
#                                 answered, once wrongly, then rightly
set -u
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
protected=0
[ "${1:-}" = --protected ] && protected=1
root=build/demo-wine
tree=build/win
carrier=dist/Setup-demo.exe
if [ "$(kivra_wine_arch)" != win32 ]; then
  tree=build/win64
  carrier=build/win64/Setup-demo.exe
fi

echo "== records of $carrier"
dist/bin/kpack list "$carrier" || exit 1

scripts/wine-session.sh start "$root" || exit 1
trap 'scripts/wine-session.sh stop "$root"' EXIT
kivra_wine_env "$(cd "$root" && pwd)"
c="$WINEPREFIX/drive_c"

if [ $protected = 1 ]; then
  # What an installed, protected client leaves: its custom XML with the
  # enciphered password and the XML's verification file, and its product key.
  reginfo="$c/Program Files/Common Files/Kivra/Nexa Client/reginfo"
  mkdir -p "$reginfo"
  stored=$(dist/bin/vrftool encrypt demo-pass)
  printf '<?xml version="1.0" encoding="UTF-8"?><msg><content><functions><uninstall>1</uninstall><uninstallPassword>%s</uninstallPassword></functions></content></msg>' \
    "$stored" >"$reginfo/KivraCustom.xml"
  dist/bin/vrftool make "$reginfo/KivraCustom.xml" >/dev/null || exit 1
  "$WINE" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5A1E7C03-2B64-4F19-8D2E-71C0B93A6E42}' \
    /v DisplayVersion /d 5.2.1 /f >/dev/null 2>&1
  echo "== a protected client is installed (uninstall password \"demo-pass\", stored as $stored)"
  "$WINE" "$tree/tests/helpers/answer_password.exe" wrong-pass demo-pass >"$root/answer.log" 2>&1 </dev/null &
fi

echo "== running $carrier under Wine ($KIVRA_WINE_ARCH prefix)"
start=$(date +%s)
"$WINE" "$carrier" >"$root/demo-run.log" 2>&1 </dev/null
echo "== Setup ended with exit code $? after $(($(date +%s) - start)) s"
wait
[ $protected = 1 ] && cat "$root/answer.log"
for f in "$c"/KivraLog/setup*.log "$c"/KivraLog/stp_setup*.log; do
  [ -f "$f" ] || continue
  echo "== $(basename "$f")"
  cat "$f"
done
echo "== C:\\tmp\\KivraSetup0"
(cd "$c/tmp/KivraSetup0" 2>/dev/null && find . | sort)
