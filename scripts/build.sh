#!/usr/bin/env bash
# Builds both trees and puts the products into dist/:
#   build/win    the product, i686: dist/Setup.exe (and, where this machine runs
#                Wine's 32-bit loader, the Windows tests)
#   build/win64  only where it does not: the Windows tests as x86_64 builds
#   build/host   native code and the tests of the build-side tools (sanitizers)
#   build/tools  the build-side tools as shipped in dist/bin/ (optimised, static
#                C++ runtime); the Windows tree adds their .exe builds
# and dist/BUILDINFO, what the shipped bytes were built from.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
. scripts/wine-env.sh
cache=$(kivra_cache)
arch=$(kivra_wine_arch)

configure() { # tree, toolchain, tests, 7za
  # (A configured tree ignores its toolchain file, and CMake would warn so.)
  cmake --no-warn-unused-cli -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="cmake/$2" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DKIVRA_WINDOWS_TESTS="$3" -DKIVRA_7ZA="$cache/$4" >/dev/null
}

if [ "$arch" = win32 ]; then
  configure build/win mingw-i686.cmake ON 7za.exe
else
  configure build/win mingw-i686.cmake OFF 7za.exe
  configure build/win64 mingw-x86_64.cmake ON 7za-x64.exe
  cmake --build build/win64 -j "$jobs"
fi
cmake --build build/win -j "$jobs"
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/host -j "$jobs"
cmake -S . -B build/tools -DCMAKE_BUILD_TYPE=Release -DKIVRA_TOOLS_ONLY=ON >/dev/null
cmake --build build/tools -j "$jobs"
cmake --install build/win --prefix dist >/dev/null
cmake --install build/tools --prefix dist >/dev/null
scripts/buildinfo.sh >dist/BUILDINFO

# The demo carrier: the shipped Setup.exe with the demo payload stamped in at byte 490000.
dist/bin/kpack make build/win/demo-payload dist/Setup.exe dist/Setup-demo.exe
if [ "$arch" != win32 ]; then
  # The same for the x86_64 build that this machine's Wine can run.
  dist/bin/kpack make build/win64/demo-payload build/win64/setup/Setup.exe build/win64/Setup-demo.exe
fi
