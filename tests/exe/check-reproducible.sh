#!/usr/bin/env bash
# Builds TAV.exe once more, from a copy of the sources at another path into another build folder,
# and fails unless the bytes equal those of the given build. Shows that the builds embed no time
# and no path of the machine they ran on.
#
#   tests/exe/check-reproducible.sh PRESET TAV.EXE      (CTest runs it for each Windows build)
set -euo pipefail
preset=$1
first=$(readlink -f "$2")
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../scripts/lib/common.sh"
cd "$TAV_ROOT"

work=$TAV_ROOT/build/repro/$preset
rm -rf "$work"
sources=$work/second-copy-of-the-sources
mkdir -p "$sources"
# The files of the working tree as git sees them, committed or not.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf - | tar -xf - -C "$sources"

second=$work/second-build/TAV.exe
(cd "$sources" && cmake --preset "$preset" -B "$(dirname "$second")" >/dev/null &&
  cmake --build "$(dirname "$second")" --target TAV >/dev/null)
bad=0
# Two builds within one second would share a time stamp: check that there is none.
stamp=$(x86_64-w64-mingw32-objdump -p "$first" | sed -n 's/^Time\/Date[[:space:]]*//p')
if [[ $stamp == *1970 ]]; then
  echo "ok - $preset: TAV.exe carries no time stamp"
else
  echo "FAIL - $preset: $first carries the time stamp $stamp"
  bad=1
fi
if cmp -s "$first" "$second"; then
  echo "ok - $preset: TAV.exe built again elsewhere is byte-identical ($(sha256sum <"$first" | cut -c1-16)...)"
  rm -rf "$work"
else
  echo "FAIL - $preset: $first and $second differ"
  cmp -l "$first" "$second" | head -n 5 || true
  bad=1
fi
exit $bad
