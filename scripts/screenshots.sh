#!/usr/bin/env bash
# Photographs what a user sees: the password dialog (first prompt, after two
# wrong entries, the final box) and the start-up message boxes, in English and
# in Chinese, under Wine and Xvfb, into docs/screenshots/*.png.
#   scripts/screenshots.sh [BUILD_TREE]   (default: the tree of the Windows tests)
# Needs a built tree (make build) and ImageMagick's import.
set -u
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
tree=${1:-build/win}
[ $# -gt 0 ] || [ "$(kivra_wine_arch)" = win32 ] || tree=build/win64
scenes=$tree/tests/helpers/dialog_scenes.exe
[ -f "$scenes" ] || { echo "no $scenes: build first (make build)" >&2; exit 1; }
out=docs/screenshots
root=build/screenshots-wine
mkdir -p "$out"

scripts/wine-session.sh start "$root" || exit 1
trap 'scripts/wine-session.sh stop "$root"' EXIT
kivra_wine_env "$(cd "$root" && pwd)"
# Without a window manager on the display, Wine draws the frames and captions
# itself, as Windows would.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/tmp"
# The symbols of the caption buttons come from Marlett, which this Wine does
# not find in its own data folder.
cp /usr/share/wine/fonts/marlett.ttf "$drive_c/windows/Fonts/" 2>/dev/null
cp "$scenes" "$drive_c/tmp/dialog_scenes.exe"
cp "$scenes" "$drive_c/tmp/UpdateCusInfo.exe"

shoot() { # language (en|zh), scene
  local lang=$1 scene=$2 rect pid updater=""
  rm -f "$drive_c/tmp/ready" "$drive_c/tmp/done"
  local env=(env)
  [ "$lang" = zh ] && env=(env LC_ALL=zh_CN.UTF-8)
  if [ "$scene" = updater ]; then
    "${env[@]}" "$WINE" 'C:\tmp\UpdateCusInfo.exe' sleep x x >/dev/null 2>&1 </dev/null &
    updater=$!
    sleep 2
  fi
  "${env[@]}" "$WINE" 'C:\tmp\dialog_scenes.exe' "$scene" 'C:\tmp\ready' 'C:\tmp\done' \
    >>"$root/scenes.log" 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 300); do [ -s "$drive_c/tmp/ready" ] && break; sleep 0.1; done
  if [ -s "$drive_c/tmp/ready" ]; then
    read -r x y w h <"$drive_c/tmp/ready"
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$lang-$scene.png"
    echo "$out/$lang-$scene.png"
  else
    echo "$lang $scene: no window came up" >&2
  fi
  touch "$drive_c/tmp/done"
  wait "$pid"
  [ -n "$updater" ] && kill "$updater" 2>/dev/null && wait "$updater" 2>/dev/null
  return 0
}

for lang in en zh; do
  if [ "$lang" = zh ]; then
    # In code page 936 Wine draws captions and message boxes in SimSun, which
    # it does not carry, and its own Tahoma has no Chinese glyphs: both become
    # the host's Chinese font (which has no Latin letters of its own).
    for face in SimSun NSimSun Tahoma; do
      "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'Droid Sans Fallback' /f \
        >/dev/null 2>&1
    done
  fi
  for scene in prompt retry final instance notadmin disk updater; do
    shoot "$lang" "$scene"
  done
done
