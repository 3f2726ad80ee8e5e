#!/usr/bin/env bash
# Fails when an executable imports a DLL that does not ship with Windows (a MinGW runtime DLL,
# say), so that TAV.exe stays one file that runs without installing anything, or one of the
# libraries that TAV.exe loads only when they are first needed. Takes 32-bit and 64-bit
# executables alike.
set -euo pipefail
exe=$1
# The Open dialog's library, the shell's (which reads a drop and recycles files) and COM's are
# loaded when first needed: importing any of them would load it at every start.
lazy_dlls='^(comdlg32|shell32|ole32)\.dll$'
system_dlls='^(kernel32|user32|gdi32|comdlg32|comctl32|advapi32|shell32|shlwapi|ole32|oleaut32|uxtheme|version|msvcrt|ntdll|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
# The objdump of either MinGW-w64 target reads both PE formats (pei-x86-64 and pei-i386).
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump)
headers=$("$objdump" -p "$exe")
format=$(sed -n 's/.*file format //p' <<<"$headers" | head -n 1)
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
[ ${#dlls[@]} -gt 0 ] || { echo "FAIL - $exe: no import table found"; exit 1; }
bad=0
for d in "${dlls[@]}"; do
  if [[ $d =~ $lazy_dlls ]]; then echo "FAIL - $exe imports $d, which it loads only when first needed"; bad=1
  elif [[ $d =~ $system_dlls ]]; then echo "ok - $exe imports $d"; else echo "FAIL - $exe imports $d, which Windows does not ship"; bad=1; fi
done
size=$(stat -c %s "$exe")
echo "$exe: $format, $size bytes"
exit $bad
