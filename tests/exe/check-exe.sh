#!/usr/bin/env bash
# Checks a TAV.exe build, 32-bit or 64-bit, from its headers:
# - its imports: only system DLLs, so that it stays one file that runs without installing
#   anything (no MinGW runtime DLL), and none of the libraries it loads only when first needed;
# - the protections a program unpacked into a Downloads folder needs: ASLR with its relocations,
#   DEP, on 64-bit high-entropy ASLR and the whole address space, on 32-bit no SEH handlers; no
#   section both writable and executable or shared and writable; stack protection linked in.
# Prints one line per check; fails when any fails.
set -euo pipefail
exe=$1
# The system DLLs the program imports, and advapi32, from which the stack protector seeds its
# canary. Each import is loaded at every start: a new one must be worth it.
system_dlls='^(kernel32|user32|gdi32|msvcrt|advapi32)\.dll$'
# The Open dialog's library, the shell's (which reads a drop and recycles files) and COM's are
# loaded when first needed: importing any of them would load it at every start.
lazy_dlls='^(comdlg32|shell32|ole32|dwmapi)\.dll$'
# Looked up at run time: Windows 7 without update KB2533623 refuses to start a program that
# imports it.
looked_up_functions='^(SetDefaultDllDirectories)$'
# The objdump of either MinGW-w64 target reads both PE formats (pei-x86-64 and pei-i386).
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump)
headers=$("$objdump" -p "$exe")
format=$(sed -n 's/.*file format //p' <<<"$headers" | head -n 1)
bad=0
# check WHAT COMMAND...: one line, ok when the command succeeds.
check() {
  local what=$1
  shift
  if "$@"; then echo "ok - $exe: $what"; else echo "FAIL - $exe: $what"; bad=1; fi
}
lacks() { ! grep -Eq "$1"; }

mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
[ ${#dlls[@]} -gt 0 ] || { echo "FAIL - $exe: no import table found"; exit 1; }
for d in "${dlls[@]}"; do
  if [[ $d =~ $lazy_dlls ]]; then echo "FAIL - $exe imports $d, which it loads only when first needed"; bad=1
  elif [[ $d =~ $system_dlls ]]; then echo "ok - $exe imports $d"; else echo "FAIL - $exe imports $d, which is not among its system DLLs"; bad=1; fi
done
# Imported functions are listed as "address hint name" below their DLL's name.
imported=$(awk '/^[[:space:]]*DLL Name:/ { in_dll = 1; next } in_dll && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' <<<"$headers")
check "imports none of the functions it looks up at run time" lacks "$looked_up_functions" <<<"$imported"

# The flags of the file header and the optional header's DllCharacteristics.
characteristics=$((16#$(sed -n 's/^Characteristics 0x//p' <<<"$headers")))
dll_characteristics=$((16#$(sed -n 's/^DllCharacteristics[[:space:]]*//p' <<<"$headers")))
relocation_size=$((16#$(sed -n 's/^Entry 5 [0-9a-f]* \([0-9a-f]*\) Base Relocation Directory.*/\1/p' <<<"$headers")))
# flag, header, bit, format that needs it (any: both)
flags=(
  "DYNAMIC_BASE dll 0x40 any"
  "NX_COMPAT dll 0x100 any"
  "HIGH_ENTROPY_VA dll 0x20 pei-x86-64"
  "LARGE_ADDRESS_AWARE file 0x20 pei-x86-64"
  "NO_SEH dll 0x400 pei-i386"
)
for f in "${flags[@]}"; do
  read -r name header bit needed <<<"$f"
  [ "$needed" = any ] || [ "$needed" = "$format" ] || continue
  if [ "$header" = dll ]; then value=$dll_characteristics; else value=$characteristics; fi
  check "$name" test $((value & bit)) -ne 0
done
# ASLR moves an image only if it keeps its relocations.
check "keeps its relocations ($relocation_size bytes)" \
  test $((characteristics & 0x1)) -eq 0 -a "$relocation_size" -gt 0

# Section flags as objdump -h shows them: CODE is executable, a section without READONLY is
# writable, SHARED is shared between all processes that run the program.
sections=$("$objdump" -h "$exe" | awk '/^ *[0-9]+ / { name = $2; next } name { print name ":" $0; name = "" }')
check "no section is both writable and executable" lacks '^[^:]*:.*CODE' < <(grep -v READONLY <<<"$sections")
check "no section is both shared and writable" lacks '^[^:]*:.*SHARED' < <(grep -v READONLY <<<"$sections")

# A 32-bit program registers an SEH handler by writing fs:0; with NO_SEH Windows would not call
# it. Compiled code unwinds with DWARF tables instead, and the C runtime installs only the
# unhandled-exception filter, which Windows calls from its own frame.
if [ "$format" = pei-i386 ]; then
  check "registers no SEH handler (its code never touches fs:0)" \
    lacks '%fs:0x0(,|$)' < <("$objdump" -d -j .text "$exe")
fi

# The stack protector's report, linked in (not a DLL) only when protected functions call it.
check "holds the stack protector (-fstack-protector-strong, linked statically)" \
  grep -qaF 'stack smashing detected' "$exe"

size=$(stat -c %s "$exe")
echo "$exe: $format, $size bytes"
exit $bad
