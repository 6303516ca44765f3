#!/usr/bin/env bash
# Runs the host tests, then the Windows tests under Wine; fails when any fails.
set -u
cd "$(dirname "$0")/.."
start=$(date +%s)
tree=build/win
[ "$(scripts/wine-arch.sh)" = win32 ] || tree=build/win64
rc=0
echo "== host tests"
ctest --test-dir build/host -j 2 --output-on-failure || rc=1
if [ "$tree" != build/win ]; then
  echo "== checks of the i686 Setup.exe"
  ctest --test-dir build/win --output-on-failure || rc=1
fi
echo "== Windows tests under Wine ($tree)"
ctest --test-dir "$tree" --output-on-failure || rc=1
echo "== make test took $(($(date +%s) - start)) s"
exit $rc
