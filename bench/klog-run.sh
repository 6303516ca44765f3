#!/usr/bin/env bash
# The klog single-run benchmark: dist/bin/klog (the shipped Linux build) on a
# KivraLog folder that holds one long run of Setup.exe, for setup logs of each
# size in MiB (default 1, 16 and 64; 64 MiB is the most klog reads of a file),
# as text and as JSON; the median of RUNS timings (default 3) of each. The
# folders are made once, in build/bench-klog.
#   bench/klog-run.sh [RUNS [MIB...]]
set -u
cd "$(dirname "$0")/.."
runs=${1:-3}
shift $(($# > 0 ? 1 : 0))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 16 64)
gen=build/host/bench/klog_run_gen klog=${KLOG:-dist/bin/klog}
for f in "$gen" "$klog"; do
  [ -x "$f" ] || { echo "bench: $f is missing; build first (make build)" >&2; exit 1; }
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for mib in "${sizes[@]}"; do
  folder=build/bench-klog/run-$mib
  if [ ! -d "$folder" ] || [ "$gen" -nt "$folder" ]; then
    rm -rf "$folder" && mkdir -p "$(dirname "$folder")"
    "$gen" "$folder" "$mib" || exit 1
  fi
  cat "$folder"/* >/dev/null
  for form in text json; do
    args=(show "$folder")
    [ $form = json ] && args=(show --json "$folder")
    for ((i = 0; i < runs; i++)); do
      start=$(date +%s.%N)
      "$klog" "${args[@]}" >/dev/null || { echo "bench: klog ${args[*]} failed" >&2; exit 1; }
      end=$(date +%s.%N)
      awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
    done | median | xargs printf "  %3s MiB, %-4s %6.2f s (median of $runs)\n" "$mib" "$form"
  done
done
