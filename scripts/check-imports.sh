#!/usr/bin/env bash
# Checks the import tables of Windows binaries.
#   check-imports.sh EXE         EXE imports only Known DLLs (and ntdll.dll, which
#                                the system maps into every process before it
#                                runs a line of it): the system loads those from
#                                System32 whatever lies beside the program, so a
#                                DLL planted in a Downloads folder next to
#                                Setup.exe can never be one of its imports. Nor
#                                may EXE import ShellExecute*: the shell finds
#                                what runs for an .exe in the class registry,
#                                whose per-user part the unelevated user writes;
#                                the setup starts its programs as processes.
#   check-imports.sh --all DIR...  every .exe and .dll under the folders imports
#                                only DLLs that a bare Windows 7 or later has:
#                                nothing the toolchain's runtime would have to
#                                bring along (libgcc_s_dw2-1.dll, libstdc++-6.dll,
#                                libwinpthread-1.dll), which no Wine prefix and
#                                no customer's machine has.
set -u
known=" ntdll.dll advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll
 gdiplus.dll imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll
 ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll
 shlwapi.dll user32.dll wldap32.dll ws2_32.dll "
system="$known bcrypt.dll comctl32.dll crypt32.dll dbghelp.dll iphlpapi.dll mpr.dll
 netapi32.dll ntdll.dll secur32.dll userenv.dll uxtheme.dll version.dll wininet.dll
 winhttp.dll winmm.dll wintrust.dll wtsapi32.dll "

headers_of() { # binary
  local objdump=i686-w64-mingw32-objdump
  file -b "$1" | grep -q x86-64 && objdump=x86_64-w64-mingw32-objdump
  $objdump -p "$1"
}

imports_of() { # binary
  headers_of "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'
}

check() { # binary, allowed list, what the list is called
  local dll bad=0 imports
  imports=$(imports_of "$1")
  [ -n "$imports" ] || { echo "check-imports: $1: no import table found" >&2; return 1; }
  for dll in $imports; do
    if [[ " $(echo $2) " != *" $dll "* ]]; then
      echo "check-imports: $1 imports $dll, which is not a $3" >&2
      bad=1
    fi
  done
  [ $bad = 0 ] && echo "check-imports: $1 imports only ${3}s:" $imports
  return $bad
}

# The imported functions whose names start with ShellExecute.
shell_starts() { # binary
  headers_of "$1" | awk '$NF ~ /^ShellExecute/ { print $NF }'
}

if [ "${1:-}" != --all ]; then
  check "${1:?executable}" "$known" "Known DLL" || exit 1
  starts=$(shell_starts "$1")
  if [ -n "$starts" ]; then
    echo "check-imports: $1 starts programs through the shell:" $starts >&2
    exit 1
  fi
  exit 0
fi
shift
# Left out: the Wine prefixes of test runs and demos (Wine's own DLLs, and
# copies of the binaries checked here) and CMake's compiler probes, which
# CMake links without this project's flags and never runs on Windows.
count=0 bad=0
while IFS= read -r -d '' f; do
  count=$((count + 1))
  check "$f" "$system" "system DLL" >/dev/null || bad=$((bad + 1))
done < <(find "$@" \( -name CMakeFiles -o -name prefix \) -prune -o \
  -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
if [ $count = 0 ]; then
  echo "check-imports: no .exe or .dll under $*" >&2
  exit 1
fi
if [ $bad != 0 ]; then
  echo "check-imports: $bad of $count binaries under $* import DLLs that a bare Windows lacks" >&2
  exit 1
fi
echo "check-imports: all $count binaries under $* import only system DLLs"
