#!/usr/bin/env bash
# Unpack benchmark: under Wine, unpacks 20 MB and 200 MB payloads from a kpack
# carrier with utl_FileUnpack, against a bare loop of 4 KiB ReadFile/WriteFile
# pairs over the same pack region and against CopyFileA of a file of the same
# size; prints the MB/s of each and the unpacker's ratios (target: 0.9 or more
# of the bare loop).
#   bench/bench-unpack.sh [ROUNDS [SIZE_MB...]]   after scripts/build.sh (make bench)
# Needs about three times the largest size in free disk space under build/.
set -u
cd "$(dirname "$0")/.."
tree=${KIVRA_BENCH_TREE:-build/win}
[ -n "${KIVRA_BENCH_TREE:-}" ] || [ "$(scripts/wine-arch.sh)" = win32 ] || tree=build/win64
exe=$tree/bench/bench_unpack.exe
if [ ! -f "$exe" ]; then
  echo "bench-unpack: $exe is missing; build first (make build)" >&2
  exit 1
fi
root=build/bench-wine
scripts/wine-session.sh start "$root" >/dev/null || exit 1
trap 'scripts/wine-session.sh stop "$root"' EXIT
KIVRA_WINE_ROOT=$(cd "$root" && pwd) scripts/wine-run.sh "$exe" "$@"
