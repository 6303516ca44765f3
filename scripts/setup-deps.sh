#!/usr/bin/env bash
# Installs what building and testing need, and only what is missing, so that it
# is quick on a machine that has everything. Runs as root on Debian 12.
#   - Debian packages, in two groups:
#       what every build needs (the mingw-w64 cross compilers, the 64-bit Wine,
#       Xvfb, p7zip, cmake, the GoogleTest sources, OpenSSL, clang, ImageMagick,
#       osslsigncode, file ...): without one of them the run stops and names it;
#       the 32-bit Wine: without it the Windows tests take the x86_64 way, as on
#       a machine whose kernel runs no 32-bit programs (scripts/wine-env.sh);
#   - the zh_CN.UTF-8 locale, with which Wine reports Chinese (PRC) and GBK;
#   - from Debian's source packages, into a cache outside the repository:
#     TinyXML 2.6 (with Debian's patches) and the 7-Zip console extractor 7za.exe
#     built with the cross compiler.
# apt is used as a careful script does: a package index that fails to download
# is a warning (whether the packages install is what counts), `update` is tried
# again after a pause, and a running unattended upgrade is waited for.
#   setup-deps.sh              everything
#   setup-deps.sh --packages   the Debian packages only
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
cache=$(kivra_cache)
only_packages=0
[ "${1:-}" = --packages ] && only_packages=1

core=(cmake make g++ binutils clang pkg-config dpkg-dev file googletest libssl-dev nlohmann-json3-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
  wine wine64 xvfb x11-utils imagemagick p7zip-full locales osslsigncode openssl)
wine32=(wine32:i386)

apt_opts=(-q -o DPkg::Lock::Timeout=900 -o Acquire::Retries=3)
pause=${KIVRA_APT_PAUSE:-5}
logs=$cache/logs
mkdir -p "$logs"

log() { echo "setup-deps: $*"; }
installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed$'; }
missing() { local p; for p; do installed "$p" || echo "$p"; done; }
# What apt itself said was wrong, indented under our own line.
apt_errors() {
  { grep -E '^E: ' "$1"; grep -E ' (Pre)?Depends: |Conflicts: |Breaks: ' "$1" | head -n 8; } | sed 's/^/  apt: /' || true
}

apt_updated=0
apt_update() {
  [ $apt_updated = 1 ] && return 0
  apt_updated=1
  local try
  for try in 1 2 3; do
    apt-get "${apt_opts[@]}" update >"$logs/apt-update.log" 2>&1 && return 0
    [ $try = 3 ] || sleep "$pause"
  done
  # An index that did not arrive (a mirror in mid-sync, say) is one warning:
  # the install tells whether what we need is there without it.
  local failed
  failed=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)/\1 (\2)/p' "$logs/apt-update.log")
  if [ -n "$failed" ]; then
    while read -r line; do log "warning: package index not fetched, going on without it: $line"; done <<<"$failed"
  else
    log "warning: apt-get update failed, going on (apt's output: $logs/apt-update.log)"
    apt_errors "$logs/apt-update.log"
  fi
}

apt_install() { # group name, packages...
  local name=$1
  shift
  log "installing $*"
  apt_update
  DEBIAN_FRONTEND=noninteractive apt-get "${apt_opts[@]}" install -y --no-install-recommends "$@" \
    >"$logs/apt-install-$name.log" 2>&1 && return 0
  apt_errors "$logs/apt-install-$name.log"
  return 1
}

