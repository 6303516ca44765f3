#!/usr/bin/env bash
# Checks what makes dist/ reproducible and portable, as far as it is cheap:
# every Windows executable has the fixed link time stamp 0 and a header checksum
# that matches its bytes (as osslsigncode computes it), no shipped file holds
# the path of the source or build folder, and each tool needs only system
# libraries (Linux: the C runtime; Windows: system DLLs).
#   check-release.sh DIST_DIR FOLDER...   (the FOLDERs must not appear)
set -u
dist=${1:?dist folder}
shift
fail=0
bad() { echo "check-release: $*" >&2; fail=1; }
list=$(mktemp)
trap 'rm -f "$list"' EXIT
le32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

shipped=("$dist"/*.exe "$dist"/bin/*)
[ -e "${shipped[0]}" ] || { bad "nothing in $dist"; exit 1; }
for f in "${shipped[@]}"; do
  for folder in "$@"; do
    grep -qF -- "$folder" "$f" && bad "$f holds the build path $folder"
  done
  if [ "$(head -c2 "$f")" = MZ ]; then
    pe=$(le32 "$f" 60)
    stamp=$(le32 "$f" $((pe + 8)))
    [ "$stamp" = 0 ] || bad "$f has the link time stamp $stamp, not 0"
    # A carrier's checksum as kpack judges it; the bare program's as osslsigncode
    # does (which leaves out the last byte of a file of odd length).
    if "$dist/bin/kpack" list "$f" >"$list" 2>/dev/null; then
      grep -q '^carrier: .*checksum correct' "$list" || bad "$f has a wrong header checksum"
    elif osslsigncode verify -in "$f" 2>&1 | grep -q 'invalid PE checksum'; then
      bad "$f has a wrong header checksum"
    fi
    i686-w64-mingw32-objdump -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | grep -qiE '^lib|^msvcp|^vcruntime' &&
      bad "$f needs a runtime DLL beside it"
  else
    extra=$(readelf -d "$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -vE '^(libc\.so\.6|libm\.so\.6|ld-linux.*)$')
    [ -z "$extra" ] || bad "$f needs $extra"
  fi
done
[ $fail = 0 ] && echo "check-release: ${#shipped[@]} files in $dist: time stamps 0, checksums right, no build paths, system libraries only"
exit $fail
