#!/usr/bin/env bash
# The Windows builds of the tools against the Linux builds, under Wine: for the
# same input they must write the same bytes, and each must read what the other
# wrote.
#   check-windows-tools.sh WINE_ROOT LINUX_BIN KPACK_EXE VRFTOOL_EXE CARRIER PAYLOAD_DIR KLOG_EXE
set -u
root=${1:?} linux=${2:?} kpack_exe=${3:?} vrftool_exe=${4:?} carrier=${5:?} payload=${6:?} klog_exe=${7:?}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "$root/tools-roundtrip.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "check-windows-tools: $*" >&2; fail=1; }
win() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
# Runs a Windows tool; its output, without CRs, goes to the file named first.
run() { local out=$1; shift; "$here/wine-run.sh" "$@" | tr -d '\r' >"$out"; return "${PIPESTATUS[0]}"; }
export KIVRA_WINE_ROOT=$root

cp "$carrier" "$work/Setup.exe"
"$linux/kpack" make "$payload" "$work/Setup.exe" "$work/linux.exe" || bad "kpack make failed"
run "$work/make.out" "$kpack_exe" make "$(win "$payload")" "$(win "$work/Setup.exe")" "$(win "$work/win.exe")" ||
  bad "kpack.exe make failed: $(cat "$work/make.out")"
cmp -s "$work/linux.exe" "$work/win.exe" || bad "kpack.exe make wrote other bytes than kpack make"

# The output guard on Windows: onto the carrier and into the payload folder
# are refused (4) before anything is written, and --version answers.
run "$work/guard.out" "$kpack_exe" make "$(win "$payload")" "$(win "$work/Setup.exe")" "$(win "$work/Setup.exe")"
[ $? = 4 ] && cmp -s "$carrier" "$work/Setup.exe" || bad "kpack.exe make wrote onto its carrier: $(cat "$work/guard.out")"
cp -r "$payload" "$work/payload"
run "$work/guard.out" "$kpack_exe" make "$(win "$work/payload")" "$(win "$work/Setup.exe")" "$(win "$work/payload/new.exe")"
[ $? = 4 ] && [ ! -e "$work/payload/new.exe" ] || bad "kpack.exe make wrote into its payload folder"
ls -a "$work" "$work/payload" | grep -q '^\.kivra-' && bad "kpack.exe left a temporary file"
run "$work/version.out" "$kpack_exe" --version && grep -q '^kpack ' "$work/version.out" ||
  bad "kpack.exe --version says $(cat "$work/version.out")"

"$linux/kpack" list "$work/linux.exe" >"$work/list.linux"
run "$work/list.win" "$kpack_exe" list "$(win "$work/linux.exe")" || bad "kpack.exe list failed"
cmp -s "$work/list.linux" "$work/list.win" || bad "kpack.exe list says $(cat "$work/list.win")"
run "$work/extract.out" "$kpack_exe" extract "$(win "$work/linux.exe")" "$(win "$work/files")" ||
  bad "kpack.exe extract failed: $(cat "$work/extract.out")"
diff -r "$payload" "$work/files" >/dev/null || bad "kpack.exe extract gave other files than were packed"

# vrftool with the fixed test sequence in place of random bytes.
printf '[Functions]\r\nUninstall=1\r\n' >"$work/KivraCustom.ini"
export KIVRA_VRFTOOL_FIXED_RANDOM=11
"$linux/vrftool" make "$work/KivraCustom.ini" --out "$work/linux.vrf" >/dev/null 2>&1 || bad "vrftool make failed"
run "$work/vrf.out" "$vrftool_exe" make "$(win "$work/KivraCustom.ini")" --out "$(win "$work/win.vrf")" ||
  bad "vrftool.exe make failed: $(cat "$work/vrf.out")"
unset KIVRA_VRFTOOL_FIXED_RANDOM
cmp -s "$work/linux.vrf" "$work/win.vrf" || bad "vrftool.exe make wrote other bytes than vrftool make"
run "$work/check.out" "$vrftool_exe" check "$(win "$work/KivraCustom.ini")" "$(win "$work/linux.vrf")" ||
  bad "vrftool.exe check refuses vrftool's pair: $(cat "$work/check.out")"
"$linux/vrftool" encrypt 'Adm1n!' >"$work/enc.linux"
run "$work/enc.win" "$vrftool_exe" encrypt 'Adm1n!' || bad "vrftool.exe encrypt failed"
cmp -s "$work/enc.linux" "$work/enc.win" || bad "vrftool.exe encrypt gives $(cat "$work/enc.win")"

# klog: the same verdicts from the same folder, a GBK line decoded alike by
# the system's converter on either side.
mkdir "$work/logs"
cp "$here/../tests/tools/klog_logs/midnight/"* "$work/logs/"
printf '[2026-12-08 09:00:00] [2a0] %s\r\n' 'The C: free space is 900M.' $'C:\\\xb0\xb2\xd7\xb0\\Setup.exe' \
  'install failed with Err 352.' 'Exit main' >"$work/logs/setup2026120802.log"
"$linux/klog" show --json "$work/logs" | grep -v '"folder":' >"$work/klog.linux"
run "$work/klog.out" "$klog_exe" show --json "$(win "$work/logs")" || bad "klog.exe show failed: $(cat "$work/klog.out")"
grep -v '"folder":' "$work/klog.out" >"$work/klog.win"
grep -q 'C:\\\\安装\\\\Setup.exe' "$work/klog.linux" || bad "klog does not decode GBK: $(cat "$work/klog.linux")"
cmp -s "$work/klog.linux" "$work/klog.win" || bad "klog.exe says $(diff "$work/klog.linux" "$work/klog.win")"

# klog.exe leaves a log it reads as it was, whatever --html names.
cp "$work/logs/setup2026120802.log" "$work/log.before"
run "$work/guard.out" "$klog_exe" fleet --html "$(win "$work/logs/setup2026120802.log")" "$(win "$work/logs")"
[ $? = 4 ] && cmp -s "$work/log.before" "$work/logs/setup2026120802.log" || bad "klog.exe fleet --html wrote over a log"

[ $fail = 0 ] && echo "check-windows-tools: kpack.exe, vrftool.exe and klog.exe give the Linux tools' bytes"
exit $fail
