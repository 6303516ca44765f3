#!/usr/bin/env bash
# The klog fleet benchmark: dist/bin/klog (the shipped Linux build) over the
# KivraLog folders of MACHINES generated machines (default 1000), each with a
# week of logs, as text, as JSON and with the HTML page; the median of RUNS
# timings (default 5) of each. The folders are made once, in build/bench-klog.
#   bench/klog-fleet.sh [MACHINES [RUNS]]
set -u
cd "$(dirname "$0")/.."
machines=${1:-1000} runs=${2:-5}
gen=build/host/bench/klog_fleet_gen klog=dist/bin/klog
for f in "$gen" "$klog"; do
  [ -x "$f" ] || { echo "bench: $f is missing; build first (make build)" >&2; exit 1; }
done
fleet=build/bench-klog/fleet-$machines
if [ ! -d "$fleet" ] || [ "$gen" -nt "$fleet" ]; then
  rm -rf "$fleet" && mkdir -p "$(dirname "$fleet")"
  "$gen" "$fleet" "$machines" || exit 1
fi
echo "$machines machines, $(find "$fleet" -type f | wc -l) files, $(du -sm "$fleet" | cut -f1) MB"
# Read once, so that every timing finds the files in the page cache.
cat "$fleet"/*/* >/dev/null
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
time_of() { # label, klog arguments...
  local label=$1 i start end
  shift
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$klog" "$@" >/dev/null || { echo "bench: klog $* failed" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
  done | median | xargs printf "  %-22s %.2f s (median of $runs)\n" "$label"
}
time_of "fleet (text)" fleet "$fleet"/*
time_of "fleet --json" fleet --json "$fleet"/*
time_of "fleet --html" fleet --html build/bench-klog/fleet.html "$fleet"/*
"$klog" fleet "$fleet"/* | tail -n 8
