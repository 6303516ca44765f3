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
. bench/common.sh
bench_exe bench_unpack
bench_run "$@"
