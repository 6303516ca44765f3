#!/usr/bin/env bash
# The mutation check: does a small, plausible fault in the code fail a host
# test? Reads blocks of source edits from bench/mutations/*.txt, applies each
# in turn to a scratch copy of the repository, rebuilds its host tree, runs the
# host tests and prints, per block, killed (a test failed; "killed (build)"
# when the edit does not compile), survived (every test passed) or invalid (the
# find text does not occur exactly once), then the totals and the ratio killed.
#   bench/mutate.sh [-j N] [--check] [LIST.txt...] [PATTERN...]
#     LIST.txt  list files to read instead of bench/mutations/*.txt
#     PATTERN   run only the blocks whose description or file matches one of
#               these extended regular expressions (case ignored)
#     -j N      build jobs and parallel tests (default 2)
#     --check   only say whether each block's find text occurs exactly once
# A block of a list:
#     # the behaviour a user relies on that this edit breaks
#     file: path/from/the/repository/top
#     find: an exact fragment of one line, occurring once in the file
#     replace: what it becomes
# Blocks are separated by blank lines; the text of find and replace starts
# after the one blank that follows the colon. A block of comments only (a
# list's head) is skipped.
#
# The scratch copy is build/mutate/src (KIVRA_MUTATE_DIR moves it): the files
# git knows or would add, as they are in the working tree, copied only where
# they changed, so that a second run builds incrementally. Its tree
# build/mutate/host is configured as build/host (Debug, sanitizers) but
# without the clang fuzz targets; the fuzz tests are not run, and the host tree
# has no test that needs Wine. The unmutated copy must pass first. Exits 1
# when a block is invalid or the check could not run, 0 otherwise.
# Not part of make test: about 15 s a block on 2 cores.
set -u
cd "$(dirname "$0")/.."
top=$PWD
jobs=2 check_only=0 lists=() patterns=()
while [ $# -gt 0 ]; do
  case $1 in
    -j) jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    --check) check_only=1; shift ;;
    -h|--help) sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) if [ -f "$1" ]; then lists+=("$1"); else patterns+=("$1"); fi; shift ;;
  esac
done
[ ${#lists[@]} -gt 0 ] || lists=(bench/mutations/*.txt)
work=${KIVRA_MUTATE_DIR:-build/mutate}
src=$work/src tree=$work/host logs=$work/logs

# Reads the lists into parallel arrays, one entry a block.
descs=() files=() finds=() replaces=() origins=()
parse() { # list file
  local line n=0 desc="" file="" find="" replace="" have=0 bad=0 start=0
  flush() {
    if [ $have = 1 ] || [ -n "$file$find$replace" ] || [ $bad = 1 ]; then
      # A block that lacks a part, or holds a line of no part, is invalid:
      # its empty find text matches nothing.
      [ -n "$file" ] && [ $have = 1 ] && [ $bad = 0 ] || find=""
      descs+=("${desc:-(no description)}") files+=("$file") finds+=("$find") replaces+=("$replace")
      origins+=("$list:$start")
    fi
    desc="" file="" find="" replace="" have=0 bad=0 start=0
  }
  while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    line=${line%$'\r'}
    [ $start != 0 ] || start=$n
    case $line in
      *[![:space:]]*) ;;
      *) flush; continue ;;
    esac
    case $line in
      "#"*) [ -n "$desc$file" ] || { desc=${line#\#}; desc=${desc# }; } ;;
      file:*) file=${line#file:}; file=${file# } ;;
      find:*) find=${line#find:}; find=${find# } ;;
      replace:*) replace=${line#replace:}; replace=${replace# }; have=1 ;;
      *) bad=1 ;;
    esac
  done <"$list"
  flush
}
for list in "${lists[@]}"; do parse; done

