#!/usr/bin/env bash
# Installs what building and testing need, and only what is missing, so that it
# is quick on a machine that has everything. Runs as root on Debian 12.
#   - Debian packages: the mingw-w64 i686 cross compiler, Wine (32-bit), Xvfb,
#     p7zip, cmake, the GoogleTest sources, OpenSSL (differential tests), clang
#     (libFuzzer), ImageMagick (screenshots), osslsigncode and openssl (the
#     signed-carrier test);
#   - the zh_CN.UTF-8 locale, with which Wine reports Chinese (PRC) and GBK;
#   - from Debian's source packages, into a cache outside the repository:
#     TinyXML 2.6 (with Debian's patches) and the 7-Zip console extractor 7za.exe
#     built with the cross compiler.
set -euo pipefail

cache=${KIVRA_CACHE:-/var/cache/kivra-build}
packages=(cmake make g++-mingw-w64-x86-64-posix wine64 g++ clang pkg-config dpkg-dev googletest libssl-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 xvfb x11-utils imagemagick p7zip-full locales osslsigncode openssl)

log() { echo "setup-deps: $*"; }
apt_updated=0
apt_update() {
  if [ $apt_updated = 0 ]; then
    apt-get update -q >/dev/null
    apt_updated=1
  fi
}

install_packages() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
  fi
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    apt_update
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

install_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    log "generating the zh_CN.UTF-8 locale"
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
  fi
}

# Source entries derived from the machine's own binary entries, never a fixed host.
enable_deb_src() {
  if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  log "adding deb-src entries beside the machine's deb entries"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" >"/etc/apt/sources.list.d/kivra-src-$(basename "$f")"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      >/etc/apt/sources.list.d/kivra-src.list || true
  fi
  apt_updated=0
  apt_update
}

fetch_source() { # package, folder
  local pkg=$1 dir=$2
  [ -d "$dir/src" ] && return
  enable_deb_src
  apt_update
  log "fetching Debian's $pkg source"
  rm -rf "$dir" && mkdir -p "$dir/work"
  (cd "$dir/work" && apt-get source -q "$pkg" >../fetch.log 2>&1)
  local top
  top=$(find "$dir/work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  mv "$top" "$dir/src"
}

# (MSYSTEM selects the makefile's Unix shell commands; -static makes it standalone.)
# 7za.exe for the payloads: i686 for the product, and x86_64 as well where the
# Windows tests run as x86_64 builds (scripts/wine-env.sh).
build_7za() { # mingw triple, cached file name
  local triple=$1 exe="$cache/$2"
  [ -f "$exe" ] && return
  fetch_source 7zip "$cache/7zip"
  log "building $2 with mingw for $triple (about a minute)"
  local src="$cache/7zip/build-$triple"
  rm -rf "$src" && cp -a "$cache/7zip/src" "$src"
  local b="$src/CPP/7zip/Bundles/Alone"
  (cd "$b" && make -j"$(nproc)" -f ../../cmpl_gcc.mak IS_MINGW=1 MSYSTEM=1 LIB_HTMLHELP= LDFLAGS=-static \
      CC="$triple-gcc-posix" CXX="$triple-g++-posix" \
      RC="$triple-windres" CFLAGS_WARN_WALL= >"$cache/7zip/build-$triple.log" 2>&1) ||
    { tail -n 30 "$cache/7zip/build-$triple.log"; exit 1; }
  local built
  built=$(find "$b" -name 7za.exe | head -n 1)
  [ -n "$built" ] || { log "7za.exe was not built"; exit 1; }
  cp "$built" "$exe"
  rm -rf "$src"
}

install_packages
install_locale
mkdir -p "$cache"
fetch_source tinyxml "$cache/tinyxml"
build_7za i686-w64-mingw32 7za.exe
if [ "$("$(dirname "$0")/wine-arch.sh")" = win64 ]; then
  build_7za x86_64-w64-mingw32 7za-x64.exe
fi
