#!/usr/bin/env bash
# Runs the host tests, the import check of every Windows binary, then the
# Windows tests under Wine; fails when any fails. Ends with the variant that
# ran and the totals, so that a log says what was tested:
#   win32  this kernel runs 32-bit programs: the i686 build in a 32-bit prefix,
#          the end-to-end tests starting the shipped dist/Setup.exe
#   win64  it does not, the 32-bit Wine could not be installed, or
#          KIVRA_FORCE_WIN64=1 (the last lines say which): the Windows tests
#          as an x86_64 rebuild in a 64-bit prefix; dist/Setup.exe itself gets
#          only its static checks
# and, where both Wines run, the WoW64 lane: the end-to-end tests of the
# shipped dist/Setup.exe once more in a 64-bit prefix.
set -u
cd "$(dirname "$0")/.."
start=$(date +%s)
results=build/test-results
rm -rf "$results" && mkdir -p "$results"
passed=0 failed=0 rc=0 counts=()

run_ctest() { # report name, tree, ctest options...
  local name=$1 tree=$2 xml tests failures skipped
  shift 2
  xml=$PWD/$results/$(basename "$name").xml
  (cd "$tree" && ctest --output-on-failure --output-junit "$xml" "$@") || rc=1
  # The report's head: tests="N" failures="N" disabled="N" skipped="N" (not run).
  tests=$(sed -n 's/^[[:space:]]*tests="\([0-9]*\)".*/\1/p' "$xml" 2>/dev/null | head -n 1)
  failures=$(sed -n 's/^[[:space:]]*failures="\([0-9]*\)".*/\1/p' "$xml" 2>/dev/null | head -n 1)
  skipped=$(sed -n 's/^[[:space:]]*skipped="\([0-9]*\)".*/\1/p' "$xml" 2>/dev/null | head -n 1)
  if [ -z "$tests" ] || [ -z "$failures" ]; then
    echo "== $tree: ctest left no report; counted as one failure"
    failed=$((failed + 1)) rc=1
    counts+=("$name failed to run")
    return
  fi
  failures=$((failures + ${skipped:-0}))
  passed=$((passed + tests - failures))
  failed=$((failed + failures))
  counts+=("$name $((tests - failures))/$tests")
}

if [ "$(scripts/wine-arch.sh)" = win32 ]; then
  tree=build/win
  variant="i686 build, 32-bit prefix (end-to-end tests started dist/Setup.exe)"
else
  tree=build/win64
  why=$(scripts/wine-arch.sh --why)
  variant="x86_64 build, 64-bit prefix ($why; end-to-end tests started an x86_64 rebuild, dist/Setup.exe had only its static checks)"
fi

echo "== host tests"
run_ctest build/host build/host -j 2
echo "== import check of every Windows binary"
if scripts/check-imports.sh --all build/ dist/; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)) rc=1
fi
counts+=("import check")
if [ "$tree" != build/win ]; then
  echo "== checks of the i686 Setup.exe"
  run_ctest build/win build/win
fi
echo "== Windows tests under Wine ($tree)"
run_ctest "$tree" "$tree"
# Where it really runs, the i686 Setup.exe is a 32-bit program on 64-bit
# Windows: Program Files (x86), SysWOW64 behind system32, the 32-bit registry
# view. Where this machine has both Wines, its end-to-end tests run once more
# in a 64-bit prefix.
if [ "$tree" = build/win ] && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  echo "== WoW64 lane: the end-to-end tests of dist/Setup.exe in a 64-bit prefix"
  lane_start=$(date +%s)
  KIVRA_WINE_LANE_ROOT=$PWD/build/win/wine-wow64 KIVRA_WOW64=1 run_ctest build/win-wow64 build/win -L e2e
  lane="WoW64 lane: the end-to-end tests of dist/Setup.exe again in a 64-bit prefix ($(($(date +%s) - lane_start)) s)"
elif [ "$tree" = build/win ]; then
  lane="WoW64 lane: not run (no 64-bit Wine)"
else
  lane="WoW64 lane: not run (it needs the 32-bit Wine too)"
fi
echo "== make test took $(($(date +%s) - start)) s"
echo "Windows tests: $variant"
echo "$lane"
summary=$(printf '%s, ' "${counts[@]}")
echo "$passed passed, $failed failed (${summary%, })"
exit $rc
