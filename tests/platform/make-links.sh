#!/usr/bin/env bash
# Lays out C:\linktest for the deletion tests: trees that hold symbolic links to
# a directory whose contents must survive every deletion.
set -eu
d=${1:?folder}
rm -rf "$d"
mkdir -p "$d/target/inner" "$d/tree/sub" "$d/flat"
echo keep >"$d/target/keep.txt"
echo keep >"$d/target/inner/deep.txt"
echo x >"$d/tree/sub/file.txt"
echo x >"$d/tree/top.txt"
ln -s ../target "$d/tree/link"
ln -s ../target "$d/tree/sub/deeplink"
ln -s target "$d/treelink"
ln -s ../target "$d/flat/link"
# C:\tmp\LinkPlace0, a work directory (prefix "LinkPlace") that is a link.
mkdir -p "$d/wtarget" "$d/../tmp"
echo keep >"$d/wtarget/keep.txt"
rm -rf "$d/../tmp/LinkPlace0"
ln -s ../linktest/wtarget "$d/../tmp/LinkPlace0"
# C:\tmp\LinkReuse0, a work directory an administrator made, with a file link
# in a sub-directory that stays.
rm -rf "$d/../tmp/LinkReuse0"*
mkdir -p "$d/../tmp/LinkReuse0/Qt"
ln -s ../../../linktest/target/keep.txt "$d/../tmp/LinkReuse0/Qt/keep.dll"
