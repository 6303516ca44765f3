#!/usr/bin/env bash
# The benchmarks (make bench, after scripts/build.sh), each in a Wine session of
# its own in build/bench-wine:
#   1. bench/bench-unpack.sh   utl_FileUnpack against a bare 4 KiB read/write loop
#                              and CopyFileA (20 and 200 MB)
#   2. bench_sequence.exe        Setup.exe from its start to the installer's start,
#                                for a carrier with a ~20 MB payload, less the fixed
#                                sleeps and waits, with the unpack's and the
#                                archiver's shares (RUNS runs, median)
#   3. bench/klog-fleet.sh      klog fleet over 1000 generated machines' folders,
#                                each with a week of logs (no Wine)
#   4. bench/klog-run.sh        klog show on one run of 1, 16 and 64 MiB of logs
#                                (no Wine)
#   bench/bench.sh [RUNS]      (default 5)
# The sequence benchmark's payload is <tree>/bench-payload: the demo payload
# plus filler, made here once with p7zip: Qt.7z holds the demo's Qt folder and
# about 18 MB of binaries and translations (15 MB packed, -mx1), and two loose
# data files add 5 MB.
set -u
cd "$(dirname "$0")/.."
runs=${1:-5}
. bench/common.sh
bench_exe bench_sequence

status=0
echo "== unpack throughput"
bench/bench-unpack.sh || status=1

# Deterministic filler: AES-CTR keystream of a fixed key, so runs are comparable.
filler() { # seed bytes
  openssl enc -aes-128-ctr -nosalt -K "$(printf %032x "$1")" -iv 0 </dev/zero 2>/dev/null | head -c "$2"
}
payload=$tree/bench-payload
stamp=$tree/bench-payload.stamp
if [ ! -f "$stamp" ] || [ "$tree/demo-payload.stamp" -nt "$stamp" ] || [ "$0" -nt "$stamp" ]; then
  echo "== making $payload"
  rm -rf "$payload" "$stamp" "$tree/bench-qt"
  cp -r "$tree/demo-payload" "$payload" || exit 1
  qt=$tree/bench-qt/Qt
  mkdir -p "$qt/bin" "$qt/translations"
  cp -r tools/demo-payload/content/qt/Qt/. "$qt/"
  for i in 1 2 3; do filler "$i" $((4 << 20)) >"$qt/bin/module$i.dll"; done
  for i in 4 5; do filler "$i" $((1 << 20)) | od -A x -t x1 -v | head -c $((3 << 20)) >"$qt/translations/lang$i.qm"; done
  rm -f "$payload/Qt.7z"
  (cd "$tree/bench-qt" && 7z a -bso0 -mx1 -t7z "$OLDPWD/$payload/Qt.7z" Qt) || exit 1
  rm -rf "$tree/bench-qt"
  filler 6 $((3 << 20)) >"$payload/client-data.bin"
  filler 7 $((2 << 20)) >"$payload/help.dat"
  touch "$stamp"
fi

echo "== setup sequence"
bench_run "$runs" || status=1
echo "== klog fleet"
bench/klog-fleet.sh 1000 "$runs" || status=1
echo "== klog on one long run"
bench/klog-run.sh "$runs" || status=1
exit $status
