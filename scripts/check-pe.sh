#!/usr/bin/env bash
# Checks that an executable is what Setup.exe must be: a PE GUI program for the
# expected machine (i386 by default), with a manifest that asks for
# administrator rights and names the supported systems, and a version resource.
set -u
exe=${1:?executable}
machine=${2:-i386}
fail() { echo "check-pe: $exe: $*" >&2; exit 1; }
objdump=i686-w64-mingw32-objdump
[ "$machine" = i386 ] || objdump=x86_64-w64-mingw32-objdump
desc=$(file -b "$exe")
case "$machine" in
  i386) [[ $desc == "PE32 executable (GUI) Intel 80386"* ]] || fail "not a PE32 GUI i386 program: $desc" ;;
  *) [[ $desc == "PE32+ executable (GUI) x86-64"* ]] || fail "not a PE32+ GUI x86-64 program: $desc" ;;
esac
headers=$($objdump -p "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "subsystem is not Windows GUI"
grep -q 'requestedExecutionLevel level="requireAdministrator"' "$exe" || fail "manifest lacks requireAdministrator"
grep -q 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' "$exe" || fail "manifest lacks supportedOS entries"
strings -el "$exe" | grep -q '^VS_VERSION_INFO$' || fail "no version-information resource"
echo "check-pe: $exe is a $machine GUI program with its manifest and version resource"