# Whether block k is picked by the patterns.
picked() {
  [ ${#patterns[@]} = 0 ] && return 0
  local p
  shopt -s nocasematch
  for p in "${patterns[@]}"; do
    if [[ "${descs[$1]} ${files[$1]}" =~ $p ]]; then shopt -u nocasematch; return 0; fi
  done
  shopt -u nocasematch
  return 1
}

# Applies block k to its file under dir ($2); with dry set ($3), only counts.
# Exit 0 when the find text occurred exactly once.
apply() {
  [ -n "${finds[$1]}" ] && [ -f "$2/${files[$1]}" ] || return 1
  MUT_FIND=${finds[$1]} MUT_REPLACE=${replaces[$1]} MUT_DRY=$3 perl -0777 -e '
    my ($path, $find, $rep) = ($ARGV[0], $ENV{MUT_FIND}, $ENV{MUT_REPLACE});
    open(my $in, "<:raw", $path) or exit 1;
    my $text = <$in>;
    close $in;
    my ($count, $at) = (0, -1);
    for (my $p = index($text, $find); $p >= 0; $p = index($text, $find, $p + 1)) { $count++; $at = $p; }
    exit 1 unless $count == 1;
    exit 0 if $ENV{MUT_DRY};
    substr($text, $at, length $find) = $rep;
    open(my $out, ">:raw", $path) or exit 1;
    print $out $text;
    close $out or exit 1;' "$2/${files[$1]}"
}

if [ $check_only = 1 ]; then
  bad=0
  for k in "${!descs[@]}"; do
    picked "$k" || continue
    if apply "$k" . 1; then echo "ok       ${origins[$k]}  ${descs[$k]}"
    else echo "invalid  ${origins[$k]}  ${descs[$k]}"; bad=1; fi
  done
  exit $bad
fi

# The scratch copy: changed files only, so that timestamps keep the build incremental.
mkdir -p "$src" "$logs" || exit 1
git ls-files -z -co --exclude-standard | sort -z >"$work/files" || exit 1
while IFS= read -r -d '' f; do
  [ -f "$f" ] || continue
  if ! cmp -s "$f" "$src/$f"; then
    # A fresh time stamp: an object built from a mutated copy is rebuilt.
    mkdir -p "$src/$(dirname "$f")" && cp "$f" "$src/$f" || exit 1
  fi
done <"$work/files"
# Files the repository no longer has must not linger in the copy.
(cd "$src" && find . -type f -printf '%P\0' | sort -z) | comm -z -23 - "$work/files" |
  (cd "$src" && xargs -0 -r rm -f --)

build() { cmake --build "$tree" -j "$jobs" >"$1" 2>&1; }
# Runs the host tests; the log names the failed ones.
host_tests() { ctest --test-dir "$tree" -j "$jobs" -E fuzz --timeout 300 --stop-on-failure >"$1" 2>&1; }
generator=()
command -v ninja >/dev/null && [ ! -f "$tree/CMakeCache.txt" ] && generator=(-G Ninja)
echo "== building the scratch copy's host tree ($tree)"
if ! cmake -S "$src" -B "$tree" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DKIVRA_CLANGXX=OFF >"$logs/configure.log" 2>&1 ||
   ! build "$logs/baseline-build.log"; then
  echo "mutate: the unmutated copy does not build; see $logs/"
  exit 1
fi
if ! host_tests "$logs/baseline-test.log"; then
  echo "mutate: the unmutated copy fails its host tests; see $logs/baseline-test.log"
  exit 1
fi

killed=0 survived=0 invalid=0 total=0
began=$(date +%s)
trap 'exit 130' INT TERM
for k in "${!descs[@]}"; do
  picked "$k" || continue
  total=$((total + 1))
  file=$src/${files[$k]}
  if ! apply "$k" "$src" 1; then
    status=invalid
    invalid=$((invalid + 1))
  else
    cp -p "$file" "$work/original"
    log=$logs/block$total.log
    if ! apply "$k" "$src" 0; then
      echo "mutate: cannot write $file" >&2
      exit 1
    elif ! build "$log"; then
      status="killed (build)"
      killed=$((killed + 1))
    elif host_tests "$log"; then
      status=survived
      survived=$((survived + 1))
    else
      failed=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log" | paste -sd, -)
      status="killed (${failed:-tests})"
      killed=$((killed + 1))
    fi
    # Restored with a fresh time stamp: the next build compiles it again.
    cat "$work/original" >"$file"
  fi
  label=$(printf '%-34s' "$status")
  echo "$label ${origins[$k]}  ${descs[$k]}"
done
trap - INT TERM
if [ "$total" -gt 0 ]; then
  echo "== $total blocks in $(($(date +%s) - began)) s: $killed killed, $survived survived, $invalid invalid;" \
       "$((killed * 100 / total)) % killed"
fi
# The copy is left unmutated for the next run.
build "$logs/restore.log" || true
[ "$invalid" = 0 ]
