#!/usr/bin/env bash
# Prints what the shipped bytes depend on besides the commit: the compilers and
# the binutils, the versions and sha256 sums of the third-party sources that
# were built, and, for the tests, Wine. scripts/build.sh writes it to
# dist/BUILDINFO; two builds with equal BUILDINFO give equal bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
cache=$(kivra_cache)

pkg() { dpkg-query -W -f='${Package} ${Version}' "$1" 2>/dev/null || echo "$1 not installed"; }
first() { "$@" 2>/dev/null | head -n 1; }
dsc_version() { sed -n 's/^Version: //p' "$1"/work/*.dsc 2>/dev/null | head -n 1; }
# The sha256 of a set of files, by their paths relative to the folder.
files_sum() { # folder, files...
  local dir=$1
  shift
  (cd "$dir" && sha256sum "$@") | sha256sum | cut -d' ' -f1
}
tree_sum() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) | sha256sum | cut -d' ' -f1; }

commit=$(git rev-parse HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD 2>/dev/null || commit="$commit with uncommitted changes"
tinyxml=$cache/tinyxml
sevenzip=$cache/7zip

cat <<EOF
commit: $commit
cross compiler: $(first i686-w64-mingw32-g++-posix --version) ($(pkg g++-mingw-w64-i686-posix))
cross binutils: $(first i686-w64-mingw32-ld --version) ($(pkg binutils-mingw-w64-i686))
cross runtime: $(pkg mingw-w64-i686-dev)
host compiler (Linux tools): $(first g++ --version) ($(pkg g++-12), $(pkg libc6-dev))
tinyxml source: $(dsc_version "$tinyxml"), sha256 of the files built $(files_sum "$tinyxml/src" tinyxml.cpp tinyxmlparser.cpp tinyxmlerror.cpp tinystr.cpp tinystr.h tinyxml.h)
7zip source: $(dsc_version "$sevenzip"), sha256 of the tree built $(tree_sum "$sevenzip/src")
7za.exe: sha256 $(sha256sum <"$cache/7za.exe" | cut -d' ' -f1)
wine (tests only): $(first /usr/lib/wine/wine64 --version) ($(pkg wine64); 32-bit: $(pkg wine32:i386))
EOF
