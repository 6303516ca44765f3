#!/usr/bin/env bash
# Mutation benchmark: under Wine, PACKS damaged copies of one small pack against
# utl_FileUnpack (bench/bench_mutate.cpp), in batches of BATCH packs. Each batch
# is one program run with a seed of its own (1, 2, ...) and a time limit, so
# that a crash or a hang names the batch that shows it, and the batch can be run
# again alone. Prints, summed over all batches, how many packs met each code
# (0: the pack read to its end), the crashes and the hangs.
#   bench/bench-mutate.sh [PACKS [BATCH]]   after scripts/build.sh; default 10000 2500
# It runs the tree that bench/common.sh picks: build/win (i686, the shipped
# build) where this machine runs 32-bit programs, build/win64 where it cannot.
# KIVRA_MUTATE_DIGESTS=DIR keeps, per batch, each pack's code and a digest of
# its log lines in DIR/seed<N>.txt: the same files from two builds, compared
# with diff, show whether they log alike pack by pack.
set -u
cd "$(dirname "$0")/.."
packs=${1:-10000}
batch=${2:-2500}
. bench/common.sh
bench_exe bench_mutate
out=build/bench-mutate
root=build/bench-wine
rm -rf "$out" && mkdir -p "$out"
digests=${KIVRA_MUTATE_DIGESTS:-}
if [ -n "$digests" ]; then
  mkdir -p "$digests"
  digests=$(cd "$digests" && pwd)
fi

start_session() { scripts/wine-session.sh start "$root" >/dev/null; }
start_session || exit 1
export KIVRA_WINE_ROOT
KIVRA_WINE_ROOT=$(cd "$root" && pwd)
crashes=0 hangs=0 seed=0 left=$packs
began=$(date +%s)
echo "== $packs mutated packs in batches of $batch ($tree)"
while [ "$left" -gt 0 ]; do
  seed=$((seed + 1))
  n=$((left < batch ? left : batch))
  left=$((left - n))
  args=("$n" "$seed")
  # The program runs under Wine, which sees the Unix root as drive Z:.
  [ -z "$digests" ] || args+=("Z:${digests//\//\\}\\seed$seed.txt")
  timeout -k 10 900 scripts/wine-run.sh "$exe" "${args[@]}" >"$out/seed$seed.log" 2>&1
  rc=$?
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    echo "HANG: batch seed $seed (no end within 900 s)"
    hangs=$((hangs + 1))
    # A fresh session ends whatever the stopped run left behind.
    scripts/wine-session.sh stop "$root"
    start_session || exit 1
  elif [ "$rc" != 0 ] || ! grep -q '^packs ' "$out/seed$seed.log"; then
    echo "CRASH or FAULT: batch seed $seed (exit $rc), output in $out/seed$seed.log"
    grep '^FAULT' "$out/seed$seed.log"
    crashes=$((crashes + 1))
  else
    grep '^packs ' "$out/seed$seed.log"
  fi
done
scripts/wine-session.sh stop "$root"
echo "== $((seed)) batches, $(($(date +%s) - began)) s; codes met (0: read to its end)"
cat "$out"/seed*.log | awk '/^outcome / { sub(":", "", $2); n[$2] += $3; all += $3 }
  END { for (c in n) printf "  %3s  %6d packs\n", c, n[c] | "sort -n"; close("sort -n"); printf "  all  %6d packs\n", all }'
echo "crashes or faults: $crashes, hangs: $hangs"
[ "$crashes" = 0 ] && [ "$hangs" = 0 ]