install_core() {
  local need
  mapfile -t need < <(missing "${core[@]}")
  [ ${#need[@]} = 0 ] && return 0
  apt_install core "${need[@]}" && return 0
  # Name the ones apt refuses on their own, not the whole group.
  local p refused=()
  for p in $(missing "${core[@]}"); do
    apt-get "${apt_opts[@]}" install -s "$p" >/dev/null 2>&1 || refused+=("$p")
  done
  [ ${#refused[@]} -gt 0 ] || mapfile -t refused < <(missing "${core[@]}")
  log "cannot go on: every build needs ${refused[*]}, and apt could not install it (apt's output: $logs/apt-install-core.log)"
  exit 1
}

# Tried once; when it fails, the marker keeps later runs out of apt for a day.
install_wine32() {
  local marker
  marker=$(kivra_wine32_marker)
  if installed "${wine32[0]}"; then
    rm -f "$marker"
    return 0
  fi
  if [ -n "$(find "$marker" -mmin -1440 2>/dev/null)" ]; then
    log "32-bit Wine could not be installed at $(date -r "$marker" '+%F %R'); the Windows tests take the x86_64 way (delete $marker to try again)"
    return 0
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture (for the 32-bit Wine)"
    dpkg --add-architecture i386
    apt_updated=0
  fi
  if apt_install wine32 "${wine32[@]}"; then
    rm -f "$marker"
  else
    cp "$logs/apt-install-wine32.log" "$marker"
    log "32-bit Wine could not be installed: the Windows tests take the x86_64 way"
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

# Source packages come through a private apt configuration in the cache: its
# own source list (deb-src twins of the machine's entries for Debian's own
# archives, never of other repositories), its own lists and caches. The
# machine's apt stays exactly as it was, whether the fetch works or not.
src_dir=$cache/apt-src
src_opts=(-o "Dir::Etc::SourceList=$src_dir/sources.list" -o "Dir::Etc::SourceParts=$src_dir/none"
  -o "Dir::State::Lists=$src_dir/lists" -o "Dir::Cache=$src_dir/cache" -o APT::Sandbox::User=root)
debian_uri='://([^/ ]+\.)?debian\.org/|debian-archive-keyring'
src_ready=0
src_update() {
  [ $src_ready = 1 ] && return 0
  mkdir -p "$src_dir/none" "$src_dir/lists/partial" "$src_dir/cache/archives/partial"
  {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] && grep -E '^deb[[:space:]]' "$f" | grep -E "$debian_uri" | sed 's/^deb/deb-src/'
    done
    # deb822 stanzas: one line per stanza first, then the same test.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk 'BEGIN { RS = ""; FS = "\n" }
        { types = uris = suites = comps = key = ""; enabled = 1
          for (i = 1; i <= NF; i++) {
            split($i, kv, ":[[:space:]]*"); k = tolower(kv[1]); v = substr($i, length(kv[1]) + 2)
            gsub(/^[[:space:]]+/, "", v)
            if (k == "types") types = v; else if (k == "uris") uris = v
            else if (k == "suites") suites = v; else if (k == "components") comps = v
            else if (k == "signed-by") key = v; else if (k == "enabled" && v == "no") enabled = 0 }
          if (!enabled || types !~ /(^|[[:space:]])deb([[:space:]]|$)/) next
          n = split(uris, u, /[[:space:]]+/); m = split(suites, s, /[[:space:]]+/)
          for (a = 1; a <= n; a++) for (b = 1; b <= m; b++)
            printf "deb-src%s %s %s %s\n", (key ~ /^\// ? " [signed-by=" key "]" : ""), u[a], s[b], comps }' "$f" |
        grep -E "$debian_uri" || true
    done
  } >"$src_dir/sources.list"
  [ -s "$src_dir/sources.list" ] || { log "cannot go on: no entry for Debian's own archives in /etc/apt, so no source packages"; exit 1; }
  if ! apt-get "${apt_opts[@]}" "${src_opts[@]}" update >"$logs/apt-src-update.log" 2>&1; then
    log "warning: not every source index arrived (apt's output: $logs/apt-src-update.log)"
  fi
  src_ready=1
}

fetch_source() { # package, folder
  local pkg=$1 dir=$2
  [ -d "$dir/src" ] && return
  src_update
  log "fetching Debian's $pkg source"
  rm -rf "$dir" && mkdir -p "$dir/work"
  if ! (cd "$dir/work" && apt-get "${apt_opts[@]}" "${src_opts[@]}" source "$pkg" >../fetch.log 2>&1); then
    apt_errors "$dir/fetch.log"
    log "cannot go on: Debian's $pkg source could not be fetched (apt's output: $dir/fetch.log)"
    rm -rf "$dir"
    exit 1
  fi
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

install_core
install_wine32
[ $only_packages = 1 ] && exit 0
old_src=(/etc/apt/sources.list.d/kivra-src*)
if [ -e "${old_src[0]}" ]; then
  log "removing the deb-src entries that earlier versions of this script added: ${old_src[*]}"
  rm -f "${old_src[@]}"
fi
install_locale
fetch_source tinyxml "$cache/tinyxml"
build_7za i686-w64-mingw32 7za.exe
if [ "$(kivra_wine_arch)" = win64 ]; then
  build_7za x86_64-w64-mingw32 7za-x64.exe
fi
