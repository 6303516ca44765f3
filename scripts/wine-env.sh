# Sourced by the Wine scripts: picks the Wine loader that this machine can run.
# A 32-bit prefix is the natural home of the i686 Setup.exe; where the kernel
# refuses 32-bit programs (some virtual machines run without IA-32 emulation),
# Wine's 32-bit loader cannot start at all, and the Windows tests run as x86_64
# builds of the same sources in a 64-bit prefix instead.
# KIVRA_FORCE_WIN64=1 takes the x86_64 way on a machine that could run both, to
# try that variant; KIVRA_WINE32_LOADER stands in for Wine's 32-bit loader in
# the test of scripts/setup-deps.sh. KIVRA_WOW64=1 makes a 64-bit prefix whose
# programs are i686 ones, run by the 32-bit loader as 64-bit Windows runs them
# (the WoW64 lane of scripts/run-tests.sh).
kivra_cache() { echo "${KIVRA_CACHE:-/var/cache/kivra-build}"; }
# Left by scripts/setup-deps.sh when apt could not install the 32-bit Wine.
kivra_wine32_marker() { echo "$(kivra_cache)/wine32-unavailable"; }
kivra_wine32_runs() { "${KIVRA_WINE32_LOADER:-/usr/lib/wine/wine}" --version >/dev/null 2>&1; }

kivra_wine_arch() {
  if [ "${KIVRA_WOW64:-}" = 1 ]; then
    echo wow64
  elif [ "${KIVRA_FORCE_WIN64:-}" != 1 ] && kivra_wine32_runs; then
    echo win32
  else
    echo win64
  fi
}

# Why the Windows tests take the x86_64 way; nothing when they do not.
kivra_wine_why() {
  if [ "${KIVRA_FORCE_WIN64:-}" = 1 ]; then
    echo "KIVRA_FORCE_WIN64=1"
  elif kivra_wine32_runs; then
    :
  elif [ -f "$(kivra_wine32_marker)" ]; then
    echo "32-bit Wine could not be installed"
  elif [ -e "${KIVRA_WINE32_LOADER:-/usr/lib/wine/wine}" ]; then
    echo "this kernel runs no 32-bit programs"
  else
    echo "32-bit Wine is not installed"
  fi
}

kivra_wine_env() { # session root
  local root=$1
  KIVRA_WINE_ARCH=$(cat "$root/arch" 2>/dev/null || kivra_wine_arch)
  export WINEPREFIX="$root/prefix" WINEARCH=$KIVRA_WINE_ARCH WINEDEBUG=-all
  # No Mono or Gecko install prompts: they would wait forever under Xvfb.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # WINE runs the programs; WINE_BOOT makes the prefix.
  if [ "$KIVRA_WINE_ARCH" = win32 ]; then
    WINE=/usr/lib/wine/wine WINE_BOOT=$WINE
    WINESERVER=/usr/lib/wine/wineserver32
  elif [ "$KIVRA_WINE_ARCH" = wow64 ]; then
    WINEARCH=win64
    WINE=/usr/lib/wine/wine WINE_BOOT=/usr/lib/wine/wine64
    WINESERVER=/usr/lib/wine/wineserver64
  else
    WINE=/usr/lib/wine/wine64 WINE_BOOT=$WINE
    WINESERVER=/usr/lib/wine/wineserver64
    export WINELOADER=$WINE
  fi
  [ -x "$WINESERVER" ] || WINESERVER=wineserver
  DISPLAY=$(cat "$root/display" 2>/dev/null || echo :0)
  export DISPLAY
}
