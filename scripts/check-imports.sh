#!/usr/bin/env bash
# Checks that an executable imports only Known DLLs: the system loads those from
# System32 whatever lies beside the program, so a DLL planted in a Downloads
# folder next to Setup.exe can never be one of its imports.
set -u
exe=${1:?executable}
objdump=i686-w64-mingw32-objdump
file -b "$exe" | grep -q x86-64 && objdump=x86_64-w64-mingw32-objdump
known=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll
 gdiplus.dll imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll
 ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll
 shlwapi.dll user32.dll wldap32.dll ws2_32.dll "
imports=$($objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "check-imports: $exe: no import table found" >&2; exit 1; }
bad=0
for dll in $imports; do
  if [[ " $(echo $known) " != *" $dll "* ]]; then
    echo "check-imports: $exe imports $dll, which is not a Known DLL" >&2
    bad=1
  fi
done
[ $bad = 0 ] && echo "check-imports: $exe imports only Known DLLs:" $imports
exit $bad
