#!/usr/bin/env bash
# The module exports exactly ImportTable and Linkage, undecorated, and imports
# nothing but system libraries.
set -uo pipefail
objdump="$1"
dll="$2"
dump="$("$objdump" -p "$dll")" || { echo "cannot read $dll"; exit 1; }
names="$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[/{print $NF; next} on{on=0}' | sort | tr '\n' ' ')"
if [ "$names" != "ImportTable Linkage " ]; then
  echo "FAIL: exported names are '$names', expected 'ImportTable Linkage '"
  exit 1
fi
imports="$(printf '%s\n' "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll winmm.dll wininet.dll ws2_32.dll wsock32.dll ole32.dll oleaut32.dll comctl32.dll comdlg32.dll shell32.dll version.dll atl.dll shlwapi.dll "
for dll_name in $imports; do
  case "$allowed" in
    *" $dll_name "*) ;;
    *) echo "FAIL: imports $dll_name, which Windows does not ship"; exit 1 ;;
  esac
done
echo "exports: $names; imports: $(echo $imports)"
