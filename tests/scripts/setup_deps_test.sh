#!/usr/bin/env bash
# scripts/setup-deps.sh against stand-in apt-get, dpkg-query and dpkg put first
# on PATH: a package index that fails to download, a 32-bit Wine that cannot be
# installed, a package every build needs that is refused, and a second run.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

mkdir -p "$work/bin"
# The stand-ins keep the "installed" packages in a file and log every apt call.
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
pkg=$(eval echo \${$#})
grep -qx "$pkg" "$STANDIN_DIR/installed" && { echo 'install ok installed'; exit 0; }
exit 1
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/bin/sh
case "$1" in
  --print-foreign-architectures) cat "$STANDIN_DIR/arch" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$STANDIN_DIR/arch" ;;
esac
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "$*" >>"$STANDIN_DIR/apt-calls"
case " $* " in
  *" update "*)
    echo 'E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?'
    exit 100 ;;
  *" install "*)
    for p; do
      case "$p" in
        *:i386|$STANDIN_REFUSE)
          echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
      esac
    done
    for p; do case "$p" in -*|install) ;; *) echo "$p" >>"$STANDIN_DIR/installed" ;; esac; done ;;
esac
STANDIN
chmod +x "$work/bin"/*

run() { # case folder, refused package pattern
  export STANDIN_DIR=$1 STANDIN_REFUSE=$2
  mkdir -p "$STANDIN_DIR"
  touch "$STANDIN_DIR/installed"
  PATH="$work/bin:$PATH" KIVRA_CACHE="$STANDIN_DIR/cache" KIVRA_APT_PAUSE=0 \
    "$top/scripts/setup-deps.sh" --packages >"$STANDIN_DIR/out" 2>&1
}

# 1. The index fails and the 32-bit Wine is refused: the run goes on, the rest
#    installs, and the x86_64 way is chosen and said why.
c=$work/index
run "$c" no-such-package
rc=$?
[ $rc = 0 ] || fail "a failed index and a refused 32-bit Wine ended the run ($rc)"
grep -q 'warning: package index not fetched, going on without it: http://deb.example/.*binary-i386/Packages.xz (File has unexpected size' "$c/out" ||
  fail "no one-line warning naming the failed index"
[ "$(grep -c "^update\| update" "$c/apt-calls")" -ge 3 ] || fail "update was not tried again after it failed"
grep -qx cmake "$c/installed" || fail "the packages every build needs were not installed"
grep -q '32-bit Wine could not be installed: the Windows tests take the x86_64 way' "$c/out" ||
  fail "the refused 32-bit Wine was not reported"
grep -q 'apt: E: Unable to correct problems' "$c/out" || fail "apt's own error line was not shown"
grep -qx i386 "$c/arch" || fail "the i386 architecture was not added"
why=$(KIVRA_CACHE="$c/cache" KIVRA_WINE32_LOADER="$c/none" "$top/scripts/wine-arch.sh" --why)
arch=$(KIVRA_CACHE="$c/cache" KIVRA_WINE32_LOADER="$c/none" "$top/scripts/wine-arch.sh")
[ "$arch $why" = "win64 32-bit Wine could not be installed" ] || fail "the tests would run as '$arch' because '$why'"

# 2. The same machine again: no time in apt at all.
: >"$c/apt-calls"
run "$c" no-such-package || fail "the second run failed"
[ ! -s "$c/apt-calls" ] || fail "the second run called apt: $(cat "$c/apt-calls")"
grep -q '32-bit Wine could not be installed at .*x86_64 way' "$c/out" || fail "the second run did not say which way"

# 3. A package every build needs is refused: the run stops and names it.
c=$work/refused
run "$c" g++-mingw-w64-i686-posix
rc=$?
[ $rc != 0 ] || fail "a refused cross compiler did not stop the run"
grep -q 'cannot go on: every build needs g++-mingw-w64-i686-posix, and apt' "$c/out" || fail "the refused package was not named alone"
grep -q 'apt: E: Unable to correct problems' "$c/out" || fail "apt's own error line was not shown"

[ $fails = 0 ] && echo "setup-deps: index failure, refused 32-bit Wine, refused build package and second run all as expected"
exit $((fails > 0))
